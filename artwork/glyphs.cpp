#include "glyphs.h"

#include "theme.h"

#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace {

constexpr qreal stroke = 2.0;

QPen linePen(const QColor &colour, qreal width = stroke)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void lines(QPainter &p, const QColor &c, std::initializer_list<QPointF> points, qreal width = stroke)
{
    p.setPen(linePen(c, width));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF(QVector<QPointF>(points)));
}

void filled(QPainter &p, const QColor &c, const QPainterPath &path)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
    p.drawPath(path);
}

void stroked(QPainter &p, const QColor &c, const QPainterPath &path, qreal width = stroke)
{
    p.setPen(linePen(c, width));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
}

QPainterPath polygon(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    path.addPolygon(QPolygonF(QVector<QPointF>(points)));
    path.closeSubpath();
    return path;
}

// Punches a gap of `width` along `path` so that a shape drawn over another
// stays readable (the cursor over a window, an arrow through a cloud).
void knockOut(QPainter &p, const QPainterPath &path, qreal width)
{
    p.save();
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.setPen(linePen(Qt::black, width));
    p.setBrush(Qt::black);
    p.drawPath(path);
    p.restore();
}

QPainterPath cloud()
{
    QPainterPath c;
    c.setFillRule(Qt::WindingFill);
    c.addEllipse(QPointF(7.3, 14.8), 4.5, 4.5);
    c.addEllipse(QPointF(12.6, 10.8), 5.8, 5.8);
    c.addEllipse(QPointF(17.6, 15.3), 4.0, 4.0);
    c.addRect(QRectF(7.3, 14.8, 10.3, 4.5));
    return c.simplified();
}

QPainterPath arc(const QPointF &centre, qreal radius, qreal startDeg, qreal sweepDeg)
{
    const QRectF box(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius);
    QPainterPath path;
    path.arcMoveTo(box, startDeg);
    path.arcTo(box, startDeg, sweepDeg);
    return path;
}

// Chevron arrow head at the end of an arc drawn by arc() above.
void arcHead(QPainter &p, const QColor &c, const QPointF &centre, qreal radius, qreal startDeg,
             qreal sweepDeg)
{
    const qreal end = qDegreesToRadians(startDeg + sweepDeg);
    const QPointF tip(centre.x() + radius * qCos(end), centre.y() - radius * qSin(end));
    const qreal sign = sweepDeg < 0 ? -1 : 1;
    const QPointF along(-qSin(end) * sign, -qCos(end) * sign); // direction of travel
    const QPointF across(along.y(), -along.x());
    const qreal k = 4.2;
    lines(p, c, {tip - along * k + across * k, tip, tip - along * k - across * k});
}

QPainterPath undoBody(qreal startX)
{
    QPainterPath body;
    body.moveTo(startX, 9.5);
    body.lineTo(14, 9.5);
    body.arcTo(QRectF(9, 9.5, 10, 10), 90, -180);
    body.lineTo(9.5, 19.5);
    return body;
}

QPainterPath boldText(const QString &text, qreal pixelSize, const QPointF &centre)
{
    QPainterPath path;
    path.addText(0, 0, Theme::uiFont(100, QFont::Black), text);
    const QRectF b = path.boundingRect();
    QTransform t;
    const qreal k = pixelSize / 100.0;
    t.translate(centre.x() - b.center().x() * k, centre.y() - b.center().y() * k);
    t.scale(k, k);
    return t.map(path);
}

