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

// A selection this small is a click and captures nothing.
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

} // namespace OverlayLogic
