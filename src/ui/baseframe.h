#pragma once

#include "ui/widgetdragger.h"

#include <QFrame>

// A frame the user drags by its background within its parent window, such as
// the editors' toolbar and the overlay's tool frame.
class BaseFrame : public QFrame
{
    Q_OBJECT
public:
    explicit BaseFrame(QWidget *parent);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;

private:
    WidgetDragger m_drag;
};

namespace FramePlacement {
// `topLeft` moved just far enough that a frame of `frame` size lies inside a
// parent of `parent` size; a frame larger than its parent keeps its top-left
// corner visible.
QPoint keptInside(const QPoint &topLeft, const QSize &frame, const QSize &parent);
} // namespace FramePlacement
