#include "upload/httpuploadreply.h"

#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>

#include <cstring>

namespace {

// How long one turn of the send loop may keep the event loop waiting.
constexpr qint64 sliceMs = 8;
// Progress is reported at most this often while the body goes out.
constexpr qint64 reportIntervalMs = 50;

QByteArray withoutLineBreaks(QByteArray text)
{
    // A header value must not start another header.
    text.replace('\r', "").replace('\n', "");
    return text;
}

QByteArray methodOf(QNetworkAccessManager::Operation operation, const QNetworkRequest &request)
{
    switch (operation) {
    case QNetworkAccessManager::PutOperation:
        return "PUT";
    case QNetworkAccessManager::PostOperation:
        return "POST";
    case QNetworkAccessManager::CustomOperation:
        return request.attribute(QNetworkRequest::CustomVerbAttribute).toByteArray();
    default:
        return "GET";
    }
}

} // namespace

HttpUploadReply::HttpUploadReply(QNetworkAccessManager::Operation operation, const QNetworkRequest &request,
                                 QIODevice *body, QObject *parent)
    : QNetworkReply(parent)
    , m_method(methodOf(operation, request))
    , m_body(body)
{
    setOperation(operation);
    setRequest(request);
    setUrl(request.url());
    QIODevice::open(QIODevice::ReadOnly);
    // Started from the event loop, so the caller can connect to the reply first.
    QTimer::singleShot(0, this, &HttpUploadReply::start);
}

HttpUploadReply::~HttpUploadReply()
{
    if (m_socket)
        m_socket->abort();
}

QByteArray HttpUploadReply::requestHead(const QByteArray &method, const QNetworkRequest &request, qint64 bodySize)
{
    const QUrl url = request.url();
    QByteArray target = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (!target.startsWith('/'))
        target.prepend('/');

    QByteArray head = method + ' ' + target + " HTTP/1.1\r\n";
    bool hasHost = false;
    bool hasLength = false;
    for (const QByteArray &name : request.rawHeaderList()) {
        hasHost = hasHost || qstricmp(name.constData(), "Host") == 0;
        hasLength = hasLength || qstricmp(name.constData(), "Content-Length") == 0;
        head += withoutLineBreaks(name) + ": " + withoutLineBreaks(request.rawHeader(name)) + "\r\n";
    }
    if (!hasHost) {
        head += "Host: " + url.host(QUrl::FullyEncoded).toLatin1();
        if (url.port(80) != 80)
            head += ':' + QByteArray::number(url.port());
        head += "\r\n";
    }
    if (!hasLength)
        head += "Content-Length: " + QByteArray::number(bodySize) + "\r\n";
    // One request per connection: the server may end the reply by closing.
    head += "Connection: close\r\n\r\n";
    return head;
}

QNetworkReply::NetworkError HttpUploadReply::errorForStatus(int status)
{
    switch (status) {
    case 401: return AuthenticationRequiredError;
    case 403: return ContentAccessDenied;
    case 404: return ContentNotFoundError;
    case 405: return ContentOperationNotPermittedError;
    case 407: return ProxyAuthenticationRequiredError;
    case 409: return ContentConflictError;
    case 410: return ContentGoneError;
    case 418: return ProtocolInvalidOperationError;
    case 500: return InternalServerError;
    case 501: return OperationNotImplementedError;
    case 503: return ServiceUnavailableError;
    default:
        if (status >= 500)
            return UnknownServerError;
        return status >= 400 ? UnknownContentError : NoError;
    }
}

void HttpUploadReply::start()
{
    if (isFinished())
        return;
    if (!m_body || !m_body->isReadable() || m_body->isSequential()) {
        const QString reason = m_body ? m_body->errorString() : QStringLiteral("no file");
        finishWithError(UnknownContentError, QStringLiteral("Cannot read the file to upload: %1").arg(reason));
        return;
    }
    m_total = qMax<qint64>(0, m_body->size() - m_body->pos());
    m_block.resize(int(qMin(blockBytes, qMax<qint64>(m_total, 1))));

    m_socket = new QTcpSocket(this);
    m_socket->setProxy(QNetworkProxy::NoProxy); // the manager sends proxied requests through Qt
    connect(m_socket, &QTcpSocket::connected, this, &HttpUploadReply::sendHead);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &HttpUploadReply::pump);
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpUploadReply::readResponse);
    connect(m_socket, &QTcpSocket::disconnected, this, &HttpUploadReply::connectionEnded);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &HttpUploadReply::socketFailed);
    // Unbuffered: a block goes straight to the kernel; only what it cannot
    // take at once is copied into the socket's buffer.
    m_socket->connectToHost(url().host(), quint16(url().port(80)), QIODevice::ReadWrite | QIODevice::Unbuffered);
}

void HttpUploadReply::sendHead()
{
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_socket->write(requestHead(m_method, request(), m_total));
    m_sinceReport.start();
    pump();
}

