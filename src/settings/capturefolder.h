#pragma once

#include <QString>

// The folder that receives every capture and the names of new capture files.
namespace CaptureFolder {

// "<Documents>/Snaplark Captures" with native separators; created, with any
// missing parents, when it does not exist.
QString path();

// Full path of a new, unique, not yet existing file for the capture mode
// (png for screenshots and scrolling captures, gif, or the video extension of
// the extension library).  On failure the error is reported and an empty text
// is returned, which must not be used as a path.
QString newCaptureFileName(int mode);

} // namespace CaptureFolder
