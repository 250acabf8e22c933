#include "capture/zoomframe.h"

#include "core/capturestate.h"

#include <QPainter>

namespace {

// Maps the part of `source` that lies inside `bounds` onto the matching part
// of `target` (source scaled to the whole target); empty when none does.
QRectF mapInside(const QRectF &target, const QRect &source, const QRect &bounds, QRect *inside)
{
    *inside = source.intersected(bounds);
    if (inside->isEmpty())
        return QRectF();
    const qreal sx = target.width() / source.width();
    const qreal sy = target.height() / source.height();
    return QRectF(target.left() + (inside->left() - source.left()) * sx,
                  target.top() + (inside->top() - source.top()) * sy,
                  inside->width() * sx, inside->height() * sy);
}

void drawPart(QPainter &painter, const QRectF &target, const QRect &source, const QPixmap &grab)
{
    QRect inside;
    const QRectF to = mapInside(target, source, grab.rect(), &inside);
    if (!to.isEmpty())
        painter.drawPixmap(to, grab, inside);
}

// One grab row or column, colours inverted: the crosshair stays visible on
// any background.
void drawInvertedPart(QPainter &painter, const QRectF &target, const QRect &source, const QPixmap &grab)
{
    QRect inside;
    const QRectF to = mapInside(target, source, grab.rect(), &inside);
    if (to.isEmpty())
        return;
    QImage strip = grab.copy(inside).toImage();
    strip.invertPixels(QImage::InvertRgb);
    painter.drawImage(to, strip);
}

} // namespace

ZoomFrame::ZoomFrame(QWidget *parent, const CaptureState *state)
    : QWidget(parent)
    , m_state(state)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ZoomFrame::setPosition(int x, int y)
{
    if (x == m_x && y == m_y)
        return;
    m_x = x;
    m_y = y;
    update();
}

void ZoomFrame::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());

    const int w = width();
    const int h = height();
    const QPixmap grab = m_state->plainGrab();
    const QRect source(m_x - w / 8, m_y - h / 8, w / 4, h / 4);
    drawPart(painter, QRectF(0, 0, w, h), source, grab);

    const QPoint marked = markedPixel(m_x, m_y);
    if (!grab.rect().contains(marked))
        return;
    drawInvertedPart(painter, QRectF(w / 2 - 4, 0, 4, h), QRect(marked.x(), source.top(), 1, source.height()), grab);
    drawInvertedPart(painter, QRectF(0, h / 2 - 4, w, 4), QRect(source.left(), marked.y(), source.width(), 1), grab);
    drawPart(painter, QRectF(w / 2 - 4, h / 2 - 4, 4, 4), QRect(marked, QSize(1, 1)), grab);
}
