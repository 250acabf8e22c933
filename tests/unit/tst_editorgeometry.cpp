// The screenshot editor's selection and the text dialog's placement.
#include "editor/editoractions.h"
#include "editor/selectionlogic.h"

#include <QtTest>

class TestEditorGeometry : public QObject
{
    Q_OBJECT

private slots:
    // A press grabs the edges under it; each mouse move then resizes by its step.
    void dragTheEdges_data()
    {
        QTest::addColumn<QRect>("selection");
        QTest::addColumn<QPoint>("press");
        QTest::addColumn<QVector<QPoint>>("moves");
        QTest::addColumn<QRect>("expected");
        const QRect s(100, 100, 100, 60); // its frame runs from (98, 98) to (201, 161)
        using Moves = QVector<QPoint>;
        // each grip straddles its edge: 2 pixels outside, 2 inside
        QTest::newRow("right grip, outer pixel") << s << QPoint(201, 130) << Moves{{211, 130}} << QRect(100, 100, 110, 60);
        QTest::newRow("right grip, inner pixel") << s << QPoint(198, 130) << Moves{{208, 130}} << QRect(100, 100, 110, 60);
        QTest::newRow("next to the right grip") << s << QPoint(197, 130) << Moves{{207, 130}} << s;
        QTest::newRow("top-left corner, two edges") << s << QPoint(99, 99) << Moves{{89, 79}} << QRect(90, 80, 110, 80);
        // the grips of one pixel overlap: right and bottom win
        QTest::newRow("one pixel") << QRect(100, 100, 1, 1) << QPoint(101, 101) << Moves{{111, 106}} << QRect(100, 100, 11, 6);
        // past the opposite edge the left edge leaves 2 pixels, the right 1, until the cursor is back across
        QTest::newRow("left past right") << s << QPoint(100, 130) << Moves{{400, 130}} << QRect(198, 100, 2, 60);
        QTest::newRow("right past left") << s << QPoint(199, 130) << Moves{{20, 130}, {60, 130}} << QRect(100, 100, 1, 60);
        QTest::newRow("and back across") << s << QPoint(199, 130) << Moves{{20, 130}, {101, 130}, {131, 130}}
                                         << QRect(100, 100, 31, 60);
    }
    void dragTheEdges()
    {
        QFETCH(QRect, selection);
        QFETCH(QPoint, press);
        QFETCH(QVector<QPoint>, moves);
        QFETCH(QRect, expected);
        const SelectionLogic::Edges edges = SelectionLogic::grabbedEdges(SelectionLogic::frameOf(selection), press);
        QPoint previous = press;
        for (const QPoint &current : moves)
            selection = SelectionLogic::resizeSelection(selection, edges, std::exchange(previous, current), current);
        QCOMPARE(selection, expected);
    }

    void moveSelection_data()
    {
        QTest::addColumn<QRect>("selection");
        QTest::addColumn<QPoint>("delta");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("against the right edge") << QRect(1151, 100, 100, 60) << QPoint(60, 0) << QRect(1180, 100, 100, 60);
        // the edge test looks one step ahead
        QTest::newRow("one step short of it") << QRect(1161, 100, 100, 60) << QPoint(10, 0) << QRect(1180, 100, 100, 60);
        QTest::newRow("into the top-left corner") << QRect(5, 8, 100, 60) << QPoint(-30, -20) << QRect(0, 0, 100, 60);
    }
    void moveSelection()
    {
        QFETCH(QRect, selection);
        QFETCH(QPoint, delta);
        QFETCH(QRect, expected);
        QCOMPARE(SelectionLogic::moveSelection(selection, delta, QRect(0, 0, 1280, 800)), expected);
    }

    // A 200 x 100 dialog; a 1280 x 800 screen and a 1024 x 768 one to its right.
    void textDialogPosition_data()
    {
        QTest::addColumn<QPoint>("cursor");
        QTest::addColumn<QPoint>("position");
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
