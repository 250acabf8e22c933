#pragma once

#include <QString>

// Checks of a file named on the command line for upload.
namespace CommandLine {

enum class FileCheck { Ok, Missing, TooSmall, TooBig };

constexpr qint64 kMinimumSize = 10;
constexpr qint64 kVideoLimit = 512000000;
constexpr qint64 kOtherLimit = 64000000;

FileCheck checkSize(qint64 size, const QString &path);
FileCheck checkFile(const QString &path);

} // namespace CommandLine
