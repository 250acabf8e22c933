#pragma once

#include <QString>

#include <functional>

// The folder that receives every capture and the names of new capture files.
namespace CaptureFolder {

// "<Documents>/Snaplark Captures" with native separators; created, with any
// missing parents, when it does not exist.
QString path();

// A new capture file for the capture mode (png for screenshots and scrolling
// captures, gif, or the video extension of the extension library), named
// "snaplark.<six letters or digits>.<extension>" in the captures folder.  The
// file is created, empty, so that no other capture can take the name: the
// caller writes into it, or removes it when the capture is not saved after
// all.  On failure the error is reported and an empty text is returned, which
// must not be used as a path.
QString newCaptureFileName(int mode);

// Six random letters or digits.
QString randomSuffix();

// Creates "<folder>/snaplark.<suffix>.<extension>" empty and exclusively,
// asking `suffix` again whenever the name is taken.  An existing file is never
// opened, truncated or replaced.  Returns the path with native separators, or
// an empty text when the folder takes no new file or no free name came up.
QString reserveCaptureFile(const QString &folder, const QString &extension,
                           const std::function<QString()> &suffix = randomSuffix);

} // namespace CaptureFolder
