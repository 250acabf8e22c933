#include "upload/uploadrequest.h"

#include "core/fileextension.h"

#include <QUuid>

namespace UploadRequest {
namespace {

constexpr int reminderIntervalDays = 14;

} // namespace

Form chooseForm(bool fromCommandLine, const QString &path, bool loggedIn)
{
    if (!fromCommandLine || path.contains(QLatin1String(".png")))
        return Form::Put;
    return loggedIn ? Form::Multipart : Form::NeedsLogin;
}

bool reminderDue(const QString &path, const QString &lastRequest, const QDateTime &now)
{
    if (FileExtension::of(path) != QLatin1String("png"))
        return true;
    const QDateTime last = QDateTime::fromString(lastRequest, Qt::ISODate);
    return !last.isValid() || last.addDays(reminderIntervalDays) < now;
}

QString newUuidText()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QByteArray fileContentType(const QString &fileName)
{
    QString ext = FileExtension::of(fileName);
    if (ext.isNull())
        ext = fileName;
    if (FileExtension::isVideo(ext))
        return "video/" + ext.toUtf8();
    return "application/octet-stream";
}

QByteArray fileDisposition(const QString &fileName)
{
    return "form-data; name=\"file\"; filename=\"" + fileName.toUtf8() + '"';
}

QByteArray cookie(const QString &authId)
{
    return "snaplark-auth-id=" + authId.toUtf8();
}

QNetworkRequest baseRequest(const QUrl &url, const QString &host)
{
    QNetworkRequest request(url);
    request.setRawHeader("User-Agent", "Snaplark");
    request.setRawHeader("Host", host.toUtf8());
    request.setRawHeader("Version", SNAPLARK_VERSION);
    return request;
}

} // namespace UploadRequest
