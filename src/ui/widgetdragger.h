#pragma once

#include <QPoint>

class QMouseEvent;

// Follows a left-button drag on a widget: remembers where the button went
// down (in the widget's own coordinates) and tells how far the widget has to
// move so that this point stays under the mouse.  Other buttons are ignored.
class WidgetDragger
{
public:
    void press(const QMouseEvent *event);
    void release(const QMouseEvent *event);

    // The widget's new position for a move event, given its current one; the
    // current position itself when no left-button drag is going on.
    QPoint moved(const QMouseEvent *event, const QPoint &current) const;

    bool isDragging() const { return m_dragging; }

private:
    QPoint m_dragStart;
    bool m_dragging = false;
};
