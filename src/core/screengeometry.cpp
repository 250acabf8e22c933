#include "core/screengeometry.h"

#include "core/screengrabber.h"

#include <QDebug>
#include <QGuiApplication>
#include <QScreen>

namespace ScreenGeometry {

QRect virtualDesktopRect(const Layout &layout)
{
    QRect rect = primaryScreenRect(layout);
    for (const Screen &screen : layout.screens)
        rect = rect.united(screen.geometry);
    return rect;
}

QRect primaryScreenRect(const Layout &layout)
{
    if (layout.primary < 0 || layout.primary >= layout.screens.size())
        return QRect();
    return layout.screens.at(layout.primary).geometry;
}

QRect primaryScreenInOverlay(const Layout &layout)
{
    return primaryScreenRect(layout).translated(-virtualDesktopRect(layout).topLeft());
}

QVector<QRect> screenRects(const Layout &layout, bool availableAreas, bool desktopCoordinates)
{
    const QPoint offset = desktopCoordinates ? QPoint() : -virtualDesktopRect(layout).topLeft();
    QVector<QRect> rects;
    rects.reserve(layout.screens.size());
    for (const Screen &screen : layout.screens)
        rects.append((availableAreas ? screen.available : screen.geometry).translated(offset));
    return rects;
}

QRect fullRect(const Layout &layout)
{
    const QRect desktop = virtualDesktopRect(layout);
    return desktop.isNull() ? QRect() : QRect(QPoint(0, 0), desktop.size());
}

namespace {
std::optional<Layout> &plantedLayout()
{
    static std::optional<Layout> layout;
    return layout;
}
} // namespace

void setLayoutForTesting(std::optional<Layout> layout)
{
    plantedLayout() = std::move(layout);
}

Layout currentLayout()
{
    if (plantedLayout())
        return *plantedLayout();
    Layout layout;
    const QList<QScreen *> screens = QGuiApplication::screens();
    for (QScreen *screen : screens)
        layout.screens.append({screen->geometry(), screen->availableGeometry()});
    layout.primary = qMax(0, screens.indexOf(QGuiApplication::primaryScreen()));
    return layout;
}

QRect virtualDesktopRect()
{
    const QRect rect = virtualDesktopRect(currentLayout());
    logRect("Virtual screen bounds: %1,%2,%3,%4", rect);
    return rect;
}

QRect primaryScreenRect()
{
    const QRect rect = primaryScreenRect(currentLayout());
    logRect("Primary screen bounds: %1,%2,%3,%4", rect);
    return rect;
}

QRect primaryScreenInOverlay()
{
    const QRect rect = primaryScreenInOverlay(currentLayout());
    logRect("Primary screen on virtual desktop bounds: %1,%2,%3,%4", rect);
    return rect;
}

QVector<QRect> screenRects(bool availableAreas, bool desktopCoordinates)
{
    const QVector<QRect> rects = screenRects(currentLayout(), availableAreas, desktopCoordinates);
    for (const QRect &rect : rects)
        logRect("Available geometry bounds: %1,%2,%3,%4", rect);
    return rects;
}

QRect fullRect()
{
    return fullRect(currentLayout());
}

QPixmap grab()
{
    const QPixmap pixmap = ScreenGrabber::grab(virtualDesktopRect());
    qDebug().noquote() << QStringLiteral("Pixmap size: %1x%2").arg(pixmap.width()).arg(pixmap.height());
    return pixmap;
}

void sendEarlyGrab()
{
    ScreenGrabber::sendEarly(virtualDesktopRect(currentLayout()));
}

void logRect(const char *text, const QRect &rect)
{
    qDebug().noquote() << QString::fromLatin1(text)
                              .arg(rect.left())
                              .arg(rect.top())
                              .arg(rect.right())
                              .arg(rect.bottom());
}

} // namespace ScreenGeometry
