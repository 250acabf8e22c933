#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QPair>
#include <QPointer>
#include <QTimer>

#include <curl/curl.h>

#include <memory>

class CurlMulti;

// An upload (PUT or POST with a body) sent by libcurl: over plain HTTP or
// HTTPS, directly or through a proxy.  The body is read from the request's
// device as curl asks for it, so no more than one block of the file is held.
//
// It behaves as Qt's replies do for the caller: uploadProgress while the body
// goes out (never backwards), the response's status, headers and body,
// errors with Qt's codes and texts, and finished() once, from the event loop.
// Unlike Qt's, it also fails when the server answers before it has the whole
// body, when nothing moves for stallLimitMs, and when the response is larger
// than a service's answer can be.
class CurlUploadReply : public QNetworkReply
{
    Q_OBJECT
public:
    static constexpr int stallLimitMs = 60 * 1000;
    static constexpr qint64 maxHeadBytes = 64 * 1024;
    static constexpr qint64 maxBodyBytes = 16 * 1024 * 1024;
    // Sixteen times curl's default: each block costs a turn of the event
    // loop, and on a fast link those turns showed (about 9 % over loopback).
    static constexpr long uploadBlockBytes = 1024 * 1024;

    // body: open for reading and not sequential; it must outlive the reply.
    // proxy: resolved for the request's address (NoProxy to connect directly).
    CurlUploadReply(QNetworkAccessManager::Operation operation, const QNetworkRequest &request, QIODevice *body,
                    const QNetworkProxy &proxy, std::shared_ptr<CurlMulti> multi, QObject *parent = nullptr);
    ~CurlUploadReply() override;

    void abort() override;
    qint64 bytesAvailable() const override;

    // How long the transfer may go without a byte sent or received.
    void setStallLimit(int ms);

    // The request head after the request line, as sent: the request's own
    // headers in the order they were set, then Host, Content-Length and
    // Connection unless set.
    static QList<QByteArray> headerLines(const QNetworkRequest &request, qint64 bodySize);
    // curl's proxy address for a proxy; empty for a direct connection.
    static QByteArray proxyAddress(const QNetworkProxy &proxy);
    // Qt's error code for an HTTP status of 400 and above.
    static NetworkError errorForStatus(int status);

protected:
    qint64 readData(char *data, qint64 maxSize) override;

private:
    static size_t readCallback(char *buffer, size_t size, size_t count, void *self);
    static size_t headerCallback(char *buffer, size_t size, size_t count, void *self);
    static size_t writeCallback(char *buffer, size_t size, size_t count, void *self);

    void start();
    bool configure();
    void onWorked();
    void onTransferEnded(CURL *easy, CURLcode result);
    void onStalled();
    void reportProgress(bool force);
    // A callback's reason to stop the transfer, reported when curl ends it.
    void refuse(NetworkError code, const QString &text);
    void failWith(CURLcode result);
    void finishWithResponse();
    void finishWithError(NetworkError code, const QString &text);
    void finish();
    void releaseTransfer();

    QByteArray m_method;
    QPointer<QIODevice> m_body;
    QNetworkProxy m_proxy;
    std::shared_ptr<CurlMulti> m_multi;
    CURL *m_easy = nullptr;
    curl_slist *m_headerList = nullptr;
    char m_curlError[CURL_ERROR_SIZE] = {};

    qint64 m_total = 0;
    qint64 m_read = 0;          // body bytes handed to curl
    qint64 m_lastReported = -1;
    QElapsedTimer m_sinceReport;
    QTimer m_stall;
    qint64 m_movement = -1;     // bytes sent and received when last seen

    // The response as it arrives.
    int m_status = 0;
    QByteArray m_reason;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    bool m_headComplete = false;
    qint64 m_sentBeforeAnswer = 0;
    qint64 m_headBytes = 0;
    qint64 m_bodyReceived = 0;
    QByteArray m_content;       // body left to read

    bool m_refused = false;
    NetworkError m_refusedCode = NoError;
    QString m_refusedText;
};
