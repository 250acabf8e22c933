#include "testservice.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QMetaObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

#include <sys/socket.h>

// ---------------------------------------------------------------- Reply

TestService::Reply TestService::Reply::fileName(const QByteArray &name)
{
    Reply reply;
    reply.headers.append(TestService::Header("FileName", name));
    return reply;
}

TestService::Reply TestService::Reply::html(const QByteArray &body)
{
    Reply reply;
    reply.headers.append(TestService::Header("Content-Type", "text/html; charset=utf-8"));
    reply.body = body;
    return reply;
}

TestService::Reply TestService::Reply::statusOk(const QByteArray &pageUrl)
{
    Reply reply;
    reply.headers.append(TestService::Header("Content-Type", "application/json"));
    reply.body = "{\"status\":\"OK\",\"pageUrl\":\"" + pageUrl + "\"}";
    return reply;
}

TestService::Reply TestService::Reply::statusError(const QByteArray &message)
{
    Reply reply;
    reply.headers.append(TestService::Header("Content-Type", "application/json"));
    reply.body = "{\"status\":\"ERROR\",\"message\":\"" + message + "\"}";
    return reply;
}

TestService::Reply TestService::Reply::httpError(int status)
{
    Reply reply;
    reply.status = status;
    reply.reason = status == 404 ? "Not Found" : "Error";
    reply.headers.append(TestService::Header("Content-Type", "text/plain"));
    reply.body = "error " + QByteArray::number(status);
    return reply;
}

TestService::Reply TestService::Reply::dropped()
{
    Reply reply;
    reply.dropAfterBodyBytes = 0;
    return reply;
}

TestService::Reply TestService::Reply::withHeader(const QByteArray &name, const QByteArray &value) const
{
    Reply reply = *this;
    reply.headers.append(TestService::Header(name, value));
    return reply;
}

TestService::Reply TestService::Reply::slow(qint64 bytesPerSecond) const
{
    Reply reply = *this;
    reply.readBytesPerSecond = bytesPerSecond;
    return reply;
}

TestService::Reply TestService::Reply::answeredEarly(qint64 bodyBytes) const
{
    Reply reply = *this;
    reply.answerAfterBodyBytes = bodyBytes;
    return reply;
}

TestService::Reply TestService::Reply::stalled(qint64 bodyBytes) const
{
    Reply reply = *this;
    reply.stallAfterBodyBytes = bodyBytes;
    return reply;
}

// ---------------------------------------------------------------- Request

QByteArray TestService::Request::path() const
{
    const int query = target.indexOf('?');
    return query < 0 ? target : target.left(query);
}

