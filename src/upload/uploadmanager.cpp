#include "upload/uploadmanager.h"

#include "core/appcontrol.h"
#include "core/fileextension.h"
#include "ui/fatalerror.h"
#include "core/serviceconfig.h"
#include "extension/extension.h"
#include "platform/platform.h"
#include "platform/processlauncher.h"
#include "settings/settings.h"
#include "upload/replyparsepage.h"
#include "upload/uploadnetworkmanager.h"
#include "upload/uploadrequest.h"
#include "upload/uploadresult.h"
#include "upload/wndloginerrormsgbox.h"
#include "upload/wndprogress.h"
#include "upload/wnduploaderrormsgbox.h"

#include <QClipboard>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHttpMultiPart>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTimer>

namespace {

QPointer<UploadManager> g_newest;

const char *const failureText =
    "File upload failed. Please check your internet connection. In case your connection is OK, "
    "please try again later. We might be updating our servers. You can save your screenshot "
    "locally and upload it later.";

constexpr int retryDelayMs = 1000;
constexpr int refusedLoginQuitDelayMs = 100;

// Runs the upload-error box with the text; its result (1 Retry, 2 Save, 0 closed).
int askAfterFailure(const QString &text)
{
    WndUploadErrorMsgBox box;
    box.setMessage(text);
    return AppControl::runModal(&box);
}

bool isWebAddress(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty()
        && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

} // namespace

UploadManager::UploadManager()
{
    Platform::applySystemProxyIfEnabled();
    m_network = new UploadNetworkManager(this);
    m_parsePage = new ReplyParsePage(this);
    connect(m_network, &QNetworkAccessManager::finished, this, &UploadManager::replyFinished);
}

UploadManager::~UploadManager()
{
    disconnect(m_network, &QNetworkAccessManager::finished, this, &UploadManager::replyFinished);
    delete m_progress;
}

void UploadManager::uploadFile(const QString &path, bool fromCommandLine)
{
    g_newest = new UploadManager;
    g_newest->upload(path, fromCommandLine);
}

UploadManager *UploadManager::newest()
{
    return g_newest;
}

void UploadManager::upload(const QString &path, bool fromCommandLine)
{
    qDebug("Uploading file");
    m_fromCommandLine = fromCommandLine;
    m_filePath = path;
    // Not checked: an unreadable file still makes a request, and its reply
    // decides what the user sees.
    m_file = new QFile(path, this);
    m_file->open(QIODevice::ReadOnly);

    switch (UploadRequest::chooseForm(fromCommandLine, path, !Settings::authId().isEmpty())) {
    case UploadRequest::Form::Put:
        remindToLogInIfDue();
        m_reply = sendPut();
        break;
    case UploadRequest::Form::Multipart:
        m_reply = sendMultipart();
        break;
    case UploadRequest::Form::NeedsLogin: {
        WndLoginErrorMsgBox box;
        box.setMessage(QStringLiteral("You need to log in, to be able to upload files."));
        if (AppControl::runModal(&box) != 1) {
            delete m_file;
            QTimer::singleShot(refusedLoginQuitDelayMs, [] { AppControl::endRun(0); });
            return;
        }
        m_reply = sendMultipart();
        break;
    }
    }

    connect(m_reply, &QNetworkReply::uploadProgress, this, &UploadManager::replyUploadProgress);
    replyUploadProgress(0, m_file->size());
}

void UploadManager::remindToLogInIfDue()
{
    if (!Settings::authId().isEmpty())
        return;
    const QDateTime now = QDateTime::currentDateTime();
    if (!UploadRequest::reminderDue(m_filePath, Settings::lastRequest(), now))
        return;
    WndLoginErrorMsgBox box;
    box.setMessage(QStringLiteral("Please login to enable your history on site"));
    AppControl::runModal(&box); // the upload goes on whatever the answer
    Settings::setLastRequest(now.toString(Qt::ISODate));
}

QNetworkReply *UploadManager::sendPut()
{
    QString extension = FileExtension::of(m_filePath);
    if (extension.isNull())
        extension = Extension::videoFileExtension();
    const QString fileName = UploadRequest::newUuidText() + QLatin1Char('.') + extension;

    // Set as a decoded path, so a "#" or "?" in the extension stays part of the name.
    QUrl url = ServiceConfig::baseUrl();
    url.setPath(url.path(QUrl::FullyDecoded) + fileName, QUrl::DecodedMode);
    qDebug().noquote() << url.toString();

    QNetworkRequest request = UploadRequest::baseRequest(url, ServiceConfig::host());
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/octet-stream"));
    request.setRawHeader("Cookie", UploadRequest::cookie(Settings::authId()));
    // The body is read from the file as it goes out, never held whole.
    QNetworkReply *reply = m_network->put(request, m_file.data());
    m_file->setParent(reply);
    return reply;
}

QNetworkReply *UploadManager::sendMultipart()
{
    const QString boundary = UploadRequest::newUuidText();
    QNetworkRequest request = UploadRequest::baseRequest(ServiceConfig::url(QStringLiteral("/api/upload")),
                                                         ServiceConfig::host());
    request.setRawHeader("Cookie", UploadRequest::cookie(Settings::authId()));

    auto *multiPart = new QHttpMultiPart(QHttpMultiPart::FormDataType);
    multiPart->setBoundary(boundary.toLatin1());

    QHttpPart added;
    added.setRawHeader("Content-Disposition", "form-data; name=\"Added\"");
    const QString now = QDateTime::currentDateTime().toString(Qt::ISODate);
    qDebug().noquote() << now;
    added.setBody(now.toUtf8());
    multiPart->append(added);

    const QString fileName = QFileInfo(m_filePath).fileName();
    QHttpPart file;
    file.setRawHeader("Content-Disposition", UploadRequest::fileDisposition(fileName));
    file.setRawHeader("Content-Type", UploadRequest::fileContentType(fileName));
    file.setBodyDevice(m_file);
    m_file->setParent(multiPart);
    multiPart->append(file);

    // Without quotes around the boundary, which Qt would add on its own.
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArray("multipart/form-data; boundary=") + boundary.toLatin1());
    QNetworkReply *reply = m_network->post(request, multiPart);
    multiPart->setParent(reply);
    return reply;
}

