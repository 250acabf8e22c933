// The overlay's geometry and texts as pure functions.
#include "capture/overlaylogic.h"
#include "ui/toolframeplace.h"

#include <QPixmap>
#include <QtTest>

static const QSize kFrame(253, 390); // the tool frame's design size

class TestOverlayLogic : public QObject
{
    Q_OBJECT

private slots:
    void clickTest_data()
    {
        QTest::addColumn<QPoint>("press");
        QTest::addColumn<QPoint>("release");
        QTest::addColumn<QRect>("selection");
        QTest::addColumn<bool>("click");
        QTest::newRow("release at the press point") << QPoint(300, 200) << QPoint(300, 200) << QRect(300, 200, 0, 0) << true;
        QTest::newRow("one pixel diagonally up-left") << QPoint(300, 200) << QPoint(299, 199) << QRect(299, 199, 1, 1) << true;
        // a straight drag has no width or no height: no pixel to capture
        QTest::newRow("straight down") << QPoint(300, 200) << QPoint(300, 202) << QRect(300, 200, 0, 2) << true;
        QTest::newRow("200 sideways") << QPoint(500, 200) << QPoint(300, 200) << QRect(300, 200, 200, 0) << true;
        QTest::newRow("one pixel wide, 50 high") << QPoint(300, 200) << QPoint(301, 250) << QRect(300, 200, 1, 50) << false;
        QTest::newRow("dragged left and up") << QPoint(110, 70) << QPoint(10, 20) << QRect(10, 20, 100, 50) << false;
    }
    void clickTest()
    {
        QFETCH(QPoint, press);
        QFETCH(QPoint, release);
        QFETCH(QRect, selection);
        QFETCH(bool, click);
        QCOMPARE(OverlayLogic::selectionRect(press, release), selection);
        QCOMPARE(OverlayLogic::isClick(selection), click);
    }

    // The hint over an 8 x 6 grab names the pixel left of and above the cursor and measures the
    // area to it: one smaller than the selection dragging right or down, one larger left or up.
    void hintText()
    {
        QImage picture(8, 6, QImage::Format_RGB32);
        picture.fill(Qt::gray);
        picture.setPixel(0, 0, qRgb(0xab, 0xcd, 0xef));
        picture.setPixel(7, 5, qRgb(0xfe, 0x01, 0x02));
        const auto hint = [&picture](const QPoint &press, const QPoint &cursor, bool dragging) {
            return OverlayLogic::hintText(cursor, press, dragging, OverlayLogic::colorText(QPixmap::fromImage(picture), cursor));
        };
        QCOMPARE(hint({}, {0, 0}, false), QStringLiteral("X:0, Y:0 | #000000"));
        QCOMPARE(hint({}, {9, 3}, false), QStringLiteral("X:9, Y:3 | #000000")); // beyond the right edge
        QCOMPARE(hint({2, 1}, {8, 6}, true), QStringLiteral("X:8, Y:6 | Area:5x4 | #FE0102")); // to the last pixel
        QCOMPARE(hint({8, 6}, {1, 1}, true), QStringLiteral("X:1, Y:1 | Area:8x6 | #ABCDEF")); // the first, upper case
    }

    // The frame ends 50 short of the right and bottom screen edges, or starts 50 below the top.
    void dodge_data()
    {
        QTest::addColumn<QPoint>("frameAt");
        QTest::addColumn<QPoint>("cursor");
        QTest::addColumn<QPoint>("expected");
        const QPoint lower(976, 359), upper(976, 50);
        const QRect atLower(lower, kFrame), atUpper(upper, kFrame);
        QTest::newRow("inside the lower frame") << lower << atLower.center() << upper;
        QTest::newRow("inside the upper frame") << upper << atUpper.center() << lower;
        QTest::newRow("40 left of it") << lower << QPoint(atLower.left() - 40, 600) << upper;
        QTest::newRow("41 left of it") << lower << QPoint(atLower.left() - 41, 600) << lower;
        QTest::newRow("40 below the upper one") << upper << QPoint(1100, atUpper.bottom() + 40) << lower;
        QTest::newRow("41 below the upper one") << upper << QPoint(1100, atUpper.bottom() + 41) << upper;
        QTest::newRow("moved elsewhere: counts as lower") << QPoint(500, 300) << QPoint(600, 400) << upper;
    }
    void dodge()
    {
        QFETCH(QPoint, frameAt);
        QFETCH(QPoint, cursor);
        QFETCH(QPoint, expected);
        QCOMPARE(ToolFramePlace::dodge(QRect(frameAt, kFrame), cursor, QRect(0, 0, 1280, 800)), expected);
    }

    void cutToWorkAreas_data()
    {
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QVector<QRect>>("areas");
        QTest::addColumn<QRect>("expected");
        const QVector<QRect> one{QRect(0, 0, 1280, 770)}; // a 30-pixel taskbar at the bottom
        const QVector<QRect> two{QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 1024)};
        QTest::newRow("maximised, frame overhangs") << QRect(-4, -4, 1288, 778) << one << QRect(0, 0, 1280, 770);
        QTest::newRow("overhanging one edge only") << QRect(-50, 10, 600, 300) << one << QRect(-50, 10, 600, 300);
        QTest::newRow("maximised on the second") << QRect(1916, -4, 1288, 1032) << two << QRect(1920, 0, 1280, 1024);
        // screens are tried in order; cut to the first, it no longer covers the second
        QTest::newRow("covering both") << QRect(-10, -10, 3300, 1100) << two << QRect(0, 0, 1920, 1040);
    }
    void cutToWorkAreas()
    {
        QFETCH(QRect, window);
        QFETCH(QVector<QRect>, areas);
        QFETCH(QRect, expected);
        QCOMPARE(OverlayLogic::cutToWorkAreas(window, areas), expected);
    }

    // Captions centred under their buttons, kept 4 pixels clear of the frame's edges and of the
    // midpoints between buttons; none when one is too wide for its room.
    void captionLefts_data()
    {
        QTest::addColumn<QVector<int>>("widths");
        QTest::addColumn<QVector<int>>("lefts");
        // buttons centred at 30, 100 and 160 in a frame 200 wide: rooms [4, 63], [67, 128], [132, 196]
        QTest::newRow("narrow: centred") << QVector<int>{20, 20, 20} << QVector<int>{20, 90, 150};
        QTest::newRow("widest that fit") << QVector<int>{59, 61, 64} << QVector<int>{4, 67, 132};
        QTest::newRow("pushed in from the frame's edge") << QVector<int>{56, 20, 20} << QVector<int>{4, 90, 150};
        QTest::newRow("pushed away from the next") << QVector<int>{20, 60, 20} << QVector<int>{20, 68, 150};
        QTest::newRow("middle one pixel too wide") << QVector<int>{20, 62, 20} << QVector<int>{};
        QTest::newRow("last one pixel too wide") << QVector<int>{20, 20, 65} << QVector<int>{};
    }
    void captionLefts()
    {
        QFETCH(QVector<int>, widths);
        QFETCH(QVector<int>, lefts);
        QCOMPARE(OverlayLogic::captionLefts({30, 100, 160}, widths, 200, 4), lefts);
    }
};

QTEST_MAIN(TestOverlayLogic)
#include "tst_overlaylogic.moc"
