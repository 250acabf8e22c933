// Annotation items judged by what they paint.
#include "editor/annotationitems.h"

#include <QPainter>
#include <QtTest>

#include <cmath>

Q_DECLARE_METATYPE(EditorTool)

namespace {

const QRgb kPaper = qRgb(255, 255, 255);
const QColor kInk(200, 30, 40);

QImage render(const QVector<QVariant> &entries, ItemHints hints = ItemHints::Antialiased)
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

// The bounding rectangle of everything painted; `blended` tells whether any
// pixel is a mix of ink and paper.
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
        bool blended = false;
        const QImage image = render({item});
        QCOMPARE(inked(image, &blended), painted);
        QVERIFY2(!blended, "a redaction has no half-covered fringe");
        if (tool == EditorTool::Highlight)
            QCOMPARE(image.pixel(painted.center()), kPaper);
        // dragged backwards or across, the same mark
        QCOMPARE(render({itemFromDrag(end, press, tool, kInk)}), image);
        QCOMPARE(render({itemFromDrag(QPoint(end.x(), press.y()), QPoint(press.x(), end.y()), tool, kInk)}), image);
    }

    void arrowPointsAtTheDragEnd_data()
    {
        QTest::addColumn<QPoint>("press");
        QTest::addColumn<QPoint>("end");
        QTest::newRow("down-left") << QPoint(170, 30) << QPoint(40, 160);
        // the head keeps its size, longer than the line itself
        QTest::newRow("shorter than the head") << QPoint(100, 100) << QPoint(106, 100);
    }
    void arrowPointsAtTheDragEnd()
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
            QVERIFY(isInk(image, start) && !isInk(image, start + across * 4) && !isInk(image, start - across * 4));
        }
    }

    void textBaselineIsEightBelowTheClick()
    {
        const QRect area = inked(render({textItem(QStringLiteral("HHH"), QPoint(30, 40), kInk)}));
        // "H" stands on the baseline; capitals of 20-pixel type reach about 13
        // pixels higher, starting at the click give or take the side bearing
        QCOMPARE(area.bottom(), 47);
        QVERIFY2(area.top() > 30 && area.top() < 38 && area.left() >= 30 && area.left() <= 33,
                 qPrintable(QStringLiteral("%1,%2").arg(area.left()).arg(area.top())));
    }

    void listUndoAndColours()
    {
        AnnotationList list;
        list.undo();
        list.undoAll();
        QVERIFY(list.isEmpty());
        const QColor first(10, 200, 10);
        const QColor second(10, 10, 200);
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

    void boundsCoverWhatIsPainted()
    {
        // while a mark is dragged the editor repaints only its bounds
        QVector<QVariant> items = {textItem(QStringLiteral("Wg|jy"), QPoint(60, 90), kInk)};
        const QPoint centre(100, 100);
        for (int degrees = 0; degrees < 360; degrees += 30) {
            const double a = qDegreesToRadians(double(degrees));
            for (int length : {6, 70}) {
                const QPoint end = centre + QPoint(qRound(std::cos(a) * length), qRound(std::sin(a) * length));
                for (EditorTool tool : {EditorTool::Rect, EditorTool::Highlight, EditorTool::Line, EditorTool::Arrow})
                    items << itemFromDrag(centre, end, tool, kInk);
            }
        }
        for (const QVariant &item : items)
            for (ItemHints hints : {ItemHints::Antialiased, ItemHints::None})
                QVERIFY(itemBounds(item).contains(inked(render({item}, hints))));
    }
};

QTEST_MAIN(TestAnnotationItems)
#include "tst_annotationitems.moc"
