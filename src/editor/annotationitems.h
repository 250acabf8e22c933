#pragma once

#include <QColor>
#include <QLine>
#include <QMetaType>
#include <QPoint>
#include <QPolygon>
#include <QRect>
#include <QString>
#include <QVariant>
#include <QVector>

class QImage;
class QPainter;

// The marks the editors lay over a picture before it is saved.  Each mark is
// a small value type carried in a QVariant; a committed mark is a ColorItem
// wrapping one of the three kinds together with the colour it was made in.
// Coordinates are those of the widget the user drew on.

struct RectItem
{
    QRect rect;             // null rectangle by default
    bool highlight = false; // false: filled, true: outlined
};

struct LineItem
{
    QLine line;         // press point to end point
    bool arrow = false; // filled arrowhead at the end point
};

struct TextItem
{
    QString text;
    QPoint pos; // the click point; the baseline lies 8 pixels below it
};

struct ColorItem
{
    QVariant item; // exactly one RectItem, LineItem or TextItem
    QColor color;
};

Q_DECLARE_METATYPE(RectItem)
Q_DECLARE_METATYPE(LineItem)
Q_DECLARE_METATYPE(TextItem)
Q_DECLARE_METATYPE(ColorItem)

// The tool checked on the editor toolbar; None when no tool is checked.
enum class EditorTool { None, Rect, Highlight, Line, Arrow, Text };

// The screenshot editor smooths lines, arrows and texts; the scroll capture
// editor paints without hints.  Rectangles are painted aliased in both: they
// lie on the pixel grid, and smoothing would only blend their outline into
// the picture, leaving a redaction with a half-covered fringe.
enum class ItemHints { None, Antialiased };

// The editor's marks in creation order, which is also paint order.
class AnnotationList
{
public:
    void append(const QVariant &entry) { m_entries.append(entry); }
    // Removes the newest entry; nothing happens on an empty list.
    void undo();
    void undoAll() { m_entries.clear(); }

    const QVector<QVariant> &entries() const { return m_entries; }
    int size() const { return m_entries.size(); }
    bool isEmpty() const { return m_entries.isEmpty(); }

private:
    QVector<QVariant> m_entries;
};

// The mark a drag from `press` to `end` makes with `tool`: a ColorItem, or a
// null variant when the tool draws nothing by dragging (none, text).  The
// caller has already clamped `end` into its drawing area.  The preview shows
// every such mark; only a committable one is appended on release.
QVariant itemFromDrag(const QPoint &press, const QPoint &end, EditorTool tool, const QColor &color);

// Whether a dragged mark is big enough to keep: a rectangle wider or higher
// than one pixel, a line whose ends differ.
bool isCommittable(const QVariant &entry);

// The ColorItem for an accepted text.
QVariant textItem(const QString &text, const QPoint &pos, const QColor &color);

// Paints one entry; entries that are not ColorItems of a known kind are
// skipped silently.
void drawItem(QPainter &painter, const QVariant &entry, ItemHints hints);

// Paints every entry in list order; with a valid clip rectangle nothing is
// painted outside it.
void drawItems(QPainter &painter, const AnnotationList &list, ItemHints hints, const QRect &clip = QRect());

// Paints every entry into the picture itself, of any height: the raster
// painter cannot address rows past 32767, so each band of rows that entries
// touch is painted on its own, in place.  The entries' coordinates are
// scaled by `scale` (picture pixels per canvas pixel).
void drawItemsInto(QImage *picture, const AnnotationList &list, ItemHints hints, qreal scale = 1.0);

// The triangle at the end of an arrow: the tip and two corners 20 pixels
// back along the line, 12 degrees to either side.
QPolygon arrowHead(const QLine &line);

// The area an entry's painting can touch, for repainting only what a preview
// changes.
QRect itemBounds(const QVariant &entry);
