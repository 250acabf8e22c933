#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class QFile;
class QNetworkAccessManager;
class QNetworkReply;
class ReplyParsePage;
class WndProgress;

// Sends one capture file to the web service, shows the progress and carries
// out what the reply says: rename the file after the name the service gave
// it, put the chosen link on the clipboard and open the page, or offer Retry
// and Save when the upload failed.  An upload is the last step of a run: the
// reply ends the run, unless the user retries.
class UploadManager : public QObject
{
    Q_OBJECT
public:
    UploadManager();
    ~UploadManager() override;

    // The one entry to an upload: a new client, kept as the newest, uploads
    // the file.  fromCommandLine: the process was started to upload this file.
    static void uploadFile(const QString &path, bool fromCommandLine);
    // The client of the latest uploadFile call; null before the first.
    static UploadManager *newest();

    // Starts one attempt and returns; the event loop does the rest.
    void upload(const QString &path, bool fromCommandLine);

public slots:
    void replyFinished(QNetworkReply *reply);
    void replyUploadProgress(qint64 sent, qint64 total);
    void restartUpload();

private slots:
    void openFolder();

private:
    QNetworkReply *sendPut();
    QNetworkReply *sendMultipart();
    void remindToLogInIfDue();

    void handleReplyError(QNetworkReply *reply);
    void handleFileName(const QString &serverName);
    void handleBody(const QByteArray &body);
    // The failure box: Retry restarts after a second, Save shows the file;
    // closed, closedReport ends the run as a fatal-error report.
    void offerRetryOrSave(const QString &closedReport, bool showReport);
    void offerWrongResponse();

    QNetworkAccessManager *m_network = nullptr;
    QNetworkReply *m_reply = nullptr;
    QPointer<WndProgress> m_progress; // one for every attempt of this client
    QString m_filePath;
    QPointer<QFile> m_file;
    bool m_fromCommandLine = false;
    ReplyParsePage *m_parsePage = nullptr;
};
