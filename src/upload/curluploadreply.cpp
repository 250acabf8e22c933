#include "upload/curluploadreply.h"

#include "upload/curlmulti.h"

#include <cerrno>
#include <cstring>

namespace {

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

QByteArray hostForHeader(const QByteArray &host)
{
    // An IPv6 address is bracketed, or its colons would read as a port.
    return host.contains(':') ? '[' + host + ']' : host;
}

int defaultPort(const QUrl &url)
{
    return url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 ? 443 : 80;
}

QString malformedText()
{
    return QStringLiteral("The server sent a malformed reply");
}

} // namespace

CurlUploadReply::CurlUploadReply(QNetworkAccessManager::Operation operation, const QNetworkRequest &request,
                                 QIODevice *body, const QNetworkProxy &proxy, std::shared_ptr<CurlMulti> multi,
                                 QObject *parent)
    : QNetworkReply(parent)
    , m_method(methodOf(operation, request))
    , m_body(body)
    , m_proxy(proxy)
    , m_multi(std::move(multi))
{
    setOperation(operation);
    setRequest(request);
    setUrl(request.url());
    QIODevice::open(QIODevice::ReadOnly);
    m_stall.setSingleShot(true);
    m_stall.setInterval(stallLimitMs);
    connect(&m_stall, &QTimer::timeout, this, &CurlUploadReply::onStalled);
    // Started from the event loop, so the caller can connect to the reply first.
    QTimer::singleShot(0, this, &CurlUploadReply::start);
}

CurlUploadReply::~CurlUploadReply()
{
    releaseTransfer();
}

QList<QByteArray> CurlUploadReply::headerLines(const QNetworkRequest &request, qint64 bodySize)
{
    QList<QByteArray> lines;
    bool hasHost = false;
    bool hasLength = false;
    for (const QByteArray &name : request.rawHeaderList()) {
        hasHost = hasHost || qstricmp(name.constData(), "Host") == 0;
        hasLength = hasLength || qstricmp(name.constData(), "Content-Length") == 0;
        lines << withoutLineBreaks(name) + ": " + withoutLineBreaks(request.rawHeader(name));
    }
    const QUrl url = request.url();
    if (!hasHost) {
        QByteArray host = "Host: " + hostForHeader(url.host(QUrl::FullyEncoded).toLatin1());
        if (url.port(defaultPort(url)) != defaultPort(url))
            host += ':' + QByteArray::number(url.port());
        lines << host;
    }
    if (!hasLength)
        lines << "Content-Length: " + QByteArray::number(bodySize);
    // One request per connection: the server may end the reply by closing.
    lines << "Connection: close";
    return lines;
}

QByteArray CurlUploadReply::proxyAddress(const QNetworkProxy &proxy)
{
    QByteArray scheme;
    switch (proxy.type()) {
    case QNetworkProxy::HttpProxy:
    case QNetworkProxy::HttpCachingProxy:
        scheme = "http";
        break;
    case QNetworkProxy::Socks5Proxy:
        // Qt lets such a proxy look up the host name unless told otherwise.
        scheme = proxy.capabilities() & QNetworkProxy::HostNameLookupCapability ? "socks5h" : "socks5";
        break;
    default:
        return QByteArray();
    }
    const QByteArray ace = QUrl::toAce(proxy.hostName());
    const QByteArray host = ace.isEmpty() ? proxy.hostName().toLatin1() : ace;
    return scheme + "://" + hostForHeader(host) + ':' + QByteArray::number(proxy.port());
}

QNetworkReply::NetworkError CurlUploadReply::errorForStatus(int status)
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

void CurlUploadReply::setStallLimit(int ms)
{
    m_stall.setInterval(ms);
    if (m_stall.isActive())
        m_stall.start();
}

void CurlUploadReply::start()
{
    if (isFinished())
        return;
    if (!m_body || !m_body->isReadable() || m_body->isSequential()) {
        const QString reason = m_body ? m_body->errorString() : QStringLiteral("no file");
        finishWithError(UnknownContentError, QStringLiteral("Cannot read the file to upload: %1").arg(reason));
        return;
    }
    m_total = qMax<qint64>(0, m_body->size() - m_body->pos());
    if (!configure() || !m_multi->add(m_easy)) {
        finishWithError(UnknownNetworkError, QStringLiteral("Cannot start the upload"));
        return;
    }
    connect(m_multi.get(), &CurlMulti::worked, this, &CurlUploadReply::onWorked);
    connect(m_multi.get(), &CurlMulti::transferEnded, this, &CurlUploadReply::onTransferEnded);
    m_sinceReport.start();
    m_stall.start();
}

