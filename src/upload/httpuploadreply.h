#pragma once

#include "upload/httpresponsereader.h"

#include <QElapsedTimer>
#include <QNetworkReply>
#include <QPointer>

class QTcpSocket;

// A plain-HTTP upload sent by ourselves over one connection: the request
// head with the request's headers in the order they were set, then the body
// read from the device in large blocks and written straight to the socket,
// then the response.  Qt's own HTTP stack hands a body to its network thread
// in 16 KB pieces, one thread round trip each, which caps an upload far below
// what the connection carries; this reply streams at the speed of the link
// and still holds no more than one block of the file in memory.
//
// It behaves as Qt's replies do for the caller: uploadProgress while the body
// goes out, the response's status, headers and body, errors with Qt's codes
// and texts, and finished() once.
class HttpUploadReply : public QNetworkReply
{
    Q_OBJECT
public:
    static constexpr qint64 blockBytes = 256 * 1024;

    // body: open for reading and not sequential; it must outlive the reply.
    HttpUploadReply(QNetworkAccessManager::Operation operation, const QNetworkRequest &request,
                    QIODevice *body, QObject *parent = nullptr);
    ~HttpUploadReply() override;

    void abort() override;
    qint64 bytesAvailable() const override;
    bool isSequential() const override { return true; }

    // The request head as sent: request line, headers, blank line.
    static QByteArray requestHead(const QByteArray &method, const QNetworkRequest &request, qint64 bodySize);
    // Qt's error code for an HTTP status of 400 and above.
    static NetworkError errorForStatus(int status);

protected:
    qint64 readData(char *data, qint64 maxSize) override;

private:
    void start();
    void sendHead();
    void pump();
    void readResponse();
    void connectionEnded();
    // Feeds what has arrived to the response; true when the connection ended.
    bool drain();
    void settle(bool connectionEnded);
    void reportProgress(bool force);
    void socketFailed();
    void finishWithResponse();
    void finishWithError(NetworkError code, const QString &text);
    void finish();

    QByteArray m_method;
    QPointer<QIODevice> m_body;
    QTcpSocket *m_socket = nullptr;
    HttpResponseReader m_response;
    QByteArray m_block;
    qint64 m_total = 0;
    qint64 m_queued = 0; // head excluded: body bytes handed to the socket
    qint64 m_lastReported = -1;
    QElapsedTimer m_sinceReport;
    bool m_draining = false;
    QByteArray m_content; // response body left to read
};
