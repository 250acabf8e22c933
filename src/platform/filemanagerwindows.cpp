#include "platform/filemanagerwindows.h"

#if defined(Q_OS_WIN)

#include "platform/processlauncher.h"

#include <QDir>

void FileManagerWindows::showFile(const QString &path) const
{
    // Explorer does not understand forward slashes after "/select,".
    ProcessLauncher::instance().startDetached(QStringLiteral("explorer.exe"),
                                              {QStringLiteral("/select,"), QDir::toNativeSeparators(path)});
}

#endif