bool CurlUploadReply::configure()
{
    m_easy = curl_easy_init();
    if (!m_easy)
        return false;
    // curl puts a Host header of its own, or the first one given, straight
    // after the request line; an empty one leaves the request's in its place.
    m_headerList = curl_slist_append(m_headerList, "Host:");
    for (const QByteArray &line : headerLines(request(), m_total))
        m_headerList = curl_slist_append(m_headerList, line.constData());
    // Headers curl would add of its own, which this program never sent.
    for (const char *own : {"Accept:", "Expect:", "Proxy-Connection:"})
        m_headerList = curl_slist_append(m_headerList, own);

    const QByteArray address = url().toEncoded(QUrl::RemoveUserInfo | QUrl::RemoveFragment);
    const QByteArray proxy = proxyAddress(m_proxy);
    bool ok = m_headerList != nullptr;
    const auto set = [&](CURLoption option, auto value) { ok = ok && curl_easy_setopt(m_easy, option, value) == CURLE_OK; };
    set(CURLOPT_ERRORBUFFER, m_curlError);
    set(CURLOPT_NOSIGNAL, 1L);
    // Ending a transfer never waits for a host name lookup to give up.
    set(CURLOPT_QUICK_EXIT, 1L);
    set(CURLOPT_URL, address.constData());
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    // One request per connection, its head byte for byte as given.
    set(CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_1));
    set(CURLOPT_PATH_AS_IS, 1L);
    set(CURLOPT_FORBID_REUSE, 1L);
    set(CURLOPT_FRESH_CONNECT, 1L);
    set(CURLOPT_UPLOAD, 1L);
    set(CURLOPT_CUSTOMREQUEST, m_method.constData());
    set(CURLOPT_INFILESIZE_LARGE, curl_off_t(m_total));
    set(CURLOPT_UPLOAD_BUFFERSIZE, uploadBlockBytes);
    set(CURLOPT_HTTPHEADER, m_headerList);
    set(CURLOPT_READFUNCTION, &CurlUploadReply::readCallback);
    set(CURLOPT_READDATA, this);
    set(CURLOPT_HEADERFUNCTION, &CurlUploadReply::headerCallback);
    set(CURLOPT_HEADERDATA, this);
    set(CURLOPT_WRITEFUNCTION, &CurlUploadReply::writeCallback);
    set(CURLOPT_WRITEDATA, this);
    // The proxy Qt's stack would take, never curl's own reading of the
    // environment; an empty address connects directly.
    set(CURLOPT_PROXY, proxy.constData());
    if (!proxy.isEmpty() && !m_proxy.user().isEmpty()) {
        set(CURLOPT_PROXYUSERNAME, m_proxy.user().toUtf8().constData());
        set(CURLOPT_PROXYPASSWORD, m_proxy.password().toUtf8().constData());
    }
    set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    // Authorities named in the environment are taken as the curl tool takes
    // them; certificates are verified either way.
    const QByteArray bundle = qgetenv("CURL_CA_BUNDLE");
    if (!bundle.isEmpty()) {
        set(CURLOPT_CAINFO, bundle.constData());
    } else {
        const QByteArray folder = qgetenv("SSL_CERT_DIR");
        const QByteArray file = qgetenv("SSL_CERT_FILE");
        if (!folder.isEmpty())
            set(CURLOPT_CAPATH, folder.constData());
        if (!file.isEmpty())
            set(CURLOPT_CAINFO, file.constData());
    }
    return ok;
}

size_t CurlUploadReply::readCallback(char *buffer, size_t size, size_t count, void *self)
{
    auto *reply = static_cast<CurlUploadReply *>(self);
    // Never more than announced, even when the file grows meanwhile.
    const qint64 wanted = qMin<qint64>(qint64(size * count), reply->m_total - reply->m_read);
    if (wanted <= 0)
        return 0;
    const qint64 got = reply->m_body ? reply->m_body->read(buffer, wanted) : -1;
    if (got <= 0) {
        const QString reason = reply->m_body ? reply->m_body->errorString() : QStringLiteral("no file");
        reply->refuse(UnknownContentError, got < 0
                          ? QStringLiteral("Cannot read the file to upload: %1").arg(reason)
                          : QStringLiteral("The file to upload became shorter while it was sent"));
        return CURL_READFUNC_ABORT;
    }
    reply->m_read += got;
    return size_t(got);
}

