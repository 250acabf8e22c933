#pragma once

#include <QtGlobal>

#if defined(Q_OS_WIN)

#include "platform/filemanager.h"

// Explorer selects the file itself when started with "/select,".
class FileManagerWindows : public FileManager
{
public:
    void showFile(const QString &path) const override;
};

#endif
