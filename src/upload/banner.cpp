#include "upload/banner.h"

#include "core/serviceconfig.h"
#include "upload/bannerpage.h"
#include "upload/cookiejar.h"
#include "upload/webstorage.h"

#include <QDebug>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkDiskCache>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegion>
#include <QSaveFile>
#include <QTimer>
#include <QWebFrame>
#include <QWebSettings>
#include <QWebView>

namespace {

constexpr int kCornerSquare = 7;
constexpr int kCornerEllipse = 14;

void loadInto(QWebView *view, const QUrl &url, QNetworkRequest::CacheLoadControl cacheControl)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, cacheControl);
    view->load(request, QNetworkAccessManager::GetOperation, QByteArray());
}

} // namespace

Banner::Banner(QWidget *parent, const QRect &geometry)
    : QObject(parent)
    , m_parent(parent)
    , m_geometry(geometry)
{
}

QUrl Banner::address()
{
    return ServiceConfig::url(QStringLiteral("/app-banner.html"));
}

QRegion Banner::roundedMask(const QSize &size)
{
    const int w = size.width();
    const int h = size.height();
    QRegion mask(0, 0, w, h);
    const QPoint corners[] = {{0, 0}, {w - kCornerSquare, 0}, {0, h - kCornerSquare}, {w - kCornerSquare, h - kCornerSquare}};
    for (const QPoint &corner : corners)
        mask -= QRegion(corner.x(), corner.y(), kCornerSquare, kCornerSquare);
    const QPoint ellipses[] = {{0, 0}, {w - kCornerEllipse, 0}, {0, h - kCornerEllipse}, {w - kCornerEllipse, h - kCornerEllipse}};
    for (const QPoint &corner : ellipses)
        mask += QRegion(corner.x(), corner.y(), kCornerEllipse, kCornerEllipse, QRegion::Ellipse);
    return mask;
}

void Banner::build()
{
    m_view = new QWebView(m_parent);
    m_view->setObjectName(QStringLiteral("wvBanner"));
    m_view->setStyleSheet(QStringLiteral("QWebView#wvBanner{border: none;}"));
    m_view->setGeometry(m_geometry);
    m_view->setMask(roundedMask(m_geometry.size()));
    m_view->setContextMenuPolicy(Qt::NoContextMenu);
    m_view->hide();

    m_page = new BannerPage(m_view);
    // The offline copy is a local file: it may show itself, but neither read
    // the user's other files nor run plugins.
    m_page->settings()->setAttribute(QWebSettings::LocalContentCanAccessFileUrls, false);
    m_page->settings()->setAttribute(QWebSettings::LocalContentCanAccessRemoteUrls, false);
    m_page->settings()->setAttribute(QWebSettings::PluginsEnabled, false);
    m_view->setPage(m_page);

    QNetworkAccessManager *network = m_page->networkAccessManager();
    m_jar = new CookieJar;
    network->setCookieJar(m_jar);
    auto *cache = new QNetworkDiskCache(network);
    cache->setCacheDirectory(WebStorage::cacheDir());
    network->setCache(cache);

    connect(m_view, &QWebView::loadFinished, this, &Banner::bannerLoadFinished);
    connect(m_page, &BannerPage::urlClick, this, &Banner::clicked);
    connect(network, &QNetworkAccessManager::finished, this, &Banner::bannerNotLoaded);
}

void Banner::bannerLoad()
{
    if (!m_view)
        build();
    m_liveFailed = false;
    loadInto(m_view, address(), QNetworkRequest::PreferNetwork);
}

bool Banner::writeOfflineCopy(const QString &html) const
{
    const QString path = WebStorage::offlineBannerPath();
    if (!WebStorage::makePrivateFolder(QFileInfo(path).absolutePath()))
        return false;
    // Replaced whole, so a failed write leaves the last good copy.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = html.toUtf8();
    return file.write(bytes) == bytes.size() && file.commit();
}

void Banner::bannerLoadFinished(bool ok)
{
    if (!ok)
        return;
    // Only the banner itself is copied: not a page it was redirected to, nor
    // the copy being shown.
    if (m_page->mainFrame()->url().toString() == address().toString()) {
        // An error page (404, 500) would replace the last good copy and be
        // shown as the banner.
        if (m_liveFailed)
            return;
        if (!writeOfflineCopy(m_page->mainFrame()->toHtml())) {
            qDebug().noquote() << QStringLiteral("Unable to write the banner copy %1").arg(WebStorage::offlineBannerPath());
            emit loaded(false);
            return;
        }
        m_jar->save();
    }
    m_view->show();
    emit loaded(true);
}

void Banner::bannerNotLoaded(QNetworkReply *reply)
{
    if (reply->url().toString() != address().toString() || reply->error() == QNetworkReply::NoError)
        return;
    m_liveFailed = true;
    const QString copy = WebStorage::offlineBannerPath();
    if (!QFileInfo::exists(copy)) {
        emit loaded(false);
        return;
    }
    // Started once the failed load has been wound up.
    QTimer::singleShot(0, this, [this, copy] {
        loadInto(m_view, QUrl::fromLocalFile(copy), QNetworkRequest::PreferCache);
    });
}