size_t CurlUploadReply::headerCallback(char *buffer, size_t size, size_t count, void *self)
{
    auto *reply = static_cast<CurlUploadReply *>(self);
    const size_t bytes = size * count;
    // Counted over every response of the exchange, interim ones included.
    reply->m_headBytes += qint64(bytes);
    if (reply->m_headBytes > maxHeadBytes) {
        reply->refuse(ProtocolFailure, malformedText());
        return 0;
    }
    QByteArray line(buffer, int(bytes));
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);

    if (line.startsWith("HTTP/")) {
        // "HTTP/1.1 200 OK": a new response, after an interim one perhaps.
        const QList<QByteArray> parts = line.split(' ');
        reply->m_status = parts.value(1).toInt();
        reply->m_reason = line.mid(parts.value(0).size() + parts.value(1).size() + 2);
        reply->m_headers.clear();
        reply->m_headComplete = false;
    } else if (line.isEmpty()) {
        reply->m_headComplete = reply->m_status >= 200;
        if (reply->m_headComplete) {
            // An answer before the whole body went out cannot be about the file.
            curl_off_t sent = 0;
            curl_easy_getinfo(reply->m_easy, CURLINFO_SIZE_UPLOAD_T, &sent);
            reply->m_sentBeforeAnswer = qint64(sent);
        }
    } else if (const int colon = line.indexOf(':'); colon > 0) {
        const QByteArray name = line.left(colon).trimmed();
        const QByteArray value = line.mid(colon + 1).trimmed();
        // A body announced beyond the limit is refused before it comes.
        bool ok = false;
        if (qstricmp(name.constData(), "Content-Length") == 0 && reply->m_status >= 200
            && (value.toULongLong(&ok) > quint64(maxBodyBytes) || !ok)) {
            reply->refuse(ProtocolFailure, malformedText());
            return 0;
        }
        reply->m_headers.append({name, value});
    }
    return bytes;
}

size_t CurlUploadReply::writeCallback(char *buffer, size_t size, size_t count, void *self)
{
    auto *reply = static_cast<CurlUploadReply *>(self);
    const size_t bytes = size * count;
    // The body is held whole until it is read: a service's answer is short,
    // and a server that sends more is not the service.
    if (reply->m_bodyReceived + qint64(bytes) > maxBodyBytes) {
        reply->m_content.clear();
        reply->refuse(ProtocolFailure, QStringLiteral("The server's reply is larger than %1 bytes").arg(maxBodyBytes));
        return 0;
    }
    reply->m_bodyReceived += qint64(bytes);
    reply->m_content.append(buffer, int(bytes));
    return bytes;
}

void CurlUploadReply::refuse(NetworkError code, const QString &text)
{
    if (m_refused)
        return;
    m_refused = true;
    m_refusedCode = code;
    m_refusedText = text;
}

void CurlUploadReply::onWorked()
{
    if (isFinished() || !m_easy)
        return;
    curl_off_t sent = 0;
    curl_easy_getinfo(m_easy, CURLINFO_SIZE_UPLOAD_T, &sent);
    const qint64 movement = qint64(sent) + m_headBytes + m_bodyReceived;
    if (movement != m_movement) {
        m_movement = movement;
        m_stall.start();
    }
    reportProgress(false);
}

void CurlUploadReply::reportProgress(bool force)
{
    curl_off_t sentNow = 0;
    if (m_easy)
        curl_easy_getinfo(m_easy, CURLINFO_SIZE_UPLOAD_T, &sentNow);
    const qint64 sent = qBound<qint64>(0, qint64(sentNow), m_total);
    // Never backwards, and never the same figure twice.
    if (sent <= m_lastReported)
        return;
    if (!force && sent < m_total && m_lastReported >= 0 && m_sinceReport.elapsed() < reportIntervalMs)
        return;
    m_lastReported = sent;
    m_sinceReport.restart();
    emit uploadProgress(sent, m_total);
}

void CurlUploadReply::onTransferEnded(CURL *easy, CURLcode result)
{
    if (easy != m_easy || isFinished())
        return;
    reportProgress(true);
    if (m_refused)
        finishWithError(m_refusedCode, m_refusedText);
    else if (m_headComplete && (result == CURLE_OK || m_status >= 400 || m_sentBeforeAnswer < m_total))
        finishWithResponse();
    else
        failWith(result);
}

void CurlUploadReply::onStalled()
{
    if (!isFinished())
        finishWithError(TimeoutError, QStringLiteral("Nothing was sent or received for %1 seconds")
                                          .arg(m_stall.interval() / 1000.0));
}

