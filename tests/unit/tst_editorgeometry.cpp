#include "editor/editoractions.h"
#include "editor/selectionlogic.h"

#include <QtTest>

namespace {

// 100 x 60 pixels; its frame runs from (98, 98) to (201, 161)
const QRect kSelection(QPoint(100, 100), QPoint(199, 159));

SelectionLogic::Edges edges(const QString &names)
{
    SelectionLogic::Edges result;
    result.right = names.contains(QLatin1Char('R'));
    result.left = names.contains(QLatin1Char('L'));
    result.top = names.contains(QLatin1Char('T'));
    result.bottom = names.contains(QLatin1Char('B'));
    return result;
}

} // namespace

// The screenshot editor's selection and the text dialog's placement.
class TestEditorGeometry : public QObject
{
    Q_OBJECT

private slots:
    void grabbedEdges_data()
    {
        QTest::addColumn<QRect>("selection");
        QTest::addColumn<QPoint>("press");
        QTest::addColumn<QString>("grabbed");
        // each band straddles an edge: 2 pixels outside, 2 inside
        QTest::newRow("right band, outer pixel") << kSelection << QPoint(201, 130) << QStringLiteral("R");
        QTest::newRow("right band, inner pixel") << kSelection << QPoint(198, 130) << QStringLiteral("R");
        QTest::newRow("next to the right band") << kSelection << QPoint(197, 130) << QString();
        QTest::newRow("top-left corner") << kSelection << QPoint(99, 99) << QStringLiteral("LT");
        // on a one-pixel selection the bands overlap: right and bottom win
        QTest::newRow("tiny selection") << QRect(100, 100, 1, 1) << QPoint(100, 100) << QStringLiteral("RB");
    }
    void grabbedEdges()
    {
        QFETCH(QRect, selection);
        QFETCH(QPoint, press);
        QFETCH(QString, grabbed);
        const SelectionLogic::Edges found = SelectionLogic::grabbedEdges(SelectionLogic::frameOf(selection), press);
        const SelectionLogic::Edges wanted = edges(grabbed);
        QCOMPARE(found.right, wanted.right);
        QCOMPARE(found.left, wanted.left);
        QCOMPARE(found.top, wanted.top);
        QCOMPARE(found.bottom, wanted.bottom);
    }

    void resizeSelection_data()
    {
        QTest::addColumn<QRect>("selection");
        QTest::addColumn<QString>("grabbed");
        QTest::addColumn<QPoint>("previous");
        QTest::addColumn<QPoint>("current");
        QTest::addColumn<QRect>("expected");
        const QRect s = kSelection;
        QTest::newRow("corner, both ways") << s << QStringLiteral("RB") << QPoint(199, 159) << QPoint(219, 179)
                                           << QRect(QPoint(100, 100), QPoint(219, 179));
        // past the opposite edge: right and bottom leave 1 pixel at the old
        // left (top) edge, left and top leave 2 at the old right (bottom) edge
        QTest::newRow("right past left") << s << QStringLiteral("R") << QPoint(199, 130) << QPoint(20, 130)
                                         << QRect(QPoint(100, 100), QPoint(100, 159));
        QTest::newRow("left past right") << s << QStringLiteral("L") << QPoint(100, 130) << QPoint(400, 130)
                                         << QRect(QPoint(198, 100), QPoint(199, 159));
        // a pinned edge stays pinned until the cursor is back across
        const QRect pinned(QPoint(100, 100), QPoint(100, 159));
        QTest::newRow("pinned, cursor still beyond") << pinned << QStringLiteral("R") << QPoint(20, 130)
                                                     << QPoint(60, 130) << pinned;
        QTest::newRow("pinned, cursor back across") << pinned << QStringLiteral("R") << QPoint(101, 130)
                                                    << QPoint(131, 130) << QRect(QPoint(100, 100), QPoint(130, 159));
    }
    void resizeSelection()
    {
        QFETCH(QRect, selection);
        QFETCH(QString, grabbed);
        QFETCH(QPoint, previous);
        QFETCH(QPoint, current);
        QFETCH(QRect, expected);
        QCOMPARE(SelectionLogic::resizeSelection(selection, edges(grabbed), previous, current), expected);
    }

    void moveSelection_data()
    {
        QTest::addColumn<QRect>("selection");
        QTest::addColumn<QPoint>("delta");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("against the right edge") << QRect(1151, 100, 100, 60) << QPoint(60, 0) << QRect(1180, 100, 100, 60);
        // the edge test looks one step ahead
        QTest::newRow("one step short of the right edge") << QRect(1161, 100, 100, 60) << QPoint(10, 0)
                                                          << QRect(1180, 100, 100, 60);
        QTest::newRow("into the top-left corner") << QRect(5, 8, 100, 60) << QPoint(-30, -20) << QRect(0, 0, 100, 60);
    }
    void moveSelection()
    {
        QFETCH(QRect, selection);
        QFETCH(QPoint, delta);
        QFETCH(QRect, expected);
        QCOMPARE(SelectionLogic::moveSelection(selection, delta, QRect(0, 0, 1280, 800)), expected);
    }

    void textDialogPosition_data()
    {
        QTest::addColumn<QPoint>("cursor");
        QTest::addColumn<QPoint>("position");
        // a 200 x 100 dialog; a 1280 x 800 screen and a 1024 x 768 one to its right
        QTest::newRow("near the bottom edge") << QPoint(640, 760) << QPoint(540, 659);
        QTest::newRow("right edge of the second screen") << QPoint(2290, 100) << QPoint(2088, 50);
        QTest::newRow("outside every screen") << QPoint(2000, 790) << QPoint(1900, 740);
    }
    void textDialogPosition()
    {
        QFETCH(QPoint, cursor);
        QFETCH(QPoint, position);
        const QVector<QRect> screens = {QRect(0, 0, 1280, 800), QRect(1280, 0, 1024, 768)};
        QCOMPARE(::textDialogPosition(cursor, QSize(200, 100), screens), position);
    }
};

QTEST_MAIN(TestEditorGeometry)
#include "tst_editorgeometry.moc"
