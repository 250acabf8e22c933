#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>

// A TLS endpoint on 127.0.0.1 in front of a local plain-HTTP port: stunnel
// with a self-signed certificate for 127.0.0.1 made for this run.  Clients
// trust it only when told to, through certificateFile():
//
//   TlsEndpoint tls(service.port());
//   qputenv("CURL_CA_BUNDLE", QFile::encodeName(tls.certificateFile()));
//   ... upload to tls.baseUrl() ...
class TlsEndpoint
{
public:
    explicit TlsEndpoint(quint16 backendPort);
    ~TlsEndpoint();
    TlsEndpoint(const TlsEndpoint &) = delete;
    TlsEndpoint &operator=(const TlsEndpoint &) = delete;

    // Why it is not running, or empty once it accepts connections.
    QString failure() const { return m_failure; }
    bool isRunning() const { return m_failure.isEmpty(); }
    quint16 port() const { return m_port; }
    // "https://127.0.0.1:<port>/"
    QUrl baseUrl() const;
    // The certificate in PEM, which is also its own authority.
    QString certificateFile() const;

private:
    bool makeCertificate();
    bool startTunnel(quint16 backendPort);

    QTemporaryDir m_folder;
    QProcess m_tunnel;
    quint16 m_port = 0;
    QString m_failure;
};
