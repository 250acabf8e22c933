#include "editor/editoractions.h"
#include "editor/selectionlogic.h"

#include <QtTest>

Q_DECLARE_METATYPE(EditorTool)

namespace {

// 100 x 60 pixels; its frame runs from (98, 98) to (201, 161)
const QRect kSelection(QPoint(100, 100), QPoint(199, 159));
const QRect kDesktop(0, 0, 1280, 800);

SelectionLogic::Edges edges(const QString &names)
{
    SelectionLogic::Edges result;
    result.right = names.contains(QLatin1Char('R'));
    result.left = names.contains(QLatin1Char('L'));
    result.top = names.contains(QLatin1Char('T'));
    result.bottom = names.contains(QLatin1Char('B'));
    return result;
}

QString names(const SelectionLogic::Edges &edges)
{
    QString result;
    for (const auto &[grabbed, name] : {std::pair{edges.right, 'R'}, std::pair{edges.left, 'L'},
                                        std::pair{edges.top, 'T'}, std::pair{edges.bottom, 'B'}}) {
        if (grabbed)
            result += QLatin1Char(name);
    }
    return result;
}

constexpr int kUnchanged = -1;

} // namespace

// The screenshot editor's selection and the text dialog's placement.
class TestEditorGeometry : public QObject
{
    Q_OBJECT

private slots:
    void grabbedEdges_data();
    void grabbedEdges();
    void resizeSelection_data();
    void resizeSelection();
    void moveSelection_data();
    void moveSelection();
    void cursorFor_data();
    void cursorFor();
    void textDialogPosition_data();
    void textDialogPosition();
};

void TestEditorGeometry::grabbedEdges_data()
{
    QTest::addColumn<QRect>("selection");
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QString>("grabbed");

    // each band straddles an edge: 2 pixels outside, 2 inside
    QTest::newRow("inside") << kSelection << QPoint(150, 130) << QString();
    QTest::newRow("right band, outer pixel") << kSelection << QPoint(201, 130) << QStringLiteral("R");
    QTest::newRow("right band, inner pixel") << kSelection << QPoint(198, 130) << QStringLiteral("R");
    QTest::newRow("next to the right band") << kSelection << QPoint(197, 130) << QString();
    QTest::newRow("top band") << kSelection << QPoint(150, 98) << QStringLiteral("T");
    QTest::newRow("top-left corner") << kSelection << QPoint(99, 99) << QStringLiteral("LT");
    QTest::newRow("bottom-right corner") << kSelection << QPoint(200, 160) << QStringLiteral("RB");
    QTest::newRow("bottom-left corner") << kSelection << QPoint(98, 161) << QStringLiteral("LB");
    QTest::newRow("outside the frame") << kSelection << QPoint(202, 130) << QString();
    // on a one-pixel selection the bands overlap: right and bottom win
    QTest::newRow("tiny selection") << QRect(100, 100, 1, 1) << QPoint(100, 100) << QStringLiteral("RB");
}

void TestEditorGeometry::grabbedEdges()
{
    QFETCH(QRect, selection);
    QFETCH(QPoint, press);
    QFETCH(QString, grabbed);
    QCOMPARE(names(SelectionLogic::grabbedEdges(SelectionLogic::frameOf(selection), press)), grabbed);
}

void TestEditorGeometry::resizeSelection_data()
{
    QTest::addColumn<QRect>("selection");
    QTest::addColumn<QString>("grabbed");
    QTest::addColumn<QPoint>("previous");
    QTest::addColumn<QPoint>("current");
    QTest::addColumn<QRect>("expected");

    const QRect s = kSelection;
    QTest::newRow("right edge out") << s << QStringLiteral("R") << QPoint(199, 130) << QPoint(229, 140)
                                    << QRect(QPoint(100, 100), QPoint(229, 159));
    QTest::newRow("corner, both ways") << s << QStringLiteral("RB") << QPoint(199, 159) << QPoint(219, 179)
                                       << QRect(QPoint(100, 100), QPoint(219, 179));
    QTest::newRow("opposite corner") << s << QStringLiteral("LT") << QPoint(100, 100) << QPoint(90, 120)
                                     << QRect(QPoint(90, 120), QPoint(199, 159));
    // past the opposite edge: right and bottom leave 1 pixel at the old left
    // (top) edge, left and top leave 2 at the old right (bottom) edge
    QTest::newRow("right past left") << s << QStringLiteral("R") << QPoint(199, 130) << QPoint(20, 130)
                                     << QRect(QPoint(100, 100), QPoint(100, 159));
    QTest::newRow("left past right") << s << QStringLiteral("L") << QPoint(100, 130) << QPoint(400, 130)
                                     << QRect(QPoint(198, 100), QPoint(199, 159));
    QTest::newRow("bottom past top") << s << QStringLiteral("B") << QPoint(150, 159) << QPoint(150, 10)
                                     << QRect(QPoint(100, 100), QPoint(199, 100));
    QTest::newRow("top past bottom") << s << QStringLiteral("T") << QPoint(150, 100) << QPoint(150, 500)
                                     << QRect(QPoint(100, 158), QPoint(199, 159));
    // a pinned edge stays pinned until the cursor is back across
    const QRect pinned(QPoint(100, 100), QPoint(100, 159));
    QTest::newRow("pinned, cursor still beyond") << pinned << QStringLiteral("R") << QPoint(20, 130)
                                                 << QPoint(60, 130) << pinned;
    QTest::newRow("pinned, cursor back across") << pinned << QStringLiteral("R") << QPoint(101, 130)
                                                << QPoint(131, 130) << QRect(QPoint(100, 100), QPoint(130, 159));
}

