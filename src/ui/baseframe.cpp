#include "ui/baseframe.h"

#include <QMouseEvent>

namespace FramePlacement {

QPoint keptInside(const QPoint &topLeft, const QSize &frame, const QSize &parent)
{
    return QPoint(qMax(0, qMin(topLeft.x(), parent.width() - frame.width())),
                  qMax(0, qMin(topLeft.y(), parent.height() - frame.height())));
}

} // namespace FramePlacement

BaseFrame::BaseFrame(QWidget *parent)
    : QFrame(parent)
{
}

void BaseFrame::mousePressEvent(QMouseEvent *event)
{
    m_drag.press(event);
}

void BaseFrame::mouseReleaseEvent(QMouseEvent *event)
{
    m_drag.release(event);
}

void BaseFrame::mouseMoveEvent(QMouseEvent *event)
{
    QPoint target = m_drag.moved(event, pos());
    // Dropped outside its window, the toolbar could not be reached again.
    if (parentWidget())
        target = FramePlacement::keptInside(target, size(), parentWidget()->size());
    if (target != pos())
        move(target);
}
