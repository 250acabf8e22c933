#pragma once

#include <QUrl>
#include <QWebPage>

// The banner's page.  It never leaves the banner: anything the user follows
// (a link, a form, a new window) is reported as urlClick and refused; loads
// the program starts, redirects and scripts go ahead.
class BannerPage : public QWebPage
{
    Q_OBJECT
public:
    explicit BannerPage(QObject *parent = nullptr);

signals:
    void urlClick(const QUrl &url);

protected:
    bool acceptNavigationRequest(QWebFrame *frame, const QNetworkRequest &request, NavigationType type) override;
    QWebPage *createWindow(WebWindowType type) override;
};
