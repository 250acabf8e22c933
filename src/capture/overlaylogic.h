#pragma once

#include <QColor>
#include <QPixmap>
#include <QPoint>
#include <QRect>
#include <QRegion>
#include <QString>
#include <QVector>

// The overlay's geometry and texts as plain functions of their inputs.
// Coordinates are overlay coordinates.
namespace OverlayLogic {

// The rectangle between the press point and the cursor; width and height are
// the distances, so a press and release at one point gives 0 x 0.
QRect selectionRect(const QPoint &press, const QPoint &cursor);

// A selection this small is a click and captures nothing; so is one with
// no width or no height (a straight drag), which holds no pixel.
bool isClick(const QRect &selection);

// The colour of the pixel the hint names for a cursor point, "#RRGGBB"; black
// outside the grab.
QString colorText(const QPixmap &grab, const QPoint &cursor);

// "X:%1, Y:%2 | %3", or with the dragged area while dragging.
QString hintText(const QPoint &cursor, const QPoint &press, bool dragging, const QString &color);

// A window that covers a whole screen work area (a maximised window whose
// frame reaches beyond the screen) is cut to that area.
QRect cutToWorkAreas(const QRect &window, const QVector<QRect> &workAreas);

// What must be repainted when a drag changes the selection from `before` to
// `after`: the area that changed brightness and both dashed frames.
QRegion selectionChange(const QRect &before, const QRect &after);

// Where the mode captions go: each centred under its button (the centres,
// left to right), moved inward where the frame's edge is nearer, and kept
// `gap` pixels clear of the midpoints between neighbouring buttons so that
// neighbouring captions never touch.  Returns the captions' left edges, or
// nothing when one of the widths does not fit its room.
QVector<int> captionLefts(const QVector<int> &centres, const QVector<int> &widths, int frameWidth, int gap);

} // namespace OverlayLogic
