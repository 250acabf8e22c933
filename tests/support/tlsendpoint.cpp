#include "tlsendpoint.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace {

constexpr int toolTimeoutMs = 30000;
// stunnel needs a moment to read its configuration and listen.
constexpr int listenTimeoutMs = 10000;

quint16 freePort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

bool accepts(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    return socket.waitForConnected(200);
}

} // namespace

TlsEndpoint::TlsEndpoint(quint16 backendPort)
{
    if (!m_folder.isValid())
        m_failure = QStringLiteral("no temporary folder");
    else if (makeCertificate())
        startTunnel(backendPort);
}

TlsEndpoint::~TlsEndpoint()
{
    if (m_tunnel.state() != QProcess::NotRunning) {
        m_tunnel.terminate();
        if (!m_tunnel.waitForFinished(5000))
            m_tunnel.kill();
        m_tunnel.waitForFinished(5000);
    }
}

QUrl TlsEndpoint::baseUrl() const
{
    return QUrl(QStringLiteral("https://127.0.0.1:%1/").arg(m_port));
}

QString TlsEndpoint::certificateFile() const
{
    return m_folder.filePath(QStringLiteral("cert.pem"));
}

bool TlsEndpoint::makeCertificate()
{
    QProcess openssl;
    openssl.setProcessChannelMode(QProcess::MergedChannels);
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                   QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                   QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                   QStringLiteral("-addext"), QStringLiteral("subjectAltName=IP:127.0.0.1"),
                   QStringLiteral("-keyout"), m_folder.filePath(QStringLiteral("key.pem")),
                   QStringLiteral("-out"), certificateFile()});
    if (!openssl.waitForFinished(toolTimeoutMs) || openssl.exitStatus() != QProcess::NormalExit
        || openssl.exitCode() != 0) {
        m_failure = QStringLiteral("openssl could not make a certificate: %1%2")
                        .arg(openssl.errorString(), QString::fromLocal8Bit(openssl.readAll()));
        return false;
    }
    return true;
}

bool TlsEndpoint::startTunnel(quint16 backendPort)
{
    m_port = freePort();
    const QString configuration = m_folder.filePath(QStringLiteral("stunnel.conf"));
    QFile file(configuration);
    if (!m_port || !file.open(QIODevice::WriteOnly)) {
        m_failure = QStringLiteral("no port or no configuration file");
        return false;
    }
    file.write("foreground = yes\npid =\ndebug = crit\n[service]\n");
    file.write("accept = 127.0.0.1:" + QByteArray::number(m_port) + "\n");
    file.write("connect = 127.0.0.1:" + QByteArray::number(backendPort) + "\n");
    file.write("cert = " + QFile::encodeName(certificateFile()) + "\n");
    file.write("key = " + QFile::encodeName(m_folder.filePath(QStringLiteral("key.pem"))) + "\n");
    file.close();

    m_tunnel.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_tunnel.setStandardOutputFile(QProcess::nullDevice());
    m_tunnel.start(QStringLiteral("stunnel4"), {configuration});
    if (!m_tunnel.waitForStarted(toolTimeoutMs)) {
        m_failure = QStringLiteral("stunnel4 did not start: %1").arg(m_tunnel.errorString());
        return false;
    }
    QElapsedTimer clock;
    clock.start();
    while (!accepts(m_port)) {
        if (m_tunnel.state() == QProcess::NotRunning || clock.elapsed() > listenTimeoutMs) {
            m_failure = QStringLiteral("stunnel4 does not listen on port %1").arg(m_port);
            return false;
        }
        QThread::msleep(20);
    }
    return true;
}