void TestEditorGeometry::resizeSelection()
{
    QFETCH(QRect, selection);
    QFETCH(QString, grabbed);
    QFETCH(QPoint, previous);
    QFETCH(QPoint, current);
    QFETCH(QRect, expected);
    QCOMPARE(SelectionLogic::resizeSelection(selection, edges(grabbed), previous, current), expected);
}

void TestEditorGeometry::moveSelection_data()
{
    QTest::addColumn<QRect>("selection");
    QTest::addColumn<QPoint>("delta");
    QTest::addColumn<QRect>("expected");

    QTest::newRow("free") << QRect(100, 100, 100, 60) << QPoint(10, -5) << QRect(110, 95, 100, 60);
    QTest::newRow("against the right edge") << QRect(1151, 100, 100, 60) << QPoint(60, 0)
                                            << QRect(1180, 100, 100, 60);
    // the edge test looks one step ahead
    QTest::newRow("one step short of the right edge") << QRect(1161, 100, 100, 60) << QPoint(10, 0)
                                                      << QRect(1180, 100, 100, 60);
    QTest::newRow("two steps short of the right edge") << QRect(1151, 100, 100, 60) << QPoint(10, 0)
                                                       << QRect(1161, 100, 100, 60);
    QTest::newRow("into the top-left corner") << QRect(5, 8, 100, 60) << QPoint(-30, -20) << QRect(0, 0, 100, 60);
    QTest::newRow("into the bottom-right corner") << QRect(1100, 700, 100, 60) << QPoint(500, 500)
                                                  << QRect(1180, 740, 100, 60);
    QTest::newRow("the whole desktop stays") << kDesktop << QPoint(15, -7) << kDesktop;
}

void TestEditorGeometry::moveSelection()
{
    QFETCH(QRect, selection);
    QFETCH(QPoint, delta);
    QFETCH(QRect, expected);
    QCOMPARE(SelectionLogic::moveSelection(selection, delta, kDesktop), expected);
}

void TestEditorGeometry::cursorFor_data()
{
    QTest::addColumn<QPoint>("pos");
    QTest::addColumn<EditorTool>("tool");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<int>("cursor");

    QTest::newRow("outside") << QPoint(300, 300) << EditorTool::Rect << false << int(Qt::ArrowCursor);
    QTest::newRow("outside, busy") << QPoint(300, 300) << EditorTool::Rect << true << kUnchanged;
    QTest::newRow("top-left corner") << QPoint(99, 99) << EditorTool::None << false << int(Qt::SizeFDiagCursor);
    QTest::newRow("top-right corner") << QPoint(200, 99) << EditorTool::None << false << int(Qt::SizeBDiagCursor);
    QTest::newRow("left edge") << QPoint(99, 130) << EditorTool::Text << false << int(Qt::SizeHorCursor);
    QTest::newRow("bottom edge") << QPoint(150, 161) << EditorTool::Rect << false << int(Qt::SizeVerCursor);
    QTest::newRow("inside, text") << QPoint(150, 130) << EditorTool::Text << false << int(Qt::IBeamCursor);
    QTest::newRow("inside, arrow") << QPoint(150, 130) << EditorTool::Arrow << false << int(Qt::CrossCursor);
    QTest::newRow("inside, no tool") << QPoint(150, 130) << EditorTool::None << false << int(Qt::OpenHandCursor);
    QTest::newRow("on an edge, busy") << QPoint(99, 130) << EditorTool::None << true << kUnchanged;
}

void TestEditorGeometry::cursorFor()
{
    QFETCH(QPoint, pos);
    QFETCH(EditorTool, tool);
    QFETCH(bool, busy);
    QFETCH(int, cursor);
    const auto shape = SelectionLogic::cursorFor(kSelection, pos, tool, busy);
    QCOMPARE(shape ? int(*shape) : kUnchanged, cursor);
}

void TestEditorGeometry::textDialogPosition_data()
{
    QTest::addColumn<QPoint>("cursor");
    QTest::addColumn<QPoint>("position");

    // a 200 x 100 dialog; a 1280 x 800 screen and a 1024 x 768 one to its
    // right
    QTest::newRow("centred") << QPoint(640, 400) << QPoint(540, 350);
    QTest::newRow("near the right edge") << QPoint(1200, 400) << QPoint(1064, 350);
    QTest::newRow("near the bottom edge") << QPoint(640, 760) << QPoint(540, 659);
    QTest::newRow("near the top-left corner") << QPoint(50, 30) << QPoint(0, 0);
    QTest::newRow("left edge of the second screen") << QPoint(1300, 400) << QPoint(1280, 350);
    QTest::newRow("right edge of the second screen") << QPoint(2290, 100) << QPoint(2088, 50);
    QTest::newRow("outside every screen") << QPoint(2000, 790) << QPoint(1900, 740);
}

void TestEditorGeometry::textDialogPosition()
{
    QFETCH(QPoint, cursor);
    QFETCH(QPoint, position);
    const QVector<QRect> screens = {QRect(0, 0, 1280, 800), QRect(1280, 0, 1024, 768)};
    QCOMPARE(::textDialogPosition(cursor, QSize(200, 100), screens), position);
}

QTEST_MAIN(TestEditorGeometry)
#include "tst_editorgeometry.moc"
