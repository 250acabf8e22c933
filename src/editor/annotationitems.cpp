#include "editor/annotationitems.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QtMath>

namespace {

// Registered under their own names so they travel in queued signals and
// can be looked up by name like any other meta type.
[[maybe_unused]] const bool kTypesRegistered = [] {
    qRegisterMetaType<RectItem>("RectItem");
    qRegisterMetaType<LineItem>("LineItem");
    qRegisterMetaType<TextItem>("TextItem");
    qRegisterMetaType<ColorItem>("ColorItem");
    return true;
}();

constexpr int kHighlightWidth = 3;
constexpr int kLineWidth = 3;
constexpr double kHeadHalfAngle = M_PI / 15; // 12 degrees
constexpr double kHeadLength = 20;
constexpr int kTextPixelSize = 20;
constexpr int kBaselineOffset = 8;

template <typename T>
bool holds(const QVariant &variant)
{
    return variant.userType() == qMetaTypeId<T>();
}

QFont textFont()
{
    QFont font(QStringLiteral("Times"));
    font.setPixelSize(kTextPixelSize);
    return font;
}

void drawRect(QPainter &painter, const RectItem &item, const QColor &color)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    if (!item.highlight) {
        // Filled rather than outlined with a one-pixel pen, which covers the
        // same pixels at scale 1 but, centred on the edges, lands half a
        // pixel off on a scaled picture.
        painter.fillRect(QRect(item.rect.topLeft(), item.rect.size() + QSize(1, 1)), color);
        return;
    }
    painter.setPen(QPen(color, kHighlightWidth, Qt::SolidLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(item.rect);
}

void drawLine(QPainter &painter, const LineItem &item, const QColor &color, ItemHints hints)
{
    if (hints == ItemHints::Antialiased)
        painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setPen(QPen(color, kLineWidth, Qt::SolidLine));
    painter.drawLine(item.line);
    if (item.arrow) {
        painter.setBrush(QBrush(color, Qt::SolidPattern));
        painter.drawPolygon(arrowHead(item.line), Qt::OddEvenFill);
    }
}

void drawText(QPainter &painter, const TextItem &item, const QColor &color, ItemHints hints)
{
    if (hints == ItemHints::Antialiased)
        painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.setPen(QPen(color, 1, Qt::SolidLine));
    painter.setFont(textFont());
    painter.drawText(QPoint(item.pos.x(), item.pos.y() + kBaselineOffset), item.text);
}

} // namespace

void AnnotationList::undo()
{
    if (!m_entries.isEmpty())
        m_entries.removeLast();
}

QVariant itemFromDrag(const QPoint &press, const QPoint &end, EditorTool tool, const QColor &color)
{
    ColorItem entry;
    entry.color = color;
    switch (tool) {
    case EditorTool::Rect:
    case EditorTool::Highlight: {
        RectItem item;
        // From the smaller coordinate up to, not including, the larger one,
        // whichever way the drag went.
        item.rect = QRect(qMin(press.x(), end.x()), qMin(press.y(), end.y()), qAbs(end.x() - press.x()),
                          qAbs(end.y() - press.y()));
        item.highlight = tool == EditorTool::Highlight;
        entry.item = QVariant::fromValue(item);
        break;
    }
    case EditorTool::Line:
    case EditorTool::Arrow: {
        LineItem item;
        item.line = QLine(press, end);
        item.arrow = tool == EditorTool::Arrow;
        entry.item = QVariant::fromValue(item);
        break;
    }
    case EditorTool::None:
    case EditorTool::Text:
        return QVariant();
    }
    return QVariant::fromValue(entry);
}

bool isCommittable(const QVariant &entry)
{
    if (!holds<ColorItem>(entry))
        return false;
    const QVariant item = entry.value<ColorItem>().item;
    if (holds<RectItem>(item)) {
        const QRect rect = item.value<RectItem>().rect;
        return rect.width() > 1 || rect.height() > 1;
    }
    if (holds<LineItem>(item)) {
        const QLine line = item.value<LineItem>().line;
        return line.p1() != line.p2();
    }
    return holds<TextItem>(item);
}

QVariant textItem(const QString &text, const QPoint &pos, const QColor &color)
{
    TextItem item;
    item.text = text;
    item.pos = pos;
    ColorItem entry;
    entry.item = QVariant::fromValue(item);
    entry.color = color;
    return QVariant::fromValue(entry);
}

void drawItem(QPainter &painter, const QVariant &entry, ItemHints hints)
{
    if (!holds<ColorItem>(entry))
        return;
    const ColorItem colored = entry.value<ColorItem>();
    if (holds<RectItem>(colored.item))
        drawRect(painter, colored.item.value<RectItem>(), colored.color);
    if (holds<LineItem>(colored.item))
        drawLine(painter, colored.item.value<LineItem>(), colored.color, hints);
    if (holds<TextItem>(colored.item))
        drawText(painter, colored.item.value<TextItem>(), colored.color, hints);
}

void drawItems(QPainter &painter, const AnnotationList &list, ItemHints hints, const QRect &clip)
{
    if (clip.isValid())
        painter.setClipRect(clip, Qt::ReplaceClip);
    for (const QVariant &entry : list.entries())
        drawItem(painter, entry, hints);
}

QPolygon arrowHead(const QLine &line)
{
    const int x1 = line.x1();
    const int y1 = line.y1();
    const int x2 = line.x2();
    const int y2 = line.y2();
    // Screen y points down, hence the flipped sign of the y difference.
    const double angle = std::atan2(double(y1 - y2), double(x2 - x1));
    auto corner = [&](double a) {
        // int() truncates toward zero
        return QPoint(int(x2 - std::cos(a) * kHeadLength), int(y2 + std::sin(a) * kHeadLength));
    };
    return QPolygon({QPoint(x2, y2), corner(angle + kHeadHalfAngle), corner(angle - kHeadHalfAngle)});
}

QRect itemBounds(const QVariant &entry)
{
    if (!holds<ColorItem>(entry))
        return QRect();
    const QVariant item = entry.value<ColorItem>().item;
    QRect bounds;
    if (holds<RectItem>(item)) {
        // the stroke grows the rectangle by half the pen on every side and
        // one pixel to the right and bottom
        bounds |= item.value<RectItem>().rect.normalized().adjusted(-2, -2, 3, 3);
    }
    if (holds<LineItem>(item)) {
        const LineItem line = item.value<LineItem>();
        QRect area = QRect(line.line.p1(), line.line.p2()).normalized();
        if (line.arrow)
            area |= arrowHead(line.line).boundingRect();
        // the 3-pixel pen, its miter joins and the smoothing fringe
        bounds |= area.adjusted(-kLineWidth - 1, -kLineWidth - 1, kLineWidth + 1, kLineWidth + 1);
    }
    if (holds<TextItem>(item)) {
        const TextItem text = item.value<TextItem>();
        const QFontMetrics metrics(textFont());
        const QPoint baseline(text.pos.x(), text.pos.y() + kBaselineOffset);
        bounds |= metrics.boundingRect(text.text).translated(baseline).adjusted(-2, -2, 2, 2);
    }
    return bounds;
}

void drawItemsInto(QImage *picture, const AnnotationList &list, ItemHints hints, qreal scale)
{
    // well inside the painter's reach, and few bands for marks on one screen
    constexpr int kBandRows = 4096;
    const QRect whole = picture->rect();
    for (int top = 0; top < whole.height(); top += kBandRows) {
        const QRect band(0, top, whole.width(), qMin(kBandRows, whole.height() - top));
        QVector<const QVariant *> touching;
        for (const QVariant &entry : list.entries()) {
            const QRectF bounds(itemBounds(entry));
            if (QRectF(bounds.topLeft() * scale, bounds.size() * scale).toAlignedRect().intersects(band))
                touching.append(&entry);
        }
        if (touching.isEmpty())
            continue;
        // the band's rows in place: what is painted lands in the picture
        QImage rows(picture->scanLine(top), band.width(), band.height(), int(picture->bytesPerLine()),
                    picture->format());
        QPainter painter(&rows);
        painter.translate(0, -top);
        painter.scale(scale, scale);
        for (const QVariant *entry : touching)
            drawItem(painter, *entry, hints);
    }
}