void HttpUploadReply::pump()
{
    if (isFinished() || !m_socket || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    QElapsedTimer slice;
    slice.start();
    while (m_queued < m_total && m_socket->bytesToWrite() == 0) {
        if (slice.elapsed() >= sliceMs) {
            // Let the event loop breathe; the kernel still has room.
            QTimer::singleShot(0, this, &HttpUploadReply::pump);
            break;
        }
        const qint64 got = m_body->read(m_block.data(), qMin<qint64>(m_block.size(), m_total - m_queued));
        if (got <= 0) {
            finishWithError(UnknownContentError,
                            got < 0 ? QStringLiteral("Cannot read the file to upload: %1").arg(m_body->errorString())
                                    : QStringLiteral("The file to upload became shorter while it was sent"));
            return;
        }
        if (m_socket->write(m_block.constData(), got) != got) {
            // An unbuffered socket records a failed write without a signal.
            socketFailed();
            return;
        }
        m_queued += got;
    }
    reportProgress(false);
}

void HttpUploadReply::reportProgress(bool force)
{
    const qint64 sent = qBound<qint64>(0, m_queued - m_socket->bytesToWrite(), m_total);
    if (sent == m_lastReported)
        return;
    if (!force && sent < m_total && m_lastReported >= 0 && m_sinceReport.elapsed() < reportIntervalMs)
        return;
    m_lastReported = sent;
    m_sinceReport.restart();
    emit uploadProgress(sent, m_total);
}

void HttpUploadReply::readResponse()
{
    settle(drain());
}

void HttpUploadReply::connectionEnded()
{
    drain();
    settle(true);
}

bool HttpUploadReply::drain()
{
    // Reading an unbuffered socket past its end is what reports the end (and
    // emits the error that leads back here), so read until it says so.
    if (isFinished() || m_draining)
        return false;
    m_draining = true;
    QByteArray incoming(64 * 1024, Qt::Uninitialized);
    bool ended = false;
    while (m_response.state() == HttpResponseReader::State::Reading) {
        const qint64 n = m_socket->read(incoming.data(), incoming.size());
        if (n <= 0) {
            ended = n < 0;
            break;
        }
        m_response.feed(QByteArray::fromRawData(incoming.constData(), int(n)));
    }
    m_draining = false;
    return ended;
}

void HttpUploadReply::settle(bool connectionEnded)
{
    if (isFinished() || m_draining)
        return;
    switch (m_response.state()) {
    case HttpResponseReader::State::Done:
        finishWithResponse();
        return;
    case HttpResponseReader::State::Malformed:
        finishWithError(ProtocolFailure, QStringLiteral("The server sent a malformed reply"));
        return;
    case HttpResponseReader::State::Reading:
        break;
    }
    if (!connectionEnded)
        return;
    if (m_response.finishAtClose() == HttpResponseReader::State::Done)
        finishWithResponse();
    else if (m_response.isEmpty())
        finishWithError(RemoteHostClosedError, QStringLiteral("Connection closed"));
    else
        finishWithError(RemoteHostClosedError, QStringLiteral("Connection closed before the whole reply arrived"));
}

void HttpUploadReply::socketFailed()
{
    if (isFinished())
        return;
    const QAbstractSocket::SocketError error = m_socket->error();
    // A server that answers early may close while the body still goes out:
    // its reply, if any, is what counts.
    if (error == QAbstractSocket::RemoteHostClosedError) {
        connectionEnded();
        return;
    }
    NetworkError code = UnknownNetworkError;
    QString text = m_socket->errorString();
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        code = ConnectionRefusedError;
        break;
    case QAbstractSocket::HostNotFoundError:
        code = HostNotFoundError;
        text = QStringLiteral("Host %1 not found").arg(url().host());
        break;
    case QAbstractSocket::SocketTimeoutError:
        code = TimeoutError;
        break;
    default:
        break;
    }
    finishWithError(code, text);
}

void HttpUploadReply::finishWithResponse()
{
    reportProgress(true);
    setAttribute(QNetworkRequest::HttpStatusCodeAttribute, m_response.statusCode());
    setAttribute(QNetworkRequest::HttpReasonPhraseAttribute, m_response.reasonPhrase());
    for (const HttpResponseReader::Header &h : m_response.headers()) {
        // Repeated headers are joined as Qt joins them.
        const QByteArray earlier = rawHeader(h.first);
        setRawHeader(h.first, earlier.isNull() ? h.second : earlier + ", " + h.second);
    }
    m_content = m_response.body();
    const NetworkError code = errorForStatus(m_response.statusCode());
    if (code != NoError)
        setError(code, QStringLiteral("Error transferring %1 - server replied: %2")
                           .arg(url().toString(), QString::fromLatin1(m_response.reasonPhrase())));
    finish();
}

void HttpUploadReply::finishWithError(NetworkError code, const QString &text)
{
    setError(code, text);
    finish();
}

void HttpUploadReply::finish()
{
    setFinished(true);
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
    // Announced from the event loop: the receivers may run dialogs, which
    // must not nest inside a socket's signal.
    QTimer::singleShot(0, this, [this] {
        if (error() != NoError)
            emit errorOccurred(error());
        if (!m_content.isEmpty())
            emit readyRead();
        emit readChannelFinished();
        emit finished();
    });
}

void HttpUploadReply::abort()
{
    if (!isFinished())
        finishWithError(OperationCanceledError, QStringLiteral("Operation canceled"));
}

qint64 HttpUploadReply::bytesAvailable() const
{
    return m_content.size() + QNetworkReply::bytesAvailable();
}

qint64 HttpUploadReply::readData(char *data, qint64 maxSize)
{
    const qint64 n = qMin<qint64>(maxSize, m_content.size());
    if (n == 0)
        return isFinished() ? -1 : 0;
    std::memcpy(data, m_content.constData(), size_t(n));
    m_content.remove(0, int(n));
    return n;
}
