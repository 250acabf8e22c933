#include "theme.h"

#include <QLinearGradient>
#include <QPainter>

namespace Theme {

QFont uiFont(int pixelSize, int weight)
{
    QFont font;
    font.setFamilies({QStringLiteral("Nimbus Sans"), QStringLiteral("DejaVu Sans"),
                      QStringLiteral("Sans")});
    font.setPixelSize(pixelSize);
    font.setWeight(weight);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QFont wordmarkFont(int pixelSize)
{
    QFont font;
    font.setFamilies({QStringLiteral("URW Gothic"), QStringLiteral("Nimbus Sans"),
                      QStringLiteral("DejaVu Sans"), QStringLiteral("Sans")});
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::DemiBold);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

QPainterPath rounded(const QRectF &rect, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

void paintCard(QPainter &p, const QSize &size, const Card &card)
{
    p.save();
    const QRectF outer = QRectF(QPointF(0, 0), size).adjusted(0.5, 0.5, -0.5, -0.5);
    const QPainterPath shape = rounded(outer, card.radius);

    QLinearGradient fill(0, 0, 0, size.height());
    fill.setColorAt(0, body);
    fill.setColorAt(1, bodyLow);
    p.fillPath(shape, fill);

    if (card.headerHeight > 0) {
        p.save();
        p.setClipPath(shape);
        const QRectF band(0, 0, size.width(), card.headerHeight);
        QLinearGradient dark(0, 0, 0, card.headerHeight);
        dark.setColorAt(0, inkRaised);
        dark.setColorAt(1, ink);
        p.fillRect(band, dark);
        p.fillRect(QRectF(0, card.headerHeight, size.width(), 2), accent);
        p.restore();
        if (!card.title.isEmpty()) {
            const qreal markSize = qMin<qreal>(18, card.headerHeight - 10);
            const QRectF mark(9, (card.headerHeight - markSize) / 2, markSize, markSize);
            paintMark(p, mark);
            p.setPen(white);
            p.setFont(uiFont(qMin(13, card.headerHeight / 2), QFont::DemiBold));
            p.drawText(QRectF(mark.right() + 7, 0, size.width() - mark.right() - 40,
                              card.headerHeight),
                       Qt::AlignVCenter | Qt::AlignLeft, card.title);
        }
    }

    p.setPen(QPen(edge, 1));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shape);
    p.restore();
}

void paintWell(QPainter &p, const QRectF &rect, qreal radius)
{
    p.save();
    const QPainterPath shape = rounded(rect.adjusted(0.5, 0.5, -0.5, -0.5), radius);
    p.fillPath(shape, QColor(0xdf, 0xe4, 0xeb));
    p.setClipPath(shape);
    // inner shadow along the top edge
    QLinearGradient shade(0, rect.top(), 0, rect.top() + 6);
    shade.setColorAt(0, QColor(0, 0, 0, 40));
    shade.setColorAt(1, QColor(0, 0, 0, 0));
    p.fillRect(rect, shade);
    p.setClipping(false);
    p.setPen(QPen(edge, 1));
    p.drawPath(shape);
    p.restore();
}

void paintMark(QPainter &p, const QRectF &rect)
{
    p.save();
    p.translate(rect.topLeft());
    const qreal s = qMin(rect.width(), rect.height());
    p.scale(s / 100.0, s / 100.0);

    QLinearGradient tile(0, 0, 100, 100);
    tile.setColorAt(0, QColor(0x4a, 0x8d, 0xff));
    tile.setColorAt(1, accentDeep);
    p.fillPath(rounded(QRectF(0, 0, 100, 100), 24), tile);

    // viewfinder corners
    QPen corner(white, 7.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(corner);
    p.setBrush(Qt::NoBrush);
    const qreal a = 20, b = 80, l = 17;
    p.drawPolyline(QPolygonF({{a, a + l}, {a, a}, {a + l, a}}));
    p.drawPolyline(QPolygonF({{b - l, a}, {b, a}, {b, a + l}}));
    p.drawPolyline(QPolygonF({{b, b - l}, {b, b}, {b - l, b}}));
    p.drawPolyline(QPolygonF({{a + l, b}, {a, b}, {a, b - l}}));

    // a lark in flight: two arched wings tapering from the body to the tips
    QPainterPath bird;
    bird.moveTo(26, 51);
    bird.cubicTo(33, 37, 45, 36, 50, 52);
    bird.cubicTo(55, 36, 67, 37, 74, 51);
    bird.cubicTo(66, 44, 56, 46, 50, 62);
    bird.cubicTo(44, 46, 34, 44, 26, 51);
    p.setPen(QPen(white, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(white);
    p.drawPath(bird);
    p.restore();
}

void paintWordmark(QPainter &p, const QRectF &rect, const QColor &textColour)
{
    p.save();
    const qreal markSize = rect.height();
    paintMark(p, QRectF(rect.left(), rect.top(), markSize, markSize));
    p.setPen(textColour);
    p.setFont(wordmarkFont(qRound(markSize * 0.62)));
    p.drawText(QRectF(rect.left() + markSize * 1.25, rect.top(), rect.width(), rect.height()),
               Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("Snaplark"));
    p.restore();
}

} // namespace Theme