void CurlUploadReply::failWith(CURLcode result)
{
    const QString detail = m_curlError[0] ? QString::fromLocal8Bit(m_curlError)
                                          : QString::fromLatin1(curl_easy_strerror(result));
    const bool proxied = !proxyAddress(m_proxy).isEmpty();
    long osError = 0;
    long proxyStatus = 0;
    curl_easy_getinfo(m_easy, CURLINFO_OS_ERRNO, &osError);
    curl_easy_getinfo(m_easy, CURLINFO_HTTP_CONNECTCODE, &proxyStatus);
    const QString closed = m_headBytes > 0 ? QStringLiteral("Connection closed before the whole reply arrived")
                                           : QStringLiteral("Connection closed");

    if (proxied && proxyStatus == 407) {
        finishWithError(ProxyAuthenticationRequiredError, detail);
        return;
    }
    switch (result) {
    case CURLE_COULDNT_RESOLVE_HOST:
        finishWithError(HostNotFoundError, QStringLiteral("Host %1 not found").arg(url().host()));
        return;
    case CURLE_COULDNT_RESOLVE_PROXY:
        finishWithError(ProxyNotFoundError, QStringLiteral("Proxy %1 not found").arg(m_proxy.hostName()));
        return;
    case CURLE_COULDNT_CONNECT:
        if (osError == ECONNREFUSED && !proxied)
            finishWithError(ConnectionRefusedError, QStringLiteral("Connection refused"));
        else if (osError == ECONNREFUSED)
            finishWithError(ProxyConnectionRefusedError, QStringLiteral("Proxy connection refused"));
        else
            finishWithError(proxied ? UnknownProxyError : UnknownNetworkError, detail);
        return;
    case CURLE_OPERATION_TIMEDOUT:
        finishWithError(TimeoutError, detail);
        return;
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_PARTIAL_FILE:
        finishWithError(RemoteHostClosedError, closed);
        return;
    case CURLE_RECV_ERROR:
        // Without a system error, curl could not read what did arrive.
        finishWithError(osError ? RemoteHostClosedError : ProtocolFailure, osError ? closed : malformedText());
        return;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_UNSUPPORTED_PROTOCOL:
    case CURLE_BAD_CONTENT_ENCODING:
        finishWithError(ProtocolFailure, malformedText());
        return;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
        finishWithError(SslHandshakeFailedError, QStringLiteral("SSL handshake failed: %1").arg(detail));
        return;
    default:
        finishWithError(proxied ? UnknownProxyError : UnknownNetworkError, detail);
        return;
    }
}

void CurlUploadReply::finishWithResponse()
{
    setAttribute(QNetworkRequest::HttpStatusCodeAttribute, m_status);
    setAttribute(QNetworkRequest::HttpReasonPhraseAttribute, m_reason);
    for (const auto &header : qAsConst(m_headers)) {
        // Repeated headers are joined as Qt joins them.
        const QByteArray earlier = rawHeader(header.first);
        setRawHeader(header.first, earlier.isNull() ? header.second : earlier + ", " + header.second);
    }
    const NetworkError code = errorForStatus(m_status);
    if (code != NoError)
        setError(code, QStringLiteral("Error transferring %1 - server replied: %2")
                           .arg(url().toString(), QString::fromLatin1(m_reason)));
    else if (m_sentBeforeAnswer < m_total)
        // An answer to a part of the file is no answer to the upload.
        setError(ProtocolFailure, QStringLiteral("The server answered after %1 of %2 bytes of the file")
                                      .arg(m_sentBeforeAnswer)
                                      .arg(m_total));
    finish();
}

void CurlUploadReply::finishWithError(NetworkError code, const QString &text)
{
    setError(code, text);
    finish();
}

void CurlUploadReply::finish()
{
    setFinished(true);
    m_stall.stop();
    releaseTransfer();
    // Announced from the event loop: the receivers may run dialogs, which
    // must not nest inside the transfer's own events.
    QTimer::singleShot(0, this, [this] {
        if (error() != NoError)
            emit errorOccurred(error());
        if (!m_content.isEmpty())
            emit readyRead();
        emit readChannelFinished();
        emit finished();
    });
}

void CurlUploadReply::releaseTransfer()
{
    if (m_multi)
        m_multi->disconnect(this);
    if (m_easy) {
        m_multi->remove(m_easy);
        curl_easy_cleanup(m_easy);
        m_easy = nullptr;
    }
    curl_slist_free_all(m_headerList);
    m_headerList = nullptr;
}

void CurlUploadReply::abort()
{
    if (!isFinished())
        finishWithError(OperationCanceledError, QStringLiteral("Operation canceled"));
}

qint64 CurlUploadReply::bytesAvailable() const
{
    return m_content.size() + QNetworkReply::bytesAvailable();
}

qint64 CurlUploadReply::readData(char *data, qint64 maxSize)
{
    const qint64 n = qMin<qint64>(maxSize, m_content.size());
    if (n == 0)
        return isFinished() ? -1 : 0;
    std::memcpy(data, m_content.constData(), size_t(n));
    m_content.remove(0, int(n));
    return n;
}
