// Annotation items judged by what they paint.
#include "editor/annotationitems.h"

#include <QPainter>
#include <QtTest>

Q_DECLARE_METATYPE(EditorTool)

static const QRgb kPaper = qRgb(255, 255, 255);
static const QColor kInk(200, 30, 40);

static QImage render(const QVector<QVariant> &entries, ItemHints hints = ItemHints::Antialiased)
{
    AnnotationList list;
    for (const QVariant &entry : entries)
        list.append(entry);
    QImage image(200, 200, QImage::Format_RGB32);
    image.fill(kPaper);
    QPainter painter(&image);
    drawItems(painter, list, hints);
    return image;
}

// The bounding rectangle of everything painted.
static QRect inked(const QImage &image)
{
    QRect area;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != kPaper)
                area |= QRect(x, y, 1, 1);
    return area;
}

class TestAnnotationItems : public QObject
{
    Q_OBJECT

private slots:
    void fromDrag_data()
    {
        QTest::addColumn<EditorTool>("tool");
        QTest::addColumn<QPoint>("end");
        QTest::addColumn<bool>("committed");
        QTest::addColumn<QRect>("painted");
        // all from (40, 50); a rectangle needs two pixels one way
        QTest::newRow("one pixel both ways") << EditorTool::Rect << QPoint(41, 51) << false << QRect();
        QTest::newRow("two wide, flat") << EditorTool::Rect << QPoint(42, 50) << true << QRect(40, 50, 3, 1);
        QTest::newRow("filled, solid to the end pixel") << EditorTool::Rect << QPoint(90, 70) << true << QRect(40, 50, 51, 21);
        QTest::newRow("highlight, 3-pixel outline") << EditorTool::Highlight << QPoint(100, 90) << true << QRect(39, 49, 63, 43);
        QTest::newRow("line of no length") << EditorTool::Line << QPoint(40, 50) << false << QRect();
        QTest::newRow("line of one pixel") << EditorTool::Line << QPoint(41, 50) << true << QRect();
    }
    void fromDrag()
    {
        QFETCH(EditorTool, tool);
        QFETCH(QPoint, end);
        QFETCH(bool, committed);
        QFETCH(QRect, painted);
        const QPoint press(40, 50);
        const QVariant item = itemFromDrag(press, end, tool, kInk);
        QCOMPARE(isCommittable(item), committed);
        if (!painted.isValid())
            return;
        const QImage image = render({item});
        QCOMPARE(inked(image), painted);
        // ink and paper only: a redaction has no half-covered fringe
        QCOMPARE(image.convertToFormat(QImage::Format_Indexed8).colorCount(), 2);
        if (tool == EditorTool::Highlight)
            QCOMPARE(image.pixel(painted.center()), kPaper);
        // dragged backwards or across, the same mark
        QCOMPARE(render({itemFromDrag(end, press, tool, kInk)}), image);
        QCOMPARE(render({itemFromDrag(QPoint(end.x(), press.y()), QPoint(press.x(), end.y()), tool, kInk)}), image);
    }

    void listUndoAndColours()
    {
        AnnotationList list;
        list.undo();
        list.undoAll();
        QVERIFY(list.isEmpty());
        const QColor first(10, 200, 10), second(10, 10, 200);
        list.append(itemFromDrag(QPoint(20, 20), QPoint(100, 100), EditorTool::Rect, first));
        list.append(itemFromDrag(QPoint(60, 60), QPoint(140, 140), EditorTool::Rect, second));
        list.append(itemFromDrag(QPoint(0, 0), QPoint(199, 199), EditorTool::Rect, kInk));
        list.undo();
        // each entry keeps its own colour; later ones are painted over earlier
        const QImage image = render(list.entries());
        QCOMPARE(QColor(image.pixel(30, 30)), first);
        QCOMPARE(QColor(image.pixel(80, 80)), second);
        QCOMPARE(image.pixel(150, 30), kPaper);
        list.undoAll();
        QVERIFY(list.isEmpty());
    }

    // A text, and drags in every direction, long and shorter than an arrowhead.
    void marksInEveryDirection()
    {
        // "H" stands on the baseline, 8 below the click; 20-pixel capitals reach about 13 higher
        const QRect text = inked(render({textItem(QStringLiteral("HHH"), QPoint(30, 40), kInk)}));
        QCOMPARE(text.bottom(), 47);
        QVERIFY(QRect(30, 31, 4, 7).contains(text.topLeft())); // the click, give or take the side bearing
        QVector<QVariant> items = {textItem(QStringLiteral("Wg|jy"), QPoint(60, 90), kInk)};
        for (int degrees = 0; degrees < 360; degrees += 15) {
            for (int length : {6, 70}) {
                const QLineF drag(QLineF::fromPolar(length, degrees).translated(100, 100).toLine());
                for (EditorTool tool : {EditorTool::Rect, EditorTool::Highlight, EditorTool::Line, EditorTool::Arrow})
                    items << itemFromDrag(drag.p1().toPoint(), drag.p2().toPoint(), tool, kInk);
                if (degrees % 45) // arrowheads are sampled where pixels lie exactly on the line
                    continue;
                const QImage arrow = render({items.last()});
                const QTransform tip = QTransform::fromTranslate(drag.x2(), drag.y2()).rotate(-degrees);
                const auto ink = [&](double back, double side) {
                    return arrow.pixel(tip.map(QPointF(-back, side)).toPoint()) != kPaper;
                };
                // 16 back the 24-degree head is 6.8 wide plus its pen; 25 back it has ended; nothing beyond the tip
                QVERIFY(ink(16, 4) && ink(16, -4) && !ink(25, 4) && !ink(25, -4) && !ink(-5, 0));
                if (length > 40) // a 3-pixel line, no head at its start
                    QVERIFY(ink(length - 16, 0) && !ink(length - 16, 4) && !ink(length - 16, -4));
            }
        }
        // while a mark is dragged the editor repaints only its bounds
        for (const QVariant &item : items)
            for (ItemHints hints : {ItemHints::Antialiased, ItemHints::None})
                QVERIFY(itemBounds(item).contains(inked(render({item}, hints))));
    }
};

QTEST_MAIN(TestAnnotationItems)
#include "tst_annotationitems.moc"
