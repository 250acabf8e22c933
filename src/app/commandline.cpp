#include "app/commandline.h"

#include "core/fileextension.h"

#include <QFileInfo>

namespace CommandLine {

FileCheck checkSize(qint64 size, const QString &path)
{
    if (size < kMinimumSize)
        return FileCheck::TooSmall;
    // A path without an extension is tested whole.
    const QString extension = FileExtension::of(path);
    const bool video = FileExtension::isVideo(extension.isNull() ? path : extension);
    const qint64 limit = video ? kVideoLimit : kOtherLimit;
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
