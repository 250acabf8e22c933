#include "upload/uploadnetworkmanager.h"

#include "upload/curlmulti.h"
#include "upload/curluploadreply.h"

#include <QNetworkProxyFactory>

UploadNetworkManager::UploadNetworkManager(QObject *parent)
    : QNetworkAccessManager(parent)
{
}

UploadNetworkManager::~UploadNetworkManager() = default;

bool UploadNetworkManager::sendsItself(Operation operation, const QUrl &url)
{
    if (operation != PutOperation && operation != PostOperation)
        return false;
    const QString scheme = url.scheme().toLower();
    return (scheme == QLatin1String("http") || scheme == QLatin1String("https")) && !url.host().isEmpty();
}

QNetworkProxy UploadNetworkManager::proxyFor(const QUrl &url) const
{
    const QNetworkProxyQuery query(url);
    QList<QNetworkProxy> proxies;
    if (proxyFactory())
        proxies = proxyFactory()->queryProxy(query);
    else if (proxy().type() != QNetworkProxy::DefaultProxy)
        proxies << proxy();
    else
        proxies = QNetworkProxyFactory::proxyForQuery(query);
    return proxies.value(0, QNetworkProxy(QNetworkProxy::NoProxy));
}

QNetworkReply *UploadNetworkManager::createRequest(Operation operation, const QNetworkRequest &request,
                                                   QIODevice *outgoingData)
{
    if (!outgoingData || !sendsItself(operation, request.url()))
        return QNetworkAccessManager::createRequest(operation, request, outgoingData);
    if (!m_multi)
        m_multi = CurlMulti::create();
    return new CurlUploadReply(operation, request, outgoingData, proxyFor(request.url()), m_multi, this);
}
