#pragma once

#include <QPixmap>
#include <QRect>
#include <QRegion>
#include <QVector>

#include <optional>

// Screen rectangles in two systems: desktop coordinates (as the window system
// reports them) and overlay coordinates (the virtual desktop moved so that its
// top-left corner is (0, 0)).  Rectangles are inclusive: width = right - left + 1.
//
// The pure functions work on an injected layout so unusual arrangements (a
// screen at negative x, mixed sizes) can be tested anywhere; the live ones read
// the screens from Qt and write the log lines.
namespace ScreenGeometry {

struct Screen
{
    QRect geometry;    // full rectangle, desktop coordinates
    QRect available;   // without panels and taskbars, desktop coordinates
    qreal scale = 1.0; // device pixels per logical pixel
};

struct Layout
{
    QVector<Screen> screens; // in the window system's order
    int primary = 0;         // index of the primary screen
};

// Pure functions over a layout.
QRect virtualDesktopRect(const Layout &layout);
QRect primaryScreenRect(const Layout &layout);
QRect primaryScreenInOverlay(const Layout &layout);
QVector<QRect> screenRects(const Layout &layout, bool availableAreas, bool desktopCoordinates);
QRect fullRect(const Layout &layout);

// Logical and device pixels.  Qt gives every rectangle in logical pixels; the
// screens themselves, and so the grab and every saved picture, have device
// pixels.  A screen keeps its top-left corner in both systems and scales its
// size by its own factor (screens may have different factors).  Device
// overlay coordinates are the device desktop moved to (0, 0).

// A logical edge (the line before pixel `edge`) in device pixels on a screen
// starting at `origin` in both systems.  Every edge of a rectangle goes
// through this one rounding, so neighbouring selections neither overlap nor
// leave a gap, and a selection's size follows from its edges alone.
int edgeToDevice(int edge, int origin, qreal scale);
// The last logical edge at or before a device edge.
int edgeFromDevice(int edge, int origin, qreal scale);

// A screen's rectangle in device pixels, desktop coordinates.
QRect deviceGeometry(const Screen &screen);
// The bounding rectangle of every screen in device pixels, desktop coordinates.
QRect deviceDesktopRect(const Layout &layout);

// One screen in both systems, overlay coordinates.
struct ScreenPart
{
    QRect logical;
    QRect device;
    qreal scale = 1.0;
};
QVector<ScreenPart> screenParts(const Layout &layout);
// A logical overlay rectangle in device overlay pixels with one screen's factor.
QRect toDevice(const ScreenPart &part, const QRect &rect);

// A logical overlay rectangle in device overlay pixels, mapped on the screen
// holding most of it (the primary when it lies on none).
QRect toDevice(const Layout &layout, const QRect &rect);
// A logical overlay point (a corner between pixels) in device overlay pixels.
QPoint toDevice(const Layout &layout, const QPoint &point);
// The smallest logical overlay rectangle covering a device overlay rectangle.
QRect fromDevice(const Layout &layout, const QRect &rect);

// The region to repaint so that every device pixel of `changed` is repainted:
// Qt turns a logical region into device pixels rounding position and size
// apart, which at a fractional scale can leave out a pixel at the edge that a
// changed logical pixel reaches.  Unchanged at whole-number scales.
QRegion repaintCovering(const QRegion &changed, qreal scale);

// The live layout of this display.
Layout currentLayout();

// Makes the live functions use `layout` instead of the display's, so tests
// can plant an arrangement the test display does not have; nothing restores
// the display's.
void setLayoutForTesting(std::optional<Layout> layout);

// Live versions; each writes its log line.
QRect virtualDesktopRect();
QRect primaryScreenRect();
QRect primaryScreenInOverlay();
QVector<QRect> screenRects(bool availableAreas, bool desktopCoordinates);
QRect fullRect();

// The whole virtual desktop in device pixels (deviceDesktopRect of `layout`)
// as one pixmap; logs "Pixmap size: WxH".
QPixmap grab(const Layout &layout);
// Starts the next grab(layout) ahead of time, without a log line: the server copies
// the screens while the caller goes on.
void sendEarlyGrab();

// Writes a debug line whose %1 to %4 are the rectangle's left, top, right and
// bottom, the form of every rectangle in the log.
void logRect(const char *text, const QRect &rect);

} // namespace ScreenGeometry
