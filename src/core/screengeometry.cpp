#include "core/screengeometry.h"

#include "core/screengrabber.h"

#include <QDebug>
#include <QGuiApplication>
#include <QScreen>

#include <cmath>

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

int edgeToDevice(int edge, int origin, qreal scale)
{
    // Half up everywhere (qRound would turn -0.5 away from zero): the same
    // rounding on either side of the origin.
    return origin + int(std::floor((edge - origin) * scale + 0.5));
}

int edgeFromDevice(int edge, int origin, qreal scale)
{
    if (scale <= 0)
        return edge;
    // The estimate is off by at most one either way (rounding, floating error).
    int logical = origin + int(std::floor((edge - origin) / scale));
    while (edgeToDevice(logical, origin, scale) > edge)
        --logical;
    while (edgeToDevice(logical + 1, origin, scale) <= edge)
        ++logical;
    return logical;
}

QRect deviceGeometry(const Screen &screen)
{
    const QRect g = screen.geometry;
    return QRect(g.topLeft(), QPoint(edgeToDevice(g.left() + g.width(), g.left(), screen.scale) - 1,
                                     edgeToDevice(g.top() + g.height(), g.top(), screen.scale) - 1));
}

QRect deviceDesktopRect(const Layout &layout)
{
    QRect rect;
    if (layout.primary >= 0 && layout.primary < layout.screens.size())
        rect = deviceGeometry(layout.screens.at(layout.primary));
    for (const Screen &screen : layout.screens)
        rect = rect.united(deviceGeometry(screen));
    return rect;
}

QVector<ScreenPart> screenParts(const Layout &layout)
{
    const QPoint logicalOrigin = virtualDesktopRect(layout).topLeft();
    const QPoint deviceOrigin = deviceDesktopRect(layout).topLeft();
    QVector<ScreenPart> parts;
    for (const Screen &screen : layout.screens)
        parts.append({screen.geometry.translated(-logicalOrigin), deviceGeometry(screen).translated(-deviceOrigin),
                      screen.scale});
    return parts;
}

namespace {

// The screen that holds most of the rectangle, or the primary; `side` says
// whether the rectangle is in logical or in device pixels.
ScreenPart partFor(const Layout &layout, const QRect &rect, QRect ScreenPart::*side = &ScreenPart::logical)
{
    const QVector<ScreenPart> parts = screenParts(layout);
    if (parts.isEmpty())
        return {};
    int best = qBound(0, layout.primary, parts.size() - 1);
    qint64 bestArea = 0;
    for (int i = 0; i < parts.size(); ++i) {
        const QRect common = (parts[i].*side).intersected(rect);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > bestArea) {
            best = i;
            bestArea = area;
        }
    }
    return parts[best];
}

int axisToDevice(int edge, int logicalOrigin, int deviceOrigin, qreal scale)
{
    return deviceOrigin + edgeToDevice(edge - logicalOrigin, 0, scale);
}

} // namespace

QRect toDevice(const ScreenPart &part, const QRect &rect)
{
    const QPoint lo = part.logical.topLeft(), d = part.device.topLeft();
    // Right and bottom as the edges after the last pixel, mapped like the others.
    const int left = axisToDevice(rect.left(), lo.x(), d.x(), part.scale);
    const int top = axisToDevice(rect.top(), lo.y(), d.y(), part.scale);
    const int right = axisToDevice(rect.left() + rect.width(), lo.x(), d.x(), part.scale);
    const int bottom = axisToDevice(rect.top() + rect.height(), lo.y(), d.y(), part.scale);
    return QRect(left, top, right - left, bottom - top);
}

QRect toDevice(const Layout &layout, const QRect &rect)
{
    return toDevice(partFor(layout, rect), rect);
}

QPoint toDevice(const Layout &layout, const QPoint &point)
{
    const ScreenPart part = partFor(layout, QRect(point, QSize(1, 1)));
    return QPoint(axisToDevice(point.x(), part.logical.left(), part.device.left(), part.scale),
                  axisToDevice(point.y(), part.logical.top(), part.device.top(), part.scale));
}

QRect fromDevice(const Layout &layout, const QRect &rect)
{
    if (layout.screens.isEmpty())
        return rect;
    const ScreenPart part = partFor(layout, rect, &ScreenPart::device);
    const auto back = [&](int edge, int deviceOrigin, int logicalOrigin) {
        return logicalOrigin + edgeFromDevice(edge - deviceOrigin, 0, part.scale);
    };
    const int left = back(rect.left(), part.device.left(), part.logical.left());
    const int top = back(rect.top(), part.device.top(), part.logical.top());
    // the last logical pixel that reaches into the rectangle
    int right = back(rect.left() + rect.width(), part.device.left(), part.logical.left());
    if (axisToDevice(right, part.logical.left(), part.device.left(), part.scale) < rect.left() + rect.width())
        ++right;
    int bottom = back(rect.top() + rect.height(), part.device.top(), part.logical.top());
    if (axisToDevice(bottom, part.logical.top(), part.device.top(), part.scale) < rect.top() + rect.height())
        ++bottom;
    return QRect(left, top, right - left, bottom - top);
}

QRegion repaintCovering(const QRegion &changed, qreal scale)
{
    if (scale == std::floor(scale))
        return changed;
    // One logical pixel more on every side: Qt's rounding is off by less than
    // a device pixel, and the pixels added have not changed.
    QRegion grown;
    for (const QRect &rect : changed)
        grown += rect.adjusted(-1, -1, 1, 1);
    return grown;
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
        // Qt keeps the native size to itself; the logical one scaled back
        // gives it for every size that divides by the factor.
        layout.screens.append({screen->geometry(), screen->availableGeometry(), screen->devicePixelRatio()});
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

QPixmap grab(const Layout &layout)
{
    logRect("Virtual screen bounds: %1,%2,%3,%4", virtualDesktopRect(layout));
    const QPixmap pixmap = ScreenGrabber::grab(deviceDesktopRect(layout));
    qDebug().noquote() << QStringLiteral("Pixmap size: %1x%2").arg(pixmap.width()).arg(pixmap.height());
    return pixmap;
}

void sendEarlyGrab()
{
    ScreenGrabber::sendEarly(deviceDesktopRect(currentLayout()));
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
