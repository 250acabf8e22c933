#pragma once

#include <QWidget>

class CaptureState;
class QBrush;
class QPainter;

// The magnifier of the overlay's tool frame: the frozen grab around the
// cursor, enlarged about four times, with an inverted crosshair and the true
// colour of the cursor pixel in its middle.
class ZoomFrame : public QWidget
{
    Q_OBJECT
public:
    ZoomFrame(QWidget *parent, const CaptureState *state);

    void setPosition(int x, int y);

    // The pixel the loupe marks for a cursor point (the hint line names the
    // same one); both in the grab's device pixels.
    static QPoint markedPixel(int x, int y) { return QPoint(x - 1, y - 1); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // The loupe of `size` device pixels around a cursor point in the grab.
    void paintLoupe(QPainter &painter, const QSize &size, const QPoint &cursor, const QBrush &background) const;

    const CaptureState *m_state;
    int m_x = 0;
    int m_y = 0;
};