void UploadManager::replyUploadProgress(qint64 sent, qint64 total)
{
    if (!m_progress)
        m_progress = new WndProgress(nullptr);
    if (!m_progress->isVisible())
        m_progress->show();
    const int percent = total > 0 ? int(sent * 100 / total) : 0;
    qDebug("Send progress: %d %%", percent);
    m_progress->setProgress(percent);
}

void UploadManager::restartUpload()
{
    upload(m_filePath, m_fromCommandLine);
}

void UploadManager::replyFinished(QNetworkReply *reply)
{
    // Hidden, not destroyed: a question asked over it may still be open.  A
    // retry shows the same window again.
    if (m_progress)
        m_progress->hide();
    disconnect(reply, &QNetworkReply::uploadProgress, this, &UploadManager::replyUploadProgress);
    if (m_file) {
        m_file->close();
        m_file = nullptr; // owned by the reply's request
    }
    if (reply == m_reply)
        m_reply = nullptr;

    if (reply->error() != QNetworkReply::NoError)
        handleReplyError(reply);
    else if (reply->hasRawHeader("FileName"))
        handleFileName(QString::fromUtf8(reply->rawHeader("FileName")));
    else
        handleBody(reply->readAll());
    reply->deleteLater();
}

void UploadManager::handleReplyError(QNetworkReply *reply)
{
    offerRetryOrSave(QStringLiteral("Reply error: ") + reply->errorString(), false);
}

void UploadManager::handleFileName(const QString &serverName)
{
    qDebug().noquote() << QStringLiteral("Page url: %1").arg(serverName);
    if (!UploadResult::isSafeServerName(serverName)) {
        // The name would reach outside the captures folder: touch no file.
        qDebug().noquote() << QStringLiteral("Refused file name: %1").arg(serverName);
        offerWrongResponse();
        return;
    }

    const QString localName =
        UploadResult::localName(serverName, Settings::captureMode(), Extension::videoFileExtension());
    qDebug().noquote() << QStringLiteral("File name: %1").arg(localName);

    UploadResult::Links links =
        UploadResult::links(ServiceConfig::baseUrl().toString(), serverName, localName, m_filePath);
    qDebug().noquote() << QStringLiteral("Full page url: %1").arg(links.pageUrl);
    Settings::setLastCapture(links.pageUrl);

    qDebug().noquote() << QStringLiteral("Renaming %1 to %2").arg(m_filePath, links.localPath);
    // The user's own file named on the command line keeps its name and place.
    QString uploadedNow = m_filePath;
    if (!m_fromCommandLine && QFile::rename(m_filePath, links.localPath))
        uploadedNow = links.localPath;
    if (!Settings::saveLocal() && !m_fromCommandLine) {
        // The file just uploaded, under whichever name it has now: when the
        // rename failed, the file at the local path is somebody else's.
        qDebug().noquote() << QStringLiteral("SaveLocal = false, so removing: %1").arg(uploadedNow);
        QFile::remove(uploadedNow);
    }
    // The local path form names the uploaded file where it is, never another
    // file that already had the name the rename aimed at.
    links.localPath = QDir::toNativeSeparators(QFileInfo(uploadedNow).absoluteFilePath());

    const QString text = UploadResult::clipboardText(Settings::currentClipboard(), links);
    if (!text.isEmpty()) {
        qDebug().noquote() << QStringLiteral("Copy to clipboard: %1").arg(text);
        QGuiApplication::clipboard()->setText(text, QClipboard::Clipboard);
    }
    ProcessLauncher::instance().openUrl(QUrl(links.fullPageUrl));
    AppControl::endRun(0);
}

void UploadManager::handleBody(const QByteArray &body)
{
    const QMap<QString, QString> reply = UploadResult::parseStatusText(m_parsePage->plainText(body));
    const QString status = reply.value(QStringLiteral("status"));
    if (status == QLatin1String("OK")) {
        const QUrl page(reply.value(QStringLiteral("pageUrl")));
        // Only a web page goes to the desktop's handler, never a local file
        // or another program's address.
        if (isWebAddress(page)) {
            ProcessLauncher::instance().openUrl(page);
            AppControl::endRun(0);
            return;
        }
        qDebug().noquote() << QStringLiteral("Refused page url: %1").arg(page.toString());
    } else if (status == QLatin1String("ERROR")) {
        if (askAfterFailure(reply.value(QStringLiteral("message"))) == 1)
            restartUpload();
        else
            AppControl::endRun(0);
        return;
    }
    offerWrongResponse();
}

void UploadManager::offerWrongResponse()
{
    offerRetryOrSave(QStringLiteral("Wrong response"), true);
}

void UploadManager::offerRetryOrSave(const QString &closedReport, bool showReport)
{
    switch (askAfterFailure(QString::fromLatin1(failureText))) {
    case 1:
        qDebug("Restarting");
        QTimer::singleShot(retryDelayMs, this, &UploadManager::restartUpload);
        return;
    case 2:
        openFolder();
        AppControl::endRun(0);
        return;
    default:
        reportFatalError(closedReport, showReport);
        return;
    }
}

void UploadManager::openFolder()
{
    Platform::showFileInFolder(m_filePath);
}
