#include "upload/replyparsepage.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QWebFrame>
#include <QWebSettings>

namespace {

// Answers every request with a failure: nothing a reply body names is fetched.
class RefusingNetworkAccessManager : public QNetworkAccessManager
{
public:
    using QNetworkAccessManager::QNetworkAccessManager;

protected:
    QNetworkReply *createRequest(Operation operation, const QNetworkRequest &, QIODevice *) override
    {
        // A request without an address fails at once with "protocol unknown".
        return QNetworkAccessManager::createRequest(operation, QNetworkRequest(), nullptr);
    }
};

} // namespace

ReplyParsePage::ReplyParsePage(QObject *parent)
    : QWebPage(parent)
{
    setNetworkAccessManager(new RefusingNetworkAccessManager(this));
    QWebSettings *s = settings();
    s->setAttribute(QWebSettings::JavascriptEnabled, false);
    s->setAttribute(QWebSettings::PluginsEnabled, false);
    s->setAttribute(QWebSettings::JavaEnabled, false);
    s->setAttribute(QWebSettings::AutoLoadImages, false);
    s->setAttribute(QWebSettings::DnsPrefetchEnabled, false);
    s->setAttribute(QWebSettings::LocalContentCanAccessRemoteUrls, false);
    s->setAttribute(QWebSettings::PrivateBrowsingEnabled, true);
}

QString ReplyParsePage::plainText(const QByteArray &body)
{
    // No MIME type and no base address: the body is read as an HTML document.
    mainFrame()->setContent(body, QString(), QUrl());
    return mainFrame()->toPlainText();
}
