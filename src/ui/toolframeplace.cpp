#include "ui/toolframeplace.h"

namespace ToolFramePlace {

QPoint lower(const QRect &primary, const QSize &frame)
{
    return QPoint(primary.right() - 50 - frame.width(), primary.bottom() - 50 - frame.height());
}

QPoint upper(const QRect &primary, const QSize &frame)
{
    return QPoint(primary.right() - 50 - frame.width(), primary.top() + 50);
}

QPoint dodge(const QRect &frame, const QPoint &cursor, const QRect &primary)
{
    if (!frame.adjusted(-40, -40, 40, 40).contains(cursor))
        return frame.topLeft();
    const QPoint top = upper(primary, frame.size());
    return frame.y() != top.y() ? top : lower(primary, frame.size());
}

} // namespace ToolFramePlace
