#pragma once

#include "platform/filemanager.h"

// Works everywhere but cannot select the file: opens the folder holding it
// with the desktop's default handler for folders.
class FileManagerGeneric : public FileManager
{
public:
    void showFile(const QString &path) const override;
};
