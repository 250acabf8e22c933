#include "editor/annotationitems.h"

#include <QPainter>
#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(EditorTool)

namespace {

const QRgb kPaper = qRgb(255, 255, 255);
const QColor kInk(200, 30, 40);

QImage render(const QVector<QVariant> &entries, const QRect &clip = QRect(),
              ItemHints hints = ItemHints::Antialiased)
{
    AnnotationList list;
    for (const QVariant &entry : entries)
        list.append(entry);
    QImage image(200, 200, QImage::Format_RGB32);
    image.fill(kPaper);
    QPainter painter(&image);
    drawItems(painter, list, hints, clip);
    return image;
}

// The bounding rectangle of everything painted, and whether any pixel is a
// blend of ink and paper.
QRect inked(const QImage &image, bool *blended = nullptr)
{
    QRect area;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            if (pixel != kPaper)
                area |= QRect(x, y, 1, 1);
            if (blended && pixel != kPaper && pixel != kInk.rgb())
                *blended = true;
        }
    }
    return area;
}

bool isInk(const QImage &image, const QPointF &point)
{
    return image.pixel(point.toPoint()) != kPaper;
}

} // namespace

class TestAnnotationItems : public QObject
{
    Q_OBJECT

private slots:
    void fromDrag_data();
    void fromDrag();
    void reversedRectangleDragsAreEqual();
    void arrowPointsAtTheDragEnd_data();
    void arrowPointsAtTheDragEnd();
    void textBaselineIsEightBelowTheClick();
    void listUndoColoursAndOrder();
    void foreignEntriesAreSkippedAndClipHolds();
    void boundsCoverWhatIsPainted();
};

void TestAnnotationItems::fromDrag_data()
{
    QTest::addColumn<EditorTool>("tool");
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QPoint>("end");
    QTest::addColumn<bool>("committed");
    QTest::addColumn<QRect>("painted");

    const EditorTool rect = EditorTool::Rect;
    QTest::newRow("click") << rect << QPoint(10, 10) << QPoint(10, 10) << false << QRect();
    QTest::newRow("one pixel both ways") << rect << QPoint(10, 10) << QPoint(11, 11) << false << QRect();
    // two pixels wide and none high is a rectangle; it paints one row
    QTest::newRow("two wide, flat") << rect << QPoint(10, 10) << QPoint(12, 10) << true << QRect(10, 10, 3, 1);
    // the mark covers the press pixel and the end pixel, solid
    QTest::newRow("filled") << rect << QPoint(40, 50) << QPoint(90, 70) << true << QRect(40, 50, 51, 21);
    // a 3-pixel outline centred on the edges
    QTest::newRow("highlight") << EditorTool::Highlight << QPoint(40, 40) << QPoint(100, 80) << true
                               << QRect(39, 39, 63, 43);
    QTest::newRow("line of no length") << EditorTool::Line << QPoint(50, 50) << QPoint(50, 50) << false << QRect();
    QTest::newRow("line of one pixel") << EditorTool::Line << QPoint(50, 50) << QPoint(51, 50) << true << QRect();
    QTest::newRow("no tool") << EditorTool::None << QPoint(10, 10) << QPoint(90, 90) << false << QRect();
}

void TestAnnotationItems::fromDrag()
{
    QFETCH(EditorTool, tool);
    QFETCH(QPoint, press);
    QFETCH(QPoint, end);
    QFETCH(bool, committed);
    QFETCH(QRect, painted);

    const QVariant item = itemFromDrag(press, end, tool, kInk);
    QCOMPARE(isCommittable(item), committed);
    if (!painted.isValid())
        return;
    bool blended = false;
    const QImage image = render({item}, QRect());
    QCOMPARE(inked(image, &blended), painted);
    // rectangles are pixel-exact: a redaction has no half-covered fringe
    QVERIFY(!blended);
    if (tool == EditorTool::Highlight)
        QCOMPARE(image.pixel(70, 60), kPaper);
}

void TestAnnotationItems::reversedRectangleDragsAreEqual()
{
    for (EditorTool tool : {EditorTool::Rect, EditorTool::Highlight}) {
        const QImage forward = render({itemFromDrag(QPoint(30, 40), QPoint(120, 90), tool, kInk)});
        QCOMPARE(render({itemFromDrag(QPoint(120, 90), QPoint(30, 40), tool, kInk)}), forward);
        QCOMPARE(render({itemFromDrag(QPoint(120, 40), QPoint(30, 90), tool, kInk)}), forward);
    }
}

void TestAnnotationItems::arrowPointsAtTheDragEnd_data()
{
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QPoint>("end");

    QTest::newRow("right") << QPoint(30, 100) << QPoint(170, 100);
    QTest::newRow("left") << QPoint(170, 100) << QPoint(30, 100);
    QTest::newRow("up") << QPoint(100, 170) << QPoint(100, 30);
    QTest::newRow("down-left") << QPoint(170, 30) << QPoint(40, 160);
    // the head keeps its size, longer than the line itself
    QTest::newRow("shorter than the head") << QPoint(100, 100) << QPoint(106, 100);
}

