#include "serverprocess.h"

#include <QDir>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>
#include <QtTest>

#include <csignal>

namespace {

constexpr int kStartTimeoutMs = 10000; // the server opens its database and binds
constexpr int kStopTimeoutMs = 10000;  // requests in flight finish first

quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

qint64 statusField(qint64 pid, const QByteArray &field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field + ':'))
            return line.mid(field.size() + 1).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

} // namespace

ServerProcess::ServerProcess(const QString &dataFolder) : m_dataFolder(dataFolder)
{
    m_process.setProgram(QStringLiteral(SNAPLARK_BIN_DIR "/snaplark-server"));
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

ServerProcess::~ServerProcess()
{
    stop(true);
}

bool ServerProcess::start(const QStringList &options)
{
    QDir().mkpath(m_dataFolder);
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_port = freePort();
        m_process.setStandardOutputFile(m_dataFolder + QStringLiteral("/server.log"), QIODevice::Append);
        m_process.setArguments(QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:%1").arg(m_port),
                                           QStringLiteral("--data"), m_dataFolder} + options);
        m_process.start();
        if (!m_process.waitForStarted(kStartTimeoutMs))
            return false;
        const bool answers = QTest::qWaitFor([this] {
            return m_process.state() != QProcess::Running || Http::get(m_port, "/snaplark.css").status == 200;
        }, kStartTimeoutMs);
        if (answers && m_process.state() == QProcess::Running)
            return true;
        m_process.waitForFinished(kStopTimeoutMs); // the port was taken meanwhile: another one
    }
    return false;
}

bool ServerProcess::stop(bool hard)
{
    if (m_process.state() == QProcess::NotRunning)
        return true;
    ::kill(pid_t(m_process.processId()), hard ? SIGKILL : SIGTERM);
    return m_process.waitForFinished(kStopTimeoutMs);
}

QByteArray ServerProcess::baseUrl() const
{
    return "http://127.0.0.1:" + QByteArray::number(m_port) + '/';
}

QString ServerProcess::log() const
{
    QFile file(m_dataFolder + QStringLiteral("/server.log"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

qint64 ServerProcess::residentKb() const
{
    return statusField(m_process.processId(), "VmRSS");
}

qint64 ServerProcess::peakResidentKb() const
{
    return statusField(m_process.processId(), "VmHWM");
}

QByteArray HttpReply::header(const QByteArray &name) const
{
    for (const auto &h : headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return QByteArray();
}

QByteArray HttpReply::cookie(const QByteArray &name) const
{
    for (const auto &h : headers) {
        if (h.first.compare("Set-Cookie", Qt::CaseInsensitive) != 0)
            continue;
        const QByteArray pair = h.second.split(';').first();
        if (pair.startsWith(name + '='))
            return pair.mid(name.size() + 1);
    }
    return QByteArray();
}

namespace Http {

HttpReply exchange(quint16 port, const QByteArray &request, int timeoutMs)
{
    HttpReply reply;
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(timeoutMs))
        return reply;
    socket.write(request);
    QElapsedTimer clock;
    clock.start();
    QByteArray data;
    int headEnd = -1;
    qint64 length = -1;
    while (clock.elapsed() < timeoutMs) {
        if (socket.bytesAvailable() == 0 && !socket.waitForReadyRead(int(qMax<qint64>(1, timeoutMs - clock.elapsed())))) {
            data += socket.readAll();
            break;
        }
        data += socket.readAll();
        if (headEnd < 0 && (headEnd = data.indexOf("\r\n\r\n")) >= 0) {
            for (const QByteArray &line : data.left(headEnd).split('\n').mid(1)) {
                const int colon = line.indexOf(':');
                if (colon > 0 && line.left(colon).trimmed().toLower() == "content-length")
                    length = line.mid(colon + 1).trimmed().toLongLong();
            }
        }
        // An interim "100 Continue" is followed by the real reply.
        if (headEnd >= 0 && data.startsWith("HTTP/1.1 100")) {
            data = data.mid(headEnd + 4);
            headEnd = -1;
            continue;
        }
        if (headEnd >= 0 && length >= 0 && data.size() - headEnd - 4 >= length)
            break;
    }
    headEnd = data.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return reply;
    const QList<QByteArray> lines = data.left(headEnd).split('\n');
    reply.status = lines.first().split(' ').value(1).toInt();
    for (const QByteArray &line : lines.mid(1)) {
        const int colon = line.indexOf(':');
        if (colon > 0)
            reply.headers.append(qMakePair(line.left(colon).trimmed(), line.mid(colon + 1).trimmed()));
    }
    reply.body = data.mid(headEnd + 4);
    return reply;
}

HttpReply get(quint16 port, const QByteArray &target, const QByteArray &cookies)
{
    QByteArray request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                         "\r\nConnection: close\r\n";
    if (!cookies.isEmpty())
        request += "Cookie: " + cookies + "\r\n";
    return exchange(port, request + "\r\n");
}

HttpReply put(quint16 port, const QByteArray &target, const QByteArray &body,
              const QList<QPair<QByteArray, QByteArray>> &headers)
{
    QByteArray request = "PUT " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                         "\r\nConnection: close\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n";
    for (const auto &h : headers)
        request += h.first + ": " + h.second + "\r\n";
    return exchange(port, request + "\r\n" + body);
}

HttpReply postForm(quint16 port, const QByteArray &target, const QList<QPair<QByteArray, QByteArray>> &fields,
                   const QByteArray &cookies)
{
    QByteArray body;
    for (const auto &field : fields)
        body += (body.isEmpty() ? "" : "&") + field.first + '=' + field.second.toPercentEncoding();
    QByteArray request = "POST " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                         "\r\nConnection: close\r\nContent-Type: application/x-www-form-urlencoded\r\n"
                         "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    if (!cookies.isEmpty())
        request += "Cookie: " + cookies + "\r\n";
    return exchange(port, request + "\r\n" + body);
}

} // namespace Http