void draw(QPainter &p, Glyph g, const QColor &c)
{
    switch (g) {
    case Glyph::Close:
        lines(p, c, {{7, 7}, {17, 17}}, 2.4);
        lines(p, c, {{17, 7}, {7, 17}}, 2.4);
        break;
    case Glyph::Check:
        lines(p, c, {{5, 12.5}, {10, 17.5}, {19, 7}}, 2.4);
        break;
    case Glyph::Save:
        lines(p, c, {{12, 3.5}, {12, 14.5}});
        lines(p, c, {{7.5, 10}, {12, 14.5}, {16.5, 10}});
        lines(p, c, {{4, 14}, {4, 19.5}, {20, 19.5}, {20, 14}});
        break;
    case Glyph::CloudUp: {
        stroked(p, c, cloud());
        QPainterPath shaft;
        shaft.moveTo(12.3, 22);
        shaft.lineTo(12.3, 13);
        knockOut(p, shaft, 5);
        lines(p, c, {{12.3, 22}, {12.3, 13}});
        lines(p, c, {{9.3, 16}, {12.3, 13}, {15.3, 16}});
        break;
    }
    case Glyph::LogIn:
        lines(p, c, {{13.5, 4}, {19.5, 4}, {19.5, 20}, {13.5, 20}});
        lines(p, c, {{3.5, 12}, {14.5, 12}});
        lines(p, c, {{10.5, 8}, {14.5, 12}, {10.5, 16}});
        break;
    case Glyph::LogOut:
        lines(p, c, {{10.5, 4}, {4.5, 4}, {4.5, 20}, {10.5, 20}});
        lines(p, c, {{9.5, 12}, {20.5, 12}});
        lines(p, c, {{16.5, 8}, {20.5, 12}, {16.5, 16}});
        break;
    case Glyph::Retry:
        stroked(p, c, arc({12, 12.5}, 7.5, -20, -280));
        arcHead(p, c, {12, 12.5}, 7.5, -20, -280);
        break;
    case Glyph::Power:
        stroked(p, c, arc({12, 13}, 7.5, 125, 290));
        lines(p, c, {{12, 3.5}, {12, 12}});
        break;
    case Glyph::Leave:
        lines(p, c, {{19.5, 12}, {5, 12}});
        lines(p, c, {{10, 7}, {5, 12}, {10, 17}});
        break;
    case Glyph::Bolt:
        filled(p, c, polygon({{13.5, 2.5}, {5, 13.5}, {11, 13.5}, {10, 21.5}, {19, 10},
                              {13, 10}}));
        break;
    case Glyph::RecordDot: {
        QPainterPath dot;
        dot.addEllipse(QPointF(12, 12), 6.5, 6.5);
        filled(p, c, dot);
        break;
    }
    case Glyph::StopSquare:
        filled(p, c, Theme::rounded(QRectF(6, 6, 12, 12), 2.2));
        break;
    case Glyph::FullScreen:
        lines(p, c, {{3.5, 9}, {3.5, 3.5}, {9, 3.5}});
        lines(p, c, {{15, 3.5}, {20.5, 3.5}, {20.5, 9}});
        lines(p, c, {{20.5, 15}, {20.5, 20.5}, {15, 20.5}});
        lines(p, c, {{9, 20.5}, {3.5, 20.5}, {3.5, 15}});
        filled(p, c, Theme::rounded(QRectF(7.5, 8, 9, 8), 1.5));
        break;
    case Glyph::ActiveWindow: {
        stroked(p, c, Theme::rounded(QRectF(2.5, 4, 17, 13.5), 2));
        p.fillRect(QRectF(2.5, 4, 17, 4), c);
        QPainterPath cursor = polygon({{13, 11}, {13, 22.5}, {15.8, 19.8}, {17.8, 23.6},
                                       {19.6, 22.7}, {17.7, 19}, {21.4, 18.6}});
        knockOut(p, cursor, 3.5);
        filled(p, c, cursor);
        break;
    }
    case Glyph::Gear: {
        QPainterPath teeth;
        for (int i = 0; i < 8; ++i) {
            QTransform t;
            t.translate(12, 12);
            t.rotate(i * 45);
            QPainterPath tooth;
            tooth.addRoundedRect(QRectF(-2.1, -10, 4.2, 5), 1, 1);
            teeth.addPath(t.map(tooth));
        }
        QPainterPath ring;
        ring.addEllipse(QPointF(12, 12), 7, 7);
        QPainterPath hole;
        hole.addEllipse(QPointF(12, 12), 3, 3);
        filled(p, c, ring.united(teeth).subtracted(hole));
        break;
    }
    case Glyph::Help: {
        QPainterPath circle;
        circle.addEllipse(QPointF(12, 12), 9.5, 9.5);
        stroked(p, c, circle);
        QPainterPath hook = arc({12, 9.6}, 3, 160, -220);
        hook.lineTo(12, 14);
        stroked(p, c, hook, 2.2);
        QPainterPath dot;
        dot.addEllipse(QPointF(12, 17.3), 1.35, 1.35);
        filled(p, c, dot);
        break;
    }
    case Glyph::FilledRect: {
        filled(p, c, Theme::rounded(QRectF(3, 6, 18, 12), 2));
        break;
    }
    case Glyph::Highlight: {
        const QPainterPath box = Theme::rounded(QRectF(4, 6.5, 16, 11), 1.5);
        QColor wash = c;
        wash.setAlphaF(0.28);
        filled(p, wash, box);
        stroked(p, c, box);
        break;
    }
    case Glyph::Line:
        lines(p, c, {{5, 19}, {19, 5}}, 2.4);
        break;
    case Glyph::Arrow:
        lines(p, c, {{5, 19}, {15.5, 8.5}}, 2.4);
        filled(p, c, polygon({{19.8, 4.2}, {10.8, 6.6}, {17.4, 13.2}}));
        break;
    case Glyph::Text:
        p.fillRect(QRectF(5, 4, 14, 3), c);
        p.fillRect(QRectF(10.5, 4, 3, 16), c);
        p.fillRect(QRectF(8, 18, 8, 2.2), c);
        break;
    case Glyph::Undo:
        stroked(p, c, undoBody(5));
        lines(p, c, {{8.8, 5.7}, {5, 9.5}, {8.8, 13.3}});
        break;
    case Glyph::UndoAll:
        stroked(p, c, undoBody(7.5));
        lines(p, c, {{11.3, 5.7}, {7.5, 9.5}, {11.3, 13.3}});
        lines(p, c, {{6.3, 5.7}, {2.5, 9.5}, {6.3, 13.3}});
        break;
    case Glyph::Drop: {
        QPainterPath drop;
        drop.moveTo(12, 2.5);
        drop.cubicTo(15.5, 7, 18.8, 11, 18.8, 14.8);
        drop.cubicTo(18.8, 18.6, 15.8, 21.5, 12, 21.5);
        drop.cubicTo(8.2, 21.5, 5.2, 18.6, 5.2, 14.8);
        drop.cubicTo(5.2, 11, 8.5, 7, 12, 2.5);
        filled(p, c, drop);
        break;
    }
    case Glyph::Camera: {
        QPainterPath body = Theme::rounded(QRectF(2.5, 7, 19, 13), 2.5);
        body.addRect(QRectF(8, 4.5, 8, 3));
        stroked(p, c, body.simplified());
        QPainterPath lens;
        lens.addEllipse(QPointF(12, 13.5), 3.6, 3.6);
        stroked(p, c, lens);
        break;
    }
    case Glyph::GifFilm: {
        stroked(p, c, Theme::rounded(QRectF(2, 5, 20, 14), 2.5));
        filled(p, c, boldText(QStringLiteral("GIF"), 8.8, {12, 12}));
        break;
    }
    case Glyph::Scroll:
        stroked(p, c, Theme::rounded(QRectF(3.5, 3, 11, 18), 2));
        lines(p, c, {{6.5, 8}, {11.5, 8}}, 1.6);
        lines(p, c, {{6.5, 11.5}, {11.5, 11.5}}, 1.6);
        lines(p, c, {{6.5, 15}, {10, 15}}, 1.6);
        lines(p, c, {{19, 4}, {19, 19.5}});
        lines(p, c, {{16.3, 16.8}, {19, 19.5}, {21.7, 16.8}});
        break;
    case Glyph::Video:
        stroked(p, c, Theme::rounded(QRectF(2.5, 6.5, 13, 11), 2.2));
        stroked(p, c, polygon({{15.5, 10.8}, {21.5, 7.2}, {21.5, 16.8}, {15.5, 13.2}}));
        break;
    case Glyph::Warning: {
        stroked(p, c, polygon({{12, 3}, {22, 20.5}, {2, 20.5}}));
        lines(p, c, {{12, 9.5}, {12, 14.2}}, 2.2);
        QPainterPath dot;
        dot.addEllipse(QPointF(12, 17.3), 1.3, 1.3);
        filled(p, c, dot);
        break;
    }
    case Glyph::CloudError: {
        stroked(p, c, cloud());
        lines(p, c, {{12.8, 9}, {12.8, 12.8}}, 2.2);
        QPainterPath dot;
        dot.addEllipse(QPointF(12.8, 15.6), 1.25, 1.25);
        filled(p, c, dot);
        break;
    }
    case Glyph::Instances: {
        stroked(p, c, Theme::rounded(QRectF(2.5, 3.5, 13, 10.5), 1.8));
        const QPainterPath front = Theme::rounded(QRectF(8.5, 9.5, 13, 10.5), 1.8);
        knockOut(p, front, 3.5);
        stroked(p, c, front);
        p.fillRect(QRectF(8.5, 9.5, 13, 3), c);
        break;
    }
    }
}

} // namespace

void paintGlyph(QPainter &p, Glyph glyph, const QRect &box, const QColor &colour)
{
    // Each glyph gets its own layer so knock-outs cut only the glyph, never
    // the button below it.
    // The layer has the target's pixels, so a picture drawn at 2x keeps
    // sharp glyphs.
    const qreal scale = qMax<qreal>(1.0, p.transform().m11());
    QImage layer(box.size() * scale, QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(scale);
    layer.fill(Qt::transparent);
    {
        QPainter lp(&layer);
        lp.setRenderHint(QPainter::Antialiasing);
        lp.scale(box.width() / 24.0, box.height() / 24.0);
        draw(lp, glyph, colour);
    }
    p.drawImage(box.topLeft(), layer);
}