QByteArray TestService::Request::header(const QByteArray &name) const
{
    for (const Header &h : headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return QByteArray();
}

// ---------------------------------------------------------------- connection

namespace {

constexpr int kThrottleTickMs = 20;
const char kBannerPath[] = "/app-banner.html";

} // namespace

class TestServiceConnection : public QObject
{
    Q_OBJECT
public:
    TestServiceConnection(QTcpSocket *socket, TestService *service, const QElapsedTimer *clock)
        : QObject(socket)
        , m_socket(socket)
        , m_service(service)
        , m_clock(clock)
    {
        connect(socket, &QTcpSocket::readyRead, this, &TestServiceConnection::onReadyRead);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(&m_throttle, &QTimer::timeout, this, &TestServiceConnection::onTick);
    }

private slots:
    void onReadyRead()
    {
        if ((m_reply.readBytesPerSecond > 0 && m_state == Body) || m_stalled)
            return; // the throttle reads, or nothing does
        feed(m_socket->readAll());
    }

    void onTick()
    {
        // Reads what the rate allows since the body began, so late ticks on
        // a busy machine catch up instead of slowing the reader down.  While
        // the reader keeps up it asks for more than the socket's buffer
        // holds, which is what turns the socket's read notifications back on.
        const qint64 allowed = m_reply.readBytesPerSecond * m_throttleClock.elapsed() / 1000 - m_bodySize;
        if (allowed <= 0)
            return;
        const QByteArray data = m_socket->read(allowed);
        if (!data.isEmpty())
            feed(data);
    }

private:
    enum State { Head, Body, Tunnel, Finished };

    double now() const { return m_clock->nsecsElapsed() / 1e6; }

    void feed(const QByteArray &data)
    {
        if (m_state == Head) {
            m_headBuffer += data;
            const int end = m_headBuffer.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            const QByteArray rest = m_headBuffer.mid(end + 4);
            m_headBuffer.truncate(end + 4);
            startRequest();
            if (m_state == Body)
                feedBody(rest);
            else if (m_state == Tunnel)
                relay(rest);
            return;
        }
        if (m_state == Body)
            feedBody(data);
        else if (m_state == Tunnel)
            relay(data);
    }

    // A proxy's tunnel to the address of a CONNECT request, whatever it is.
    void openTunnel(const QByteArray &authority)
    {
        m_state = Tunnel;
        m_upstream = new QTcpSocket(this);
        connect(m_upstream, &QTcpSocket::connected, this, [this] {
            m_socket->write("HTTP/1.1 200 Connection established\r\n\r\n");
            m_upstream->write(m_early);
            m_early.clear();
        });
        connect(m_upstream, &QTcpSocket::readyRead, this, [this] { m_socket->write(m_upstream->readAll()); });
        connect(m_upstream, &QTcpSocket::disconnected, m_socket, &QTcpSocket::disconnectFromHost);
        connect(m_upstream, &QTcpSocket::errorOccurred, m_socket, &QTcpSocket::disconnectFromHost);
        connect(m_socket, &QTcpSocket::disconnected, m_upstream, &QTcpSocket::disconnectFromHost);
        const int colon = authority.lastIndexOf(':');
        m_upstream->connectToHost(QString::fromLatin1(authority.left(colon)), quint16(authority.mid(colon + 1).toUInt()));
    }

    void relay(const QByteArray &data)
    {
        if (m_upstream->state() == QAbstractSocket::ConnectedState)
            m_upstream->write(data);
        else
            m_early += data;
    }

    void startRequest()
    {
        TestService::Request request;
        request.head = m_headBuffer;
        request.firstByteMs = request.lastByteMs = now();
        const QList<QByteArray> lines = m_headBuffer.left(m_headBuffer.size() - 4).split('\n');
        const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        for (int i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines.at(i).endsWith('\r') ? lines.at(i).chopped(1) : lines.at(i);
            const int colon = line.indexOf(':');
            if (colon > 0)
                request.headers.append(TestService::Header(line.left(colon), line.mid(colon + 1).trimmed()));
        }
        if (request.method == "CONNECT") {
            request.complete = true;
            m_index = m_service->addRequest(request);
            openTunnel(request.target);
            return;
        }
        m_remaining = request.header("Content-Length").toLongLong();
        m_keepBody = m_service->keepBodies();
        m_reply = m_service->replyFor(request.target, request.path());
        m_index = m_service->addRequest(request);
        m_state = Body;
        // Clients such as curl wait for leave before they send a large body.
        if (request.header("Expect").toLower() == "100-continue" && m_reply.dropAfterBodyBytes != 0)
            m_socket->write("HTTP/1.1 100 Continue\r\n\r\n");

        if (m_reply.stallAfterBodyBytes >= 0) {
            // Small buffers, so a sender soon finds no room once we stop.
            const int buffer = 16384;
            ::setsockopt(int(m_socket->socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
        }
        if (m_reply.readBytesPerSecond > 0) {
            // Keep the socket's and the system's buffers to a fraction of a
            // second's reading, so the sender really has to wait; not much
            // smaller, or each hand-over between a busy machine's threads
            // moves so little that the reader falls far behind its rate.
            const int buffer = int(qBound<qint64>(16384, m_reply.readBytesPerSecond / 20, 1 << 20));
            m_socket->setReadBufferSize(buffer);
            ::setsockopt(int(m_socket->socketDescriptor()), SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
            m_throttle.start(kThrottleTickMs);
            m_throttleClock.start();
        }
        feedBody(QByteArray());
    }

    void feedBody(const QByteArray &data)
    {
        // Every client here sends a Content-Length.
        const int used = int(qMin<qint64>(m_remaining, data.size()));
        m_remaining -= used;
        const bool done = m_remaining == 0;
        const QByteArray part = data.left(used);
        m_bodySize += used;
        const bool keep = m_keepBody;
        const double at = now();
        const qint64 size = m_bodySize;
        m_service->changeRequest(m_index, [&](TestService::Request &r) {
            if (used > 0 && r.bodySize == 0)
                r.firstBodyByteMs = at;
            if (keep)
                r.body += part;
            r.bodySize = size;
            r.lastByteMs = at;
            r.complete = done;
        });

        if (m_reply.dropAfterBodyBytes >= 0 && m_bodySize >= m_reply.dropAfterBodyBytes) {
            finish();
            m_socket->abort();
            return;
        }
        if (m_reply.stallAfterBodyBytes >= 0 && m_bodySize >= m_reply.stallAfterBodyBytes) {
            // Whatever else arrives stays in the system's buffers.
            finish();
            m_stalled = true;
            m_socket->setReadBufferSize(1);
            return;
        }
        if (!m_answered && m_reply.answerAfterBodyBytes >= 0 && m_bodySize >= m_reply.answerAfterBodyBytes) {
            m_answered = true;
            answer();
        }
        if (done) {
            finish();
            if (!m_answered)
                answer();
            m_socket->disconnectFromHost();
        }
    }

    void finish()
    {
        m_state = Finished;
        m_throttle.stop();
    }

    void answer()
    {
        QByteArray out = "HTTP/1.1 " + QByteArray::number(m_reply.status) + ' ' + m_reply.reason + "\r\n";
        for (const TestService::Header &h : qAsConst(m_reply.headers))
            out += h.first + ": " + h.second + "\r\n";
        out += "Content-Length: " + QByteArray::number(m_reply.body.size()) + "\r\n";
        out += "Connection: close\r\n\r\n";
        out += m_reply.body;
        m_socket->write(out);
    }

    QTcpSocket *m_socket;
    TestService *m_service;
    const QElapsedTimer *m_clock;
    QTimer m_throttle;
    QElapsedTimer m_throttleClock;
    State m_state = Head;
    QByteArray m_headBuffer;
    TestService::Reply m_reply;
    int m_index = -1;
    bool m_keepBody = true;
    bool m_stalled = false;
    bool m_answered = false;
    QTcpSocket *m_upstream = nullptr;
    QByteArray m_early; // for the tunnel, before it is open
    qint64 m_remaining = 0;
    qint64 m_bodySize = 0;
};

class TestServiceServer : public QObject
{
    Q_OBJECT
public:
    explicit TestServiceServer(TestService *service)
        : m_service(service)
    {
        m_clock.start();
    }

public slots:
    quint16 listen()
    {
        m_server = new QTcpServer(this);
        connect(m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_server->nextPendingConnection()) {
                socket->setParent(this);
                new TestServiceConnection(socket, m_service, &m_clock);
            }
        });
        if (!m_server->listen(QHostAddress::LocalHost, 0))
            return 0;
        return m_server->serverPort();
    }

    // Everything with a socket goes on this thread.
    void stop()
    {
        qDeleteAll(children());
        m_server = nullptr;
    }

private:
    TestService *m_service;
    QTcpServer *m_server = nullptr;
    QElapsedTimer m_clock;
};

// ---------------------------------------------------------------- service

TestService::TestService()
{
    m_fallback = Reply::httpError(404);
    // Every capture run asks for the banner: it is answered from the pages,
    // so it never takes a reply queued for an upload.  Tests that want a
    // banner set this page.
    m_pages.append(qMakePair(QByteArray(kBannerPath), Reply::httpError(404)));
    m_server = new TestServiceServer(this);
    m_server->moveToThread(&m_thread);
    m_thread.start();
    QMetaObject::invokeMethod(m_server, "listen", Qt::BlockingQueuedConnection, Q_RETURN_ARG(quint16, m_port));
}

TestService::~TestService()
{
    QMetaObject::invokeMethod(m_server, "stop", Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
    delete m_server;
}

QUrl TestService::baseUrl() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(m_port));
}

void TestService::setPage(const QByteArray &pathOrTarget, const Reply &reply)
{
    QMutexLocker lock(&m_mutex);
    for (auto &page : m_pages) {
        if (page.first == pathOrTarget) {
            page.second = reply;
            return;
        }
    }
    m_pages.append(qMakePair(pathOrTarget, reply));
}

void TestService::enqueue(const Reply &reply)
{
    QMutexLocker lock(&m_mutex);
    m_queue.append(reply);
}

void TestService::setFallback(const Reply &reply)
{
    QMutexLocker lock(&m_mutex);
    m_fallback = reply;
}

void TestService::setKeepBodies(bool keep)
{
    QMutexLocker lock(&m_mutex);
    m_keepBodies = keep;
}

bool TestService::keepBodies() const
{
    QMutexLocker lock(&m_mutex);
    return m_keepBodies;
}

QList<TestService::Request> TestService::requests() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests;
}

