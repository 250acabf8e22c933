#include "upload/bannerpage.h"

#include <QNetworkRequest>
#include <QWebFrame>

BannerPage::BannerPage(QObject *parent)
    : QWebPage(parent)
{
}

bool BannerPage::acceptNavigationRequest(QWebFrame *frame, const QNetworkRequest &request, NavigationType type)
{
    if (frame) {
        frame->setScrollBarPolicy(Qt::Vertical, Qt::ScrollBarAlwaysOff);
        frame->setScrollBarPolicy(Qt::Horizontal, Qt::ScrollBarAlwaysOff);
    }
    if (type == NavigationTypeOther)
        return true;
    emit urlClick(request.url());
    return false;
}

QWebPage *BannerPage::createWindow(WebWindowType)
{
    // Whatever the new window would load is a click on the banner too.
    auto *page = new BannerPage(this);
    connect(page, &BannerPage::urlClick, this, &BannerPage::urlClick);
    return page;
}
