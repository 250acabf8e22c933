#include "recorders/capturedialoglogic.h"

#include <algorithm>

namespace CaptureDialogLogic {

namespace {

// Free room the panel needs below or above the region, and beside it.
constexpr int roomAboveOrBelow = 60;
constexpr int roomBeside = 115;
// A panel beside the region is at least one button wide.
constexpr int columnWidth = 110;
// Beside the region on the left the panel keeps clear of the ring.
constexpr int gapOnTheLeft = 6;

// Moves a rectangle into an area; where it is larger, its top-left stays inside.
QRect keptInside(QRect rect, const QRect &area)
{
    rect.moveRight(std::min(rect.right(), area.right()));
    rect.moveLeft(std::max(rect.left(), area.left()));
    rect.moveBottom(std::min(rect.bottom(), area.bottom()));
    rect.moveTop(std::max(rect.top(), area.top()));
    return rect;
}

QRect panelArea(const QRect &region, const ScreenGeometry::Layout &layout)
{
    for (const QRect &area : ScreenGeometry::screenRects(layout, true, true)) {
        if (area.contains(region))
            return area;
    }
    return ScreenGeometry::virtualDesktopRect(layout);
}

PanelSide panelSide(const QRect &region, const QRect &area)
{
    if (region.bottom() + roomAboveOrBelow < area.bottom())
        return PanelSide::Below;
    if (region.top() - roomAboveOrBelow > area.top())
        return PanelSide::Above;
    if (region.right() + roomBeside < area.right())
        return PanelSide::Right;
    return PanelSide::Left;
}

QRect panelRect(PanelSide side, const QRect &region, const QSize &sizeHint, const QRect &area)
{
    // a column is as wide as a button and the panel's margins; a row spans the
    // frame, so the panel lines up with it on both sides
    const int width = panelIsColumn(side) ? columnWidth : ringGeometry(region).width();
    QRect panel(QPoint(0, 0), QSize(std::max(width, sizeHint.width()), sizeHint.height()));
    switch (side) {
    case PanelSide::Below:
        panel.moveTopRight(QPoint(region.right() + ringWidth, region.bottom() + ringWidth));
        break;
    case PanelSide::Above:
        panel.moveBottomRight(QPoint(region.right() + ringWidth, region.top() - ringWidth));
        break;
    case PanelSide::Right:
        panel.moveBottomLeft(QPoint(region.right() + ringWidth, region.bottom() + ringWidth));
        break;
    case PanelSide::Left:
        panel.moveBottomRight(QPoint(region.left() - gapOnTheLeft, region.bottom() + ringWidth));
        break;
    }
    // a region filling its screen leaves no side free: the panel then covers
    // a corner of it rather than leaving the screen with Start and Cancel
    return keptInside(panel, area);
}

} // namespace

QRect regionOnDesktop(const QRect &overlayRegion, const QRect &virtualDesktop)
{
    // both axes: a screen above or left of the primary moves the desktop's origin
    return overlayRegion.translated(virtualDesktop.topLeft());
}

QRect regionInDevicePixels(const ScreenGeometry::Layout &layout, const QRect &region)
{
    const QRect overlay = region.translated(-ScreenGeometry::virtualDesktopRect(layout).topLeft());
    return ScreenGeometry::toDevice(layout, overlay).translated(ScreenGeometry::deviceDesktopRect(layout).topLeft());
}

QRect ringGeometry(const QRect &region)
{
    return region.adjusted(-ringWidth, -ringWidth, ringWidth, ringWidth);
}

QRegion ringMask(const QRect &region)
{
    const QRect outer(QPoint(0, 0), ringGeometry(region).size());
    return QRegion(outer).subtracted(QRegion(QRect(QPoint(ringWidth, ringWidth), region.size())));
}

bool panelIsColumn(PanelSide side)
{
    return side == PanelSide::Right || side == PanelSide::Left;
}

PanelPlace placePanel(const QRect &region, const ScreenGeometry::Layout &layout,
                      const std::function<QSize(PanelSide)> &sizeHintFor)
{
    const QRect area = panelArea(region, layout);
    PanelPlace place;
    place.side = panelSide(region, area);
    place.rect = panelRect(place.side, region, sizeHintFor(place.side), area);
    return place;
}

Edges edgesAt(const QRect &region, const QPoint &point)
{
    const QRect outer = ringGeometry(region);
    Edges edges;
    if (!outer.contains(point))
        return edges;
    edges.right = point.x() > outer.right() - gripWidth;
    edges.left = !edges.right && point.x() < outer.left() + gripWidth;
    edges.bottom = point.y() > outer.bottom() - gripWidth;
    edges.top = !edges.bottom && point.y() < outer.top() + gripWidth;
    return edges;
}

Qt::CursorShape cursorFor(const Edges &edges)
{
    if ((edges.top && edges.left) || (edges.bottom && edges.right))
        return Qt::SizeFDiagCursor;
    if ((edges.top && edges.right) || (edges.bottom && edges.left))
        return Qt::SizeBDiagCursor;
    if (edges.left || edges.right)
        return Qt::SizeHorCursor;
    if (edges.top || edges.bottom)
        return Qt::SizeVerCursor;
    return Qt::ArrowCursor;
}

QRect dragEdges(const QRect &pressed, const Edges &edges, const QPoint &press, const QPoint &now)
{
    // measured from the press, not step by step, so an edge that was stopped
    // by the opposite one is under the pointer again when the pointer returns
    const QPoint moved = now - press;
    QRect region = pressed;
    if (edges.right)
        region.setRight(std::max(pressed.right() + moved.x(), pressed.left()));
    else if (edges.left)
        region.setLeft(std::min(pressed.left() + moved.x(), pressed.right()));
    if (edges.bottom)
        region.setBottom(std::max(pressed.bottom() + moved.y(), pressed.top()));
    else if (edges.top)
        region.setTop(std::min(pressed.top() + moved.y(), pressed.bottom()));
    return region;
}

} // namespace CaptureDialogLogic
