#pragma once

#include <QString>

// Checks of a file named on the command line for upload.
namespace CommandLine {

enum class FileCheck { Ok, Missing, TooSmall, TooBig };

constexpr qint64 kMinimumSize = 10;
constexpr qint64 kVideoLimit = 512000000;
constexpr qint64 kOtherLimit = 64000000;

// The part after the last dot, or the whole path when there is no dot.
QString extensionOf(const QString &path);

// Case-sensitive substring test against the list of video extensions, so
// "mp" and an empty extension count as video, "MP4" does not.
bool isVideoExtension(const QString &extension);

FileCheck checkSize(qint64 size, const QString &path);
FileCheck checkFile(const QString &path);

} // namespace CommandLine
