#pragma once

#include <QNetworkAccessManager>
#include <QNetworkProxy>

#include <memory>

class CurlMulti;

// The upload's network manager.  Every upload — a PUT or POST with a body to
// an HTTP or HTTPS address, directly or through a proxy — is sent by libcurl
// (CurlUploadReply), which streams the body at the speed of the connection;
// other requests go through Qt's own stack unchanged.  Either way the caller
// sees an ordinary reply and the manager's finished signal.
class UploadNetworkManager : public QNetworkAccessManager
{
    Q_OBJECT
public:
    explicit UploadNetworkManager(QObject *parent = nullptr);
    ~UploadNetworkManager() override;

    // Whether a request with a body to that address is sent by libcurl.
    static bool sendsItself(Operation operation, const QUrl &url);
    // The proxy Qt's stack would choose for the address: the manager's own,
    // its factory's, else the application's (the system's when switched on).
    QNetworkProxy proxyFor(const QUrl &url) const;

protected:
    QNetworkReply *createRequest(Operation operation, const QNetworkRequest &request,
                                 QIODevice *outgoingData) override;

private:
    std::shared_ptr<CurlMulti> m_multi;
};