int TestService::requestCount() const
{
    QMutexLocker lock(&m_mutex);
    return m_requests.size();
}

QList<TestService::Request> TestService::uploads() const
{
    QMutexLocker lock(&m_mutex);
    QList<Request> uploads;
    for (const Request &request : m_requests)
        if (request.complete && request.path() != kBannerPath)
            uploads.append(request);
    return uploads;
}

int TestService::completeCount() const
{
    return uploads().size();
}

void TestService::clearRequests()
{
    QMutexLocker lock(&m_mutex);
    m_requests.clear();
    m_requestIds.clear();
}

bool TestService::waitForRequests(int count, int timeoutMs) const
{
    return QTest::qWaitFor([&] { return completeCount() >= count; }, timeoutMs);
}

TestService::Reply TestService::replyFor(const QByteArray &target, const QByteArray &path)
{
    QMutexLocker lock(&m_mutex);
    for (const QByteArray &wanted : {target, path})
        for (const auto &page : qAsConst(m_pages))
            if (page.first == wanted)
                return page.second;
    if (!m_queue.isEmpty())
        return m_queue.takeFirst();
    return m_fallback;
}

int TestService::addRequest(const Request &request)
{
    QMutexLocker lock(&m_mutex);
    m_requests.append(request);
    m_requestIds.append(m_nextId);
    return m_nextId++;
}

#include "testservice.moc"
