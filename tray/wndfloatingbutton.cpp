#include "wndfloatingbutton.h"

#include "trayactions.h"
#include "wndtray.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

namespace {
const char kTitle[] = "SnaplarkFloatingButton";
constexpr int kSide = 56;
constexpr int kMargin = 24;
constexpr int kIconInset = 6;
} // namespace

WndFloatingButton::WndFloatingButton(const TrayActions &actions, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_actions(actions)
    , m_icon(WndTray::programIcon())
{
    setWindowTitle(QLatin1String(kTitle));
    setObjectName(QStringLiteral("WndFloatingButton"));
    setToolTip(QStringLiteral("Capture"));
    setCursor(Qt::PointingHandCursor);
    setFixedSize(kSide, kSide);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(placeIn(screen->availableGeometry(), size()));
}

QPoint WndFloatingButton::placeIn(const QRect &workArea, const QSize &size)
{
    return workArea.bottomRight() - QPoint(size.width() + kMargin - 1, size.height() + kMargin - 1);
}

void WndFloatingButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    m_icon.paint(&painter, rect().adjusted(kIconInset, kIconInset, -kIconInset, -kIconInset));
}

void WndFloatingButton::mousePressEvent(QMouseEvent *event)
{
    m_dragger.press(event);
    m_pressedAt = event->globalPos();
    m_moved = false;
}

void WndFloatingButton::mouseMoveEvent(QMouseEvent *event)
{
    // a shaking hand is still a click
    if (!m_moved && (event->globalPos() - m_pressedAt).manhattanLength() < QApplication::startDragDistance())
        return;
    m_moved = m_dragger.isDragging();
    move(m_dragger.moved(event, pos()));
}

void WndFloatingButton::mouseReleaseEvent(QMouseEvent *event)
{
    const bool click = m_dragger.isDragging() && !m_moved && rect().contains(event->pos());
    m_dragger.release(event);
    if (click)
        m_actions.capture();
}
