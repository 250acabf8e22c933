#pragma once

#include <QWidget>

class TrayActions;

// The floating launch button: a small window that stays on top and starts a
// capture when clicked.  Its title "SnaplarkFloatingButton" is how the
// capture overlay finds it to minimise it while it covers the screen and to
// restore it afterwards; the window manager does both.
class WndFloatingButton : public QWidget
{
    Q_OBJECT

public:
    explicit WndFloatingButton(const TrayActions &actions, QWidget *parent = nullptr);

    // Where the button first appears: the bottom-right corner of the work
    // area, a margin away from its edges.
    static QPoint placeIn(const QRect &workArea, const QSize &size);
};
