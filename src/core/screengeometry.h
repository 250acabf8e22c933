#pragma once

#include <QPixmap>
#include <QRect>
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
    QRect geometry;  // full rectangle, desktop coordinates
    QRect available; // without panels and taskbars, desktop coordinates
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

// The whole virtual desktop as one pixmap; logs "Pixmap size: WxH".
QPixmap grab();
// Starts the next grab() ahead of time, without a log line: the server copies
// the screens while the caller goes on.
void sendEarlyGrab();

// Writes a debug line whose %1 to %4 are the rectangle's left, top, right and
// bottom, the form of every rectangle in the log.
void logRect(const char *text, const QRect &rect);

} // namespace ScreenGeometry
