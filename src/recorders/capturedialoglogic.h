#pragma once

#include "core/screengeometry.h"

#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QVector>
#include <Qt>

#include <functional>

// The capture dialog's geometry as plain functions: where the ring and the
// floating panel go, and how dragging the ring's edges changes the region.
// Rectangles are global (desktop) coordinates in logical pixels, inclusive.
namespace CaptureDialogLogic {

// Width of the frame drawn just outside the region.
constexpr int ringWidth = 2;
// Thickness of the strips along the frame's outer edge that pick up an edge.
constexpr int gripWidth = 4;

// The overlay's region (virtual desktop moved to (0, 0)) on the desktop.
QRect regionOnDesktop(const QRect &overlayRegion, const QRect &virtualDesktop);
// The region as the window system counts it: device pixels, desktop
// coordinates; what a grab of the region takes.
QRect regionInDevicePixels(const ScreenGeometry::Layout &layout, const QRect &region);

// The ring window: the region grown by the ring on every side.
QRect ringGeometry(const QRect &region);
// The ring window's shape in its own coordinates: only the ring, so clicks
// inside the region reach the application below.
QRegion ringMask(const QRect &region);

enum class PanelSide { Below, Above, Right, Left };

// Beside the region the panel is a column; above and below it is a row.
bool panelIsColumn(PanelSide side);

struct PanelPlace
{
    PanelSide side = PanelSide::Below;
    QRect rect;
};
// Where the panel goes for a region on the screens of a layout: on the first
// side, in the order below, above, right, left, with room on the first work
// area holding the whole region (else the virtual desktop), and kept inside
// that area where no side has room, so its buttons stay reachable.
// sizeHintFor gives the panel's size hint once laid out for a side.
PanelPlace placePanel(const QRect &region, const ScreenGeometry::Layout &layout,
                      const std::function<QSize(PanelSide)> &sizeHintFor);

// The region's edges a press at a point takes hold of.  Where strips overlap
// (a tiny region) the right edge wins over the left, the bottom over the top.
struct Edges
{
    bool left = false;
    bool right = false;
    bool top = false;
    bool bottom = false;

    bool any() const { return left || right || top || bottom; }
    bool operator==(const Edges &other) const
    {
        return left == other.left && right == other.right && top == other.top && bottom == other.bottom;
    }
};
Edges edgesAt(const QRect &region, const QPoint &point);
Qt::CursorShape cursorFor(const Edges &edges);

// The region after the held edges followed the pointer from press to now,
// starting from the region at the press.  An edge dragged past the opposite
// one stops there, leaving one pixel, and follows the pointer again on return.
QRect dragEdges(const QRect &pressed, const Edges &edges, const QPoint &press, const QPoint &now);

} // namespace CaptureDialogLogic
