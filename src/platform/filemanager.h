#pragma once

class QString;

// Shows a file to the user in the desktop's file manager.
class FileManager
{
public:
    virtual ~FileManager() = default;
    virtual void showFile(const QString &path) const = 0;
};
