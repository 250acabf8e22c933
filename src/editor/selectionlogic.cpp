#include "editor/selectionlogic.h"

namespace SelectionLogic {

namespace {

constexpr int kFrameMargin = 2;
constexpr int kBand = 4;
// Half the handles' 8-pixel pen plus one pixel of rounding.
constexpr int kFrameReach = 5;

QRect topBand(const QRect &frame)
{
    return QRect(frame.left(), frame.top(), frame.width(), kBand);
}

QRect bottomBand(const QRect &frame)
{
    return QRect(frame.left(), frame.bottom() - kBand + 1, frame.width(), kBand);
}

QRect leftBand(const QRect &frame)
{
    return QRect(frame.left(), frame.top(), kBand, frame.height());
}

QRect rightBand(const QRect &frame)
{
    return QRect(frame.right() - kBand + 1, frame.top(), kBand, frame.height());
}

QRegion frameArea(const QRect &selection)
{
    const QRect frame = frameOf(selection);
    const QRegion outer(frame.adjusted(-kFrameReach, -kFrameReach, kFrameReach, kFrameReach));
    const QRect inner = frame.adjusted(kFrameReach, kFrameReach, -kFrameReach, -kFrameReach);
    return inner.isValid() ? outer.subtracted(QRegion(inner)) : outer;
}

} // namespace

QRect frameOf(const QRect &selection)
{
    return selection.adjusted(-kFrameMargin, -kFrameMargin, kFrameMargin, kFrameMargin);
}

Edges grabbedEdges(const QRect &frame, const QPoint &pos)
{
    Edges edges;
    if (!frame.contains(pos))
        return edges;
    edges.right = rightBand(frame).contains(pos);
    edges.left = !edges.right && leftBand(frame).contains(pos);
    edges.bottom = bottomBand(frame).contains(pos);
    edges.top = !edges.bottom && topBand(frame).contains(pos);
    return edges;
}

std::optional<Qt::CursorShape> cursorFor(const QRect &selection, const QPoint &pos, EditorTool tool, bool busy)
{
    const QRect frame = frameOf(selection);
    if (!frame.contains(pos)) {
        if (busy)
            return std::nullopt;
        return Qt::ArrowCursor;
    }
    if (busy)
        return std::nullopt;

    const bool top = topBand(frame).contains(pos);
    const bool bottom = bottomBand(frame).contains(pos);
    const bool left = leftBand(frame).contains(pos);
    const bool right = rightBand(frame).contains(pos);
    if ((top && left) || (bottom && right))
        return Qt::SizeFDiagCursor;
    if ((top && right) || (bottom && left))
        return Qt::SizeBDiagCursor;
    if (left || right)
        return Qt::SizeHorCursor;
    if (top || bottom)
        return Qt::SizeVerCursor;
    if (!selection.contains(pos))
        return std::nullopt;
    switch (tool) {
    case EditorTool::Text:
        return Qt::IBeamCursor;
    case EditorTool::None:
        return Qt::OpenHandCursor;
    default:
        return Qt::CrossCursor;
    }
}

QRect resizeSelection(const QRect &selection, const Edges &edges, const QPoint &previous, const QPoint &current)
{
    QRect s = selection;
    const int dx = current.x() - previous.x();
    const int dy = current.y() - previous.y();
    if (edges.right) {
        if (previous.x() > s.left() && s.right() + dx - s.left() + 1 > 1)
            s.setRight(s.right() + dx);
        else
            s.setRight(s.left());
    }
    if (edges.left) {
        if (previous.x() < s.right() && s.left() + dx < s.right() - 1)
            s.setLeft(s.left() + dx);
        else
            s.setLeft(s.right() - 1);
    }
    if (edges.bottom) {
        if (previous.y() > s.top() && s.bottom() + dy - s.top() + 1 > 1)
            s.setBottom(s.bottom() + dy);
        else
            s.setBottom(s.top());
    }
    if (edges.top) {
        if (previous.y() < s.bottom() && s.top() + dy < s.bottom() - 1)
            s.setTop(s.top() + dy);
        else
            s.setTop(s.bottom() - 1);
    }
    return s;
}

QRect moveSelection(const QRect &selection, const QPoint &delta, const QRect &desktop)
{
    QRect s = selection.translated(delta);
    // Each test looks one step ahead, so a fast drag snaps flush one step
    // early; the selection never leaves the desktop.
    if (s.bottom() + delta.y() >= desktop.bottom())
        s.moveBottom(desktop.bottom());
    if (s.top() + delta.y() <= desktop.top())
        s.moveTop(desktop.top());
    if (s.right() + delta.x() >= desktop.right())
        s.moveRight(desktop.right());
    if (s.left() + delta.x() <= desktop.left())
        s.moveLeft(desktop.left());
    return s;
}

QRegion selectionChange(const QRect &before, const QRect &after)
{
    return (QRegion(before) ^ QRegion(after)) + frameArea(before) + frameArea(after);
}

int textMaxLength(const QRect &selection, const QPoint &click)
{
    return (selection.right() - click.x()) / 9;
}

} // namespace SelectionLogic
