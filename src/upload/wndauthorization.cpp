#include "upload/wndauthorization.h"

#include "core/appcontrol.h"
#include "core/serviceconfig.h"
#include "platform/platform.h"
#include "settings/settings.h"
#include "ui/basedialog.h"

#include <QApplication>
#include <QDebug>
#include <QLineEdit>
#include <QPointer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWebFrame>
#include <QWebPage>
#include <QWebView>

namespace {

// A window opened from an always-on-top dialog (the login box, the settings)
// must be on top as well, or that dialog covers the middle of the login page.
Qt::WindowFlags windowFlagsFor(const QWidget *parent)
{
    if (parent && parent->window()->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
        return Qt::Window | Qt::WindowStaysOnTopHint;
    return Qt::Window;
}

// Only the service's own pages may log the user in: a page on another host,
// reached through a link, must not hand the program a token of its choosing.
bool isServicePage(const QUrl &page)
{
    const QUrl service = ServiceConfig::baseUrl();
    const int defaultPort = service.scheme() == QLatin1String("https") ? 443 : 80;
    return page.scheme() == service.scheme() && page.host() == service.host()
        && page.port(defaultPort) == service.port(defaultPort);
}

} // namespace

WndAuthorization::WndAuthorization(QWidget *parent)
    : QDialog(parent, windowFlagsFor(parent))
{
    // Only the skinned dialogs end the run when they close.
    setAttribute(Qt::WA_QuitOnClose, false);

    m_view = new QWebView(this);
    m_view->setPage(new QWebPage(m_view));
    if (Platform::systemProxyEnabled())
        connect(m_view, &QWebView::loadStarted, this, &WndAuthorization::onLoadStarted);
    connect(m_view, &QWebView::loadFinished, this, &WndAuthorization::onLoadFinished);
    connect(m_view, &QWebView::titleChanged, this, &WndAuthorization::adjustTitle);

    m_location = new QLineEdit(this);
    m_location->setReadOnly(true);
    m_location->setSizePolicy(QSizePolicy::Expanding, m_location->sizePolicy().verticalPolicy());
    connect(m_location, &QLineEdit::returnPressed, this, &WndAuthorization::changeLocation);

    auto *toolBar = new QToolBar(tr("Navigation"), this);
    toolBar->addAction(m_view->pageAction(QWebPage::Back));
    toolBar->addAction(m_view->pageAction(QWebPage::Forward));
    toolBar->addAction(m_view->pageAction(QWebPage::Reload));
    toolBar->addAction(m_view->pageAction(QWebPage::Stop));
    toolBar->addWidget(m_location);

    m_layout = new QVBoxLayout(this);
    m_layout->addWidget(toolBar);
    m_layout->addWidget(m_view);
    m_layout->setContentsMargins(1, 1, 0, 0);

    m_view->load(ServiceConfig::url(QStringLiteral("/netodb/plugin/auth/overlay?client=desktop")));
}

WndAuthorization::~WndAuthorization()
{
    restoreCursor();
}

void WndAuthorization::login(QWidget *parent)
{
    // The window is a child of the caller, which may go away during the
    // modal run and take the window with it.
    QPointer<WndAuthorization> window = new WndAuthorization(parent);
    const QSize size(1000, 700);
    window->setGeometry(QRect(DialogPlacement::onPrimaryScreen(size), size));
    window->setFixedSize(size);
    connect(window.data(), &WndAuthorization::authFinished, window.data(), &QWidget::close);
    AppControl::runModal(window);
    delete window;
}

void WndAuthorization::hideEvent(QHideEvent *event)
{
    // However the window goes (closed, Esc, logged in), the wait cursor goes
    // with it.
    restoreCursor();
    QDialog::hideEvent(event);
}

void WndAuthorization::onLoadFinished(bool ok)
{
    m_location->setText(m_view->url().toString());
    m_location->setCursorPosition(0);
    if (ok) {
        setWindowTitle(m_view->title());
        QWebFrame *frame = m_view->page()->currentFrame();
        frame->setScrollBarPolicy(Qt::Vertical, Qt::ScrollBarAlwaysOff);
        frame->setScrollBarPolicy(Qt::Horizontal, Qt::ScrollBarAlwaysOff);
        const QMultiMap<QString, QString> meta = frame->metaData();
        if (meta.contains(QStringLiteral("AuthId"))) {
            const QUrl page = frame->url();
            if (isServicePage(page)) {
                Settings::setUsername(meta.value(QStringLiteral("Username")));
                Settings::setAuthId(meta.value(QStringLiteral("AuthId")));
                emit authFinished();
            } else {
                qDebug().noquote() << QStringLiteral("AuthId ignored from a page outside the service: %1")
                                          .arg(page.adjusted(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery
                                                             | QUrl::RemoveFragment).toString());
            }
        }
    }
    restoreCursor();
}

void WndAuthorization::onLoadStarted()
{
    // A page may start several loads before one finishes; one wait cursor
    // covers them all.
    if (m_waitCursor)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_waitCursor = true;
}

void WndAuthorization::changeLocation()
{
    m_view->load(QUrl(m_location->text()));
    m_view->setFocus();
}

void WndAuthorization::adjustTitle()
{
    setWindowTitle(m_view->title());
}

void WndAuthorization::restoreCursor()
{
    if (!m_waitCursor)
        return;
    QApplication::restoreOverrideCursor();
    m_waitCursor = false;
}
