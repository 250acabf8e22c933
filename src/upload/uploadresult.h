#pragma once

#include <QMap>
#include <QString>

// The pure parts of interpreting an upload's reply: the names and links made
// from a "FileName" header, the clipboard forms, and the status body.
namespace UploadResult {

// Whether a "FileName" value can name a file beside the uploaded one.  The
// name becomes part of a local path, so anything that could reach another
// folder (separators, "." or "..", a drive), an empty name and control
// characters are refused.
bool isSafeServerName(const QString &serverName);

// The server name with the extension of the capture mode: png for
// screenshots and scrolling captures, gif for GIFs, the video extension for
// videos and unknown modes.  A name without a "." after its first character
// stays as it is.
QString localName(const QString &serverName, int captureMode, const QString &videoExtension);

struct Links
{
    QString fullPageUrl; // the page, with its fragment
    QString pageUrl;     // the page without its fragment
    QString directUrl;   // the file itself
    QString localPath;   // where the uploaded file ends up, native separators
};

// baseAddress ends in "/"; uploadedPath is the file as it was uploaded.
Links links(const QString &baseAddress, const QString &serverName, const QString &localName,
            const QString &uploadedPath);

// The text for a clipboard code (0 page, 1 direct, 2 local path, 3 site
// embed, 4 forum embed); empty for the others, which leave the clipboard alone.
QString clipboardText(int clipboardCode, const Links &links);

// Reads the service's small status object from the text of a reply body:
// braces, quotes and backslashes go, pieces are split at ",", keys at the
// first ":" (values keep theirs).  A later key replaces an earlier one.
QMap<QString, QString> parseStatusText(const QString &text);

} // namespace UploadResult
