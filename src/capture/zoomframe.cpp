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
    // Drawn in device pixels: the loupe magnifies the screen's own pixels,
    // whatever the scale factor.
    const qreal scale = devicePixelRatioF();
    QImage loupe(qRound(width() * scale), qRound(height() * scale), QImage::Format_RGB32);
    {
        QPainter painter(&loupe);
        paintLoupe(painter, loupe.size(), m_state->toDevice(QPoint(m_x, m_y)), palette().window());
    }
    loupe.setDevicePixelRatio(scale);
    QPainter(this).drawImage(QPoint(0, 0), loupe);
}

void ZoomFrame::paintLoupe(QPainter &painter, const QSize &size, const QPoint &cursor, const QBrush &background) const
{
    const int w = size.width();
    const int h = size.height();
    painter.fillRect(QRect(QPoint(0, 0), size), background);
    const QPixmap grab = m_state->plainGrab();
    const QRect source(cursor.x() - w / 8, cursor.y() - h / 8, w / 4, h / 4);
    drawPart(painter, QRectF(0, 0, w, h), source, grab);

    const QPoint marked = markedPixel(cursor.x(), cursor.y());
    if (!grab.rect().contains(marked))
        return;
    drawInvertedPart(painter, QRectF(w / 2 - 4, 0, 4, h), QRect(marked.x(), source.top(), 1, source.height()), grab);
    drawInvertedPart(painter, QRectF(0, h / 2 - 4, w, 4), QRect(source.left(), marked.y(), source.width(), 1), grab);
    drawPart(painter, QRectF(w / 2 - 4, h / 2 - 4, 4, 4), QRect(marked, QSize(1, 1)), grab);
}
