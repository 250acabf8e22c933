#pragma once

#include "ui/widgetdragger.h"

#include <QIcon>
#include <QPoint>
#include <QWidget>

class TrayActions;

// The floating launch button: a small window that stays on top and starts a
// capture when clicked; dragged, it moves out of the way instead.  Its title
// "SnaplarkFloatingButton" is how the capture overlay finds it to minimise it
// while it covers the screen and to restore it afterwards; the window
// manager does both.
class WndFloatingButton : public QWidget
{
    Q_OBJECT

public:
    explicit WndFloatingButton(const TrayActions &actions, QWidget *parent = nullptr);

    // Where the button first appears: the bottom-right corner of the work
    // area, a margin away from its edges.
    static QPoint placeIn(const QRect &workArea, const QSize &size);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    const TrayActions &m_actions;
    QIcon m_icon;
    WidgetDragger m_dragger;
    QPoint m_pressedAt; // global position of the press
    bool m_moved = false;
};
