#pragma once

#include "editor/annotationitems.h"

#include <QPoint>
#include <QRect>
#include <QRegion>
#include <Qt>

#include <optional>

// The screenshot editor's selection geometry as plain functions.  The
// selection S is the capture request rectangle; the frame F is S grown by
// 2 pixels on every side, on which the dashed outline and its handles are
// drawn and whose edges are the resize grips.  Window coordinates.
namespace SelectionLogic {

QRect frameOf(const QRect &selection);

struct Edges
{
    bool right = false;
    bool left = false;
    bool top = false;
    bool bottom = false;
    bool any() const { return right || left || top || bottom; }
};

// The edges a press at `pos` grabs.  Each edge's grip is a 4-pixel band
// straddling the selection's edge (2 pixels outside, 2 inside); right wins
// over left and bottom over top, so a corner grabs two edges and a tiny
// selection still only one per axis.
Edges grabbedEdges(const QRect &frame, const QPoint &pos);

// The cursor for a mouse position; nullopt leaves the cursor as it is.
// `busy` is set while moving, resizing or drawing.
std::optional<Qt::CursorShape> cursorFor(const QRect &selection, const QPoint &pos, EditorTool tool, bool busy);

// One step of resizing the grabbed edges by the mouse's travel from
// `previous` to `current`.  An edge dragged past the opposite one pins the
// selection: 1 pixel wide (high) for the right (bottom) edge, 2 for the left
// (top) edge; the selection is never inverted.
QRect resizeSelection(const QRect &selection, const Edges &edges, const QPoint &previous, const QPoint &current);

// One step of moving the selection by `delta`, kept inside `desktop`; an
// edge that would reach the desktop's edge within one more such step snaps
// flush to it.
QRect moveSelection(const QRect &selection, const QPoint &delta, const QRect &desktop);

// What must be repainted when the selection changes from `before` to
// `after`: the area that changed brightness and both frames with their
// handles.
QRegion selectionChange(const QRect &before, const QRect &after);

// The longest text that fits between the click and the selection's right
// edge at 9 pixels per character.
int textMaxLength(const QRect &selection, const QPoint &click);

} // namespace SelectionLogic
