#include "upload/uploadrequest.h"

#include <QFileInfo>
#include <QUuid>

namespace UploadRequest {
namespace {

const QLatin1String videoExtensions("wmv avi mp4 3gp mov mpeg mpg mpe flv");
constexpr int reminderIntervalDays = 14;

} // namespace

QString extension(const QString &path)
{
    const QString name = QFileInfo(path).fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1);
}

Form chooseForm(bool fromCommandLine, const QString &path, bool loggedIn)
{
    if (!fromCommandLine || path.contains(QLatin1String(".png")))
        return Form::Put;
    return loggedIn ? Form::Multipart : Form::NeedsLogin;
}

bool reminderDue(const QString &path, const QString &lastRequest, const QDateTime &now)
{
    if (extension(path) != QLatin1String("png"))
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
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString ext = dot < 0 ? fileName : fileName.mid(dot + 1);
    if (QString(videoExtensions).contains(ext))
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
    request.setRawHeader("Version", "1.24");
    return request;
}

} // namespace UploadRequest
