#pragma once

#include <QtGlobal>

#if defined(Q_OS_UNIX)

#include "platform/filemanager.h"
#include "platform/filemanagergeneric.h"

// Asks the session's file manager over D-Bus (org.freedesktop.FileManager1)
// to show the file selected; without such a service, or when it fails or does
// not answer in time, opens the containing folder instead.
class FileManagerFreedesktop : public FileManager
{
public:
    void showFile(const QString &path) const override;

private:
    FileManagerGeneric m_fallback;
};

#endif
