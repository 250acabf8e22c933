#include "wndtray.h"

#include "trayactions.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QIcon>
#include <QMenu>
#include <QSystemTrayIcon>

namespace {
const char kTitle[] = "SnaplarkTrayIcon";
}

QIcon WndTray::programIcon()
{
    return QIcon::fromTheme(QStringLiteral("snaplark"), QIcon(QStringLiteral(":/resources/app.ico")));
}

WndTray::WndTray(const TrayActions &actions, QWidget *parent)
    : QWidget(parent)
    , m_actions(actions)
{
    setWindowTitle(QLatin1String(kTitle));
    // the window exists on the display, titled, without ever being shown
    winId();

    m_menu = new QMenu(this);
    m_menu->addAction(QStringLiteral("Capture"), this, [this] { m_actions.capture(); });
    m_menu->addAction(QStringLiteral("Settings"), this, [this] { m_actions.openSettings(); });
    m_menu->addAction(QStringLiteral("Open captures folder"), this, [this] { m_actions.openCapturesFolder(); });
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("Quit"), qApp, &QCoreApplication::quit);

    m_icon = new QSystemTrayIcon(programIcon(), this);
    m_icon->setToolTip(QStringLiteral("Snaplark"));
    m_icon->setContextMenu(m_menu);
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            m_actions.capture();
    });
    // shown even without a tray yet: Qt puts it there when one appears
    m_icon->show();
}

void WndTray::notify(const QString &message)
{
    qDebug().noquote() << message;
    if (QSystemTrayIcon::isSystemTrayAvailable() && QSystemTrayIcon::supportsMessages())
        m_icon->showMessage(QStringLiteral("Snaplark"), message, QSystemTrayIcon::Warning);
}

void WndTray::closeEvent(QCloseEvent *event)
{
    event->accept();
    qDebug().noquote() << QStringLiteral("Tray program closed");
    QCoreApplication::quit();
}
