#include "app/commandline.h"

#include <QFileInfo>

namespace CommandLine {

QString extensionOf(const QString &path)
{
    const int dot = path.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? path : path.mid(dot + 1);
}

bool isVideoExtension(const QString &extension)
{
    return QStringLiteral("wmv avi mp4 3gp mov mpeg mpg mpe flv").contains(extension, Qt::CaseSensitive);
}

FileCheck checkSize(qint64 size, const QString &path)
{
    if (size < kMinimumSize)
        return FileCheck::TooSmall;
    const qint64 limit = isVideoExtension(extensionOf(path)) ? kVideoLimit : kOtherLimit;
    return size > limit ? FileCheck::TooBig : FileCheck::Ok;
}

FileCheck checkFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return FileCheck::Missing;
    return checkSize(info.size(), path);
}

} // namespace CommandLine
