#pragma once

#include <QNetworkAccessManager>

// The upload's network manager.  Uploads to a plain-HTTP address reached
// without a proxy are sent by HttpUploadReply, which streams the body at the
// speed of the connection; everything else — other requests, HTTPS, proxied
// addresses — goes through Qt's own stack unchanged.  Either way the caller
// sees an ordinary reply and the manager's finished signal.
class UploadNetworkManager : public QNetworkAccessManager
{
    Q_OBJECT
public:
    explicit UploadNetworkManager(QObject *parent = nullptr);

    // Whether a request with a body to that address is sent by our own reply.
    static bool sendsItself(Operation operation, const QUrl &url);

protected:
    QNetworkReply *createRequest(Operation operation, const QNetworkRequest &request,
                                 QIODevice *outgoingData) override;
};
