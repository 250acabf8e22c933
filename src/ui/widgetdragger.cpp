#include "ui/widgetdragger.h"

#include <QMouseEvent>

void WidgetDragger::press(const QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = true;
    m_dragStart = event->pos();
}

void WidgetDragger::release(const QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
}

QPoint WidgetDragger::moved(const QMouseEvent *event, const QPoint &current) const
{
    if (!m_dragging || !(event->buttons() & Qt::LeftButton))
        return current;
    return current + (event->pos() - m_dragStart);
}
