#include "wndfloatingbutton.h"

#include "trayactions.h"
#include "wndtray.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QPushButton>
#include <QScreen>

namespace {
const char kTitle[] = "SnaplarkFloatingButton";
constexpr int kSide = 56;
constexpr int kMargin = 24;
} // namespace

WndFloatingButton::WndFloatingButton(const TrayActions &actions, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setWindowTitle(QLatin1String(kTitle));
    setObjectName(QStringLiteral("WndFloatingButton"));
    auto *button = new QPushButton(this);
    button->setObjectName(QStringLiteral("btnCapture"));
    button->setToolTip(QStringLiteral("Capture"));
    button->setIcon(WndTray::programIcon());
    button->setIconSize(QSize(kSide - 12, kSide - 12));
    button->setFlat(true);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(button);
    setFixedSize(kSide, kSide);
    connect(button, &QPushButton::clicked, this, [&actions] { actions.capture(); });
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(placeIn(screen->availableGeometry(), size()));
}

QPoint WndFloatingButton::placeIn(const QRect &workArea, const QSize &size)
{
    return workArea.bottomRight() - QPoint(size.width() + kMargin - 1, size.height() + kMargin - 1);
}
