#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Where a floating tool frame (the overlay's and the editors') sits on the
// primary screen, in the coordinates of the frame's parent.
namespace ToolFramePlace {

// The frame's two places, 50 pixels in from the screen's right edge.
QPoint lower(const QRect &primary, const QSize &frame);
QPoint upper(const QRect &primary, const QSize &frame);

// Where the frame goes when the cursor comes within 40 pixels of it: from
// any place but the upper one to the upper one, from there to the lower.
// Returns the frame's current position when the cursor is not near.
QPoint dodge(const QRect &frame, const QPoint &cursor, const QRect &primary);

} // namespace ToolFramePlace
