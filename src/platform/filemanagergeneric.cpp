#include "platform/filemanagergeneric.h"

#include "platform/processlauncher.h"

#include <QFileInfo>
#include <QUrl>

void FileManagerGeneric::showFile(const QString &path) const
{
    ProcessLauncher::instance().openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}
