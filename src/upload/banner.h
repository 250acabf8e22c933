#pragma once

#include <QObject>
#include <QRect>
#include <QUrl>

class BannerPage;
class CookieJar;
class QNetworkReply;
class QWebView;
class QWidget;

// The service's banner in the capture overlay: a web view that shows
// "/app-banner.html", or the copy of it kept from the last time the service
// answered.  Nothing of the web engine is made before the first load, so
// the overlay comes up without it.  The view stays hidden until a banner has
// loaded.
class Banner : public QObject
{
    Q_OBJECT
public:
    // The view will take `geometry` in `parent`.
    Banner(QWidget *parent, const QRect &geometry);

    // The live banner's address.
    static QUrl address();

    // Null before the first load.
    QWebView *view() const { return m_view; }

    // The view's shape: its rectangle with rounded corners.
    static QRegion roundedMask(const QSize &size);

public slots:
    // Builds the view if need be, then asks the service for the banner.
    void bannerLoad();

signals:
    // The user clicked something in the banner that would leave it.
    void clicked(const QUrl &url);
    // A load has finished: shown tells whether the view is now visible.
    void loaded(bool shown);

private slots:
    void bannerLoadFinished(bool ok);
    void bannerNotLoaded(QNetworkReply *reply);

private:
    void build();
    bool writeOfflineCopy(const QString &html) const;

    QWidget *m_parent;
    QRect m_geometry;
    QWebView *m_view = nullptr;
    BannerPage *m_page = nullptr;
    CookieJar *m_jar = nullptr; // owned by the page's network manager
    // The service answered the banner's address with an error: whatever
    // page came with it is no banner.
    bool m_liveFailed = false;
};
