#pragma once

#include <QString>

// File extensions: what a path's is, and which ones name a video.
namespace FileExtension {

// The text after the last "." of the path's file name, without the dot; a
// null string when the name has none.  Dots in folder names are not
// extensions.  A name ending in "." has an empty, not a null, extension.
QString of(const QString &path);

// Whether the text occurs, case-sensitively, in the list of video
// extensions ("wmv avi mp4 3gp mov mpeg mpg mpe flv").  It is a substring
// test, as the service and the size limits have always used it: "mp", "vi"
// and an empty extension count as video, "MP4" does not.
bool isVideo(const QString &extension);

} // namespace FileExtension
