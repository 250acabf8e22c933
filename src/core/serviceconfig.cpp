#include "core/serviceconfig.h"

#include <QtGlobal>

namespace ServiceConfig {

QUrl baseUrl()
{
    QString text = qEnvironmentVariable("SNAPLARK_SERVICE_URL").trimmed();
    QUrl url(text, QUrl::StrictMode);
    if (text.isEmpty() || !url.isValid() || url.host().isEmpty())
        url = QUrl(QStringLiteral(SNAPLARK_DEFAULT_SERVICE_URL));
    if (!url.path().endsWith(QLatin1Char('/')))
        url.setPath(url.path() + QLatin1Char('/'));
    return url;
}

QString host()
{
    const QUrl url = baseUrl();
    const int port = url.port(80);
    if (port == 80)
        return url.host();
    return QStringLiteral("%1:%2").arg(url.host()).arg(port);
}

QUrl url(const QString &pathAndQuery)
{
    const QUrl base = baseUrl();
    QString relative = pathAndQuery;
    while (relative.startsWith(QLatin1Char('/')))
        relative.remove(0, 1);
    return base.resolved(QUrl(relative));
}

} // namespace ServiceConfig
