#include "upload/uploadnetworkmanager.h"

#include "upload/httpuploadreply.h"

#include <QNetworkProxyFactory>

UploadNetworkManager::UploadNetworkManager(QObject *parent)
    : QNetworkAccessManager(parent)
{
}

bool UploadNetworkManager::sendsItself(Operation operation, const QUrl &url)
{
    if (operation != PutOperation && operation != PostOperation)
        return false;
    if (url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) != 0 || url.host().isEmpty())
        return false;
    const QList<QNetworkProxy> proxies = QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(url));
    return proxies.isEmpty() || proxies.first().type() == QNetworkProxy::NoProxy;
}

QNetworkReply *UploadNetworkManager::createRequest(Operation operation, const QNetworkRequest &request,
                                                   QIODevice *outgoingData)
{
    if (!outgoingData || !sendsItself(operation, request.url()) || proxy().type() != QNetworkProxy::DefaultProxy)
        return QNetworkAccessManager::createRequest(operation, request, outgoingData);
    auto *reply = new HttpUploadReply(operation, request, outgoingData, this);
    return reply;
}