void TestAnnotationItems::arrowPointsAtTheDragEnd()
{
    QFETCH(QPoint, press);
    QFETCH(QPoint, end);
    const QImage image = render({itemFromDrag(press, end, EditorTool::Arrow, kInk)});

    const QPointF tip(end);
    const QPointF along = QPointF(end - press) / std::hypot(end.x() - press.x(), end.y() - press.y());
    const QPointF across(-along.y(), along.x());
    // 16 pixels back the 24-degree head is 6.8 pixels wide plus its pen;
    // 25 back it has ended (20 pixels long); nothing lies beyond the tip
    QVERIFY(isInk(image, tip - along * 16 + across * 4) && isInk(image, tip - along * 16 - across * 4));
    QVERIFY(!isInk(image, tip - along * 25 + across * 4) && !isInk(image, tip - along * 25 - across * 4));
    QVERIFY(!isInk(image, tip + along * 5));
    if ((end - press).manhattanLength() > 40) {
        // a 3-pixel line without a head at its start
        const QPointF start = QPointF(press) + along * 16;
        QVERIFY(isInk(image, start));
        QVERIFY(!isInk(image, start + across * 4) && !isInk(image, start - across * 4));
    }
}

void TestAnnotationItems::textBaselineIsEightBelowTheClick()
{
    const QRect area = inked(render({textItem(QStringLiteral("HHH"), QPoint(30, 40), kInk)}));
    // "H" stands on the baseline: its lowest row is just above y + 8
    QCOMPARE(area.bottom(), 47);
    // capitals of 20-pixel type reach about 13 pixels higher
    QVERIFY2(area.top() > 30 && area.top() < 38, qPrintable(QString::number(area.top())));
    // starting at the click, give or take the glyph's side bearing
    QVERIFY2(area.left() >= 30 && area.left() <= 33, qPrintable(QString::number(area.left())));
    // an accepted empty text is an entry that paints nothing
    QVERIFY(inked(render({textItem(QString(), QPoint(30, 40), kInk)})).isEmpty());
}

void TestAnnotationItems::listUndoColoursAndOrder()
{
    AnnotationList list;
    list.undo();
    list.undoAll();
    list.undo();
    QVERIFY(list.isEmpty());

    const QColor first(10, 200, 10);
    const QColor second(10, 10, 200);
    const QVector<QVariant> entries = {itemFromDrag(QPoint(20, 20), QPoint(100, 100), EditorTool::Rect, first),
                                       itemFromDrag(QPoint(60, 60), QPoint(140, 140), EditorTool::Rect, second),
                                       itemFromDrag(QPoint(0, 0), QPoint(199, 199), EditorTool::Rect, kInk)};
    for (const QVariant &entry : entries)
        list.append(entry);
    list.undo();
    QCOMPARE(list.size(), 2);

    // each entry keeps its own colour; later ones are painted over earlier
    const QImage image = render(list.entries());
    QCOMPARE(QColor(image.pixel(30, 30)), first);
    QCOMPARE(QColor(image.pixel(80, 80)), second);
    QCOMPARE(image.pixel(150, 30), kPaper);
    list.undoAll();
    QVERIFY(list.isEmpty());
}

void TestAnnotationItems::foreignEntriesAreSkippedAndClipHolds()
{
    ColorItem wrongInside;
    wrongInside.item = QVariant(42);
    wrongInside.color = kInk;
    const QImage skipped = render({QVariant(QStringLiteral("not a mark")), QVariant::fromValue(wrongInside),
                                   QVariant::fromValue(RectItem{QRect(100, 100, 20, 20), false}),
                                   itemFromDrag(QPoint(20, 20), QPoint(60, 60), EditorTool::Rect, kInk)});
    QCOMPARE(inked(skipped), QRect(20, 20, 41, 41));

    const QRect clip(50, 50, 60, 40);
    const QImage clipped = render({itemFromDrag(QPoint(10, 10), QPoint(190, 190), EditorTool::Rect, kInk),
                                   itemFromDrag(QPoint(0, 70), QPoint(199, 70), EditorTool::Arrow, kInk),
                                   textItem(QStringLiteral("clipped text"), QPoint(40, 60), kInk)},
                                  clip);
    QCOMPARE(inked(clipped), clip);
}

void TestAnnotationItems::boundsCoverWhatIsPainted()
{
    // while a mark is dragged the editor repaints only its bounds
    QVector<QVariant> items = {textItem(QStringLiteral("Wg|jy"), QPoint(60, 90), kInk)};
    const QPoint centre(100, 100);
    for (int degrees = 0; degrees < 360; degrees += 15) {
        const double a = qDegreesToRadians(double(degrees));
        for (int length : {6, 70}) {
            const QPoint end = centre + QPoint(qRound(std::cos(a) * length), qRound(std::sin(a) * length));
            for (EditorTool tool : {EditorTool::Rect, EditorTool::Highlight, EditorTool::Line, EditorTool::Arrow})
                items << itemFromDrag(centre, end, tool, kInk);
        }
    }
    for (const QVariant &item : items) {
        for (ItemHints hints : {ItemHints::Antialiased, ItemHints::None})
            QVERIFY(itemBounds(item).contains(inked(render({item}, QRect(), hints))));
    }
}

QTEST_MAIN(TestAnnotationItems)
#include "tst_annotationitems.moc"
