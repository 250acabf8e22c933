#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QNetworkRequest>
#include <QString>

// The pure parts of an upload request: which form to send, whether to remind
// the user to log in, and the names, types and headers of the request.
namespace UploadRequest {

enum class Form {
    Put,        // the file as the body of a PUT to "/" + UUID + extension
    Multipart,  // a form post to "/api/upload"
    NeedsLogin, // the multipart form, but only once the user has logged in
};

Form chooseForm(bool fromCommandLine, const QString &path, bool loggedIn);

// Whether a user who is not logged in is reminded before a PUT upload: for
// everything but PNG files, and for PNG files once the last reminder is more
// than 14 days old.  An unreadable lastRequest counts as long ago.
bool reminderDue(const QString &path, const QString &lastRequest, const QDateTime &now);

// A fresh UUID as 36 lower-case characters without braces: the multipart
// boundary and the PUT file name.
QString newUuidText();

// The multipart file part's content type: "video/" + extension for the video
// extensions (FileExtension::isVideo; a name without an extension is tested
// whole), otherwise "application/octet-stream".
QByteArray fileContentType(const QString &fileName);

// The multipart file part's Content-Disposition, the name in UTF-8.
QByteArray fileDisposition(const QString &fileName);

// "snaplark-auth-id=" + the token.
QByteArray cookie(const QString &authId);

// A request to url carrying "User-Agent", "Host" and "Version", in that order.
QNetworkRequest baseRequest(const QUrl &url, const QString &host);

} // namespace UploadRequest
