// Where the recorders' panel goes and how dragging the frame changes the region, on planted screens.
#include "recorders/capturedialoglogic.h"

#include <QtTest>

using namespace CaptureDialogLogic;
using ScreenGeometry::Layout;
using ScreenGeometry::Screen;

Q_DECLARE_METATYPE(ScreenGeometry::Layout)
Q_DECLARE_METATYPE(CaptureDialogLogic::PanelSide)

namespace {

// The panel's size hints as laid out: a row of two buttons, or a column.
const QSize kRowHint(226, 52);
const QSize kColumnHint(114, 96);

// One 1280 x 800 screen with a 30-pixel taskbar at the bottom.
Layout oneScreen()
{
    return Layout{{Screen{QRect(0, 0, 1280, 800), QRect(0, 0, 1280, 770)}}, 0};
}

// 1920 x 1080 with its taskbar, and a shorter 1280 x 1024 to its right or left.
Layout twoScreens(bool secondOnTheLeft)
{
    const Screen primary{QRect(0, 0, 1920, 1080), QRect(0, 0, 1920, 1040)};
    const QRect second(secondOnTheLeft ? -1280 : 1920, 0, 1280, 1024);
    return Layout{{primary, Screen{second, second}}, 0};
}

} // namespace

class TestCaptureDialogLogic : public QObject
{
    Q_OBJECT

private slots:
    void panelPlacement_data()
    {
        QTest::addColumn<Layout>("layout");
        QTest::addColumn<QRect>("region");
        QTest::addColumn<PanelSide>("side");
        QTest::addColumn<QRect>("panel");
        const Layout one = oneScreen();
        // work area bottom 769: below needs region bottom + 60 < 769
        QTest::newRow("room below: under the frame, as wide as it")
            << one << QRect(100, 100, 300, 200) << PanelSide::Below << QRect(98, 301, 304, 52);
        QTest::newRow("narrower than the panel: the panel's own width")
            << one << QRect(300, 100, 80, 60) << PanelSide::Below << QRect(156, 161, 226, 52);
        QTest::newRow("bottom 61 above the taskbar: below")
            << one << QRect(100, 400, 300, 309) << PanelSide::Below << QRect(98, 710, 304, 52);
        QTest::newRow("bottom 60 above it: above")
            << one << QRect(100, 400, 300, 310) << PanelSide::Above << QRect(98, 347, 304, 52);
        QTest::newRow("tall, top 60 below the screen's: right, bottoms aligned")
            << one << QRect(100, 60, 300, 650) << PanelSide::Right << QRect(401, 616, 114, 96);
        QTest::newRow("tall, right edge 116 from the screen's: right")
            << one << QRect(900, 60, 264, 650) << PanelSide::Right << QRect(1165, 616, 114, 96);
        QTest::newRow("tall, right edge 115 from the screen's: left")
            << one << QRect(900, 60, 265, 650) << PanelSide::Left << QRect(781, 616, 114, 96);
        // no side has room: rather over the region than off the screen with its buttons
        QTest::newRow("the whole work area: inside, bottom-left")
            << one << QRect(0, 0, 1280, 770) << PanelSide::Left << QRect(0, 674, 114, 96);
        QTest::newRow("wide, at the right edge: pushed back onto the screen")
            << one << QRect(980, 100, 300, 100) << PanelSide::Below << QRect(976, 201, 304, 52);

        // the second screen's own work area decides: on the primary's it would be below
        QTest::newRow("near the bottom of a shorter second screen: above")
            << twoScreens(false) << QRect(2000, 500, 300, 471) << PanelSide::Above << QRect(1998, 447, 304, 52);
        // on neither screen: the virtual desktop (3200 x 1080) decides
        QTest::newRow("across both screens: the virtual desktop")
            << twoScreens(false) << QRect(1800, 900, 301, 101) << PanelSide::Below << QRect(1798, 1002, 305, 52);
        QTest::newRow("near the right edge of a screen at negative x: left")
            << twoScreens(true) << QRect(-400, 10, 300, 990) << PanelSide::Left << QRect(-519, 906, 114, 96);
    }
    void panelPlacement()
    {
        QFETCH(Layout, layout);
        QFETCH(QRect, region);
        QFETCH(PanelSide, side);
        QFETCH(QRect, panel);
        const PanelPlace place
            = placePanel(region, layout, [](PanelSide side) { return panelIsColumn(side) ? kColumnHint : kRowHint; });
        QCOMPARE(int(place.side), int(side));
        QCOMPARE(place.rect, panel);
    }

    // The overlay's region on the desktop and in the screens' own pixels.
    void regionOnTheScreens_data()
    {
        QTest::addColumn<Layout>("layout");
        QTest::addColumn<QRect>("overlay");
        QTest::addColumn<QRect>("desktop");
        QTest::addColumn<QRect>("device");
        const Layout one = oneScreen();
        Layout doubled = one;
        doubled.screens[0].scale = 2;
        QTest::newRow("twice the pixels") << doubled << QRect(10, 20, 100, 50) << QRect(10, 20, 100, 50)
                                          << QRect(20, 40, 200, 100);
        QTest::newRow("screen on the left") << twoScreens(true) << QRect(100, 50, 200, 100)
                                            << QRect(-1180, 50, 200, 100) << QRect(-1180, 50, 200, 100);
        // the overlay's origin is the top of the upper screen, not the primary's
        Layout above = twoScreens(false);
        above.screens[1].geometry = above.screens[1].available = QRect(0, -1024, 1280, 1024);
        QTest::newRow("screen above the primary") << above << QRect(100, 50, 200, 100) << QRect(100, -974, 200, 100)
                                                  << QRect(100, -974, 200, 100);
        Layout mixed = twoScreens(false);
        mixed.screens[1].scale = 2;
        QTest::newRow("on a second screen at twice the pixels")
            << mixed << QRect(2000, 100, 100, 50) << QRect(2000, 100, 100, 50) << QRect(2080, 200, 200, 100);
    }
    void regionOnTheScreens()
    {
        QFETCH(Layout, layout);
        QFETCH(QRect, overlay);
        QFETCH(QRect, desktop);
        QFETCH(QRect, device);
        const QRect region = regionOnDesktop(overlay, ScreenGeometry::virtualDesktopRect(layout));
        QCOMPARE(region, desktop);
        QCOMPARE(regionInDevicePixels(layout, region), device);
    }

    // Region (100, 100)-(299, 199); its frame runs from 98 to 301 and 98 to 201.
    void dragEdges_data()
    {
        QTest::addColumn<QRect>("pressed");
        QTest::addColumn<QPoint>("press");
        QTest::addColumn<QPoint>("now");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<QRect>("region");
        const QRect r(100, 100, 200, 100);
        QTest::newRow("right edge out") << r << QPoint(301, 150) << QPoint(331, 150) << int(Qt::SizeHorCursor)
                                        << QRect(100, 100, 230, 100);
        QTest::newRow("right edge past the left") << r << QPoint(301, 150) << QPoint(50, 150)
                                                  << int(Qt::SizeHorCursor) << QRect(100, 100, 1, 100);
        QTest::newRow("and back: under the pointer again") << r << QPoint(301, 150) << QPoint(200, 150)
                                                           << int(Qt::SizeHorCursor) << QRect(100, 100, 99, 100);
        QTest::newRow("left edge past the right") << r << QPoint(98, 150) << QPoint(400, 150)
                                                  << int(Qt::SizeHorCursor) << QRect(299, 100, 1, 100);
        QTest::newRow("top edge past the bottom") << r << QPoint(150, 99) << QPoint(150, 500)
                                                  << int(Qt::SizeVerCursor) << QRect(100, 199, 200, 1);
        QTest::newRow("bottom edge past the top") << r << QPoint(150, 201) << QPoint(150, -40)
                                                  << int(Qt::SizeVerCursor) << QRect(100, 100, 200, 1);
        QTest::newRow("bottom-left corner") << r << QPoint(98, 201) << QPoint(88, 221) << int(Qt::SizeBDiagCursor)
                                            << QRect(90, 100, 210, 120);
        QTest::newRow("top-left corner") << r << QPoint(99, 99) << QPoint(109, 104) << int(Qt::SizeFDiagCursor)
                                         << QRect(110, 105, 190, 95);
        QTest::newRow("top strip, reaching into the region") << r << QPoint(150, 101) << QPoint(150, 90)
                                                                  << int(Qt::SizeVerCursor) << QRect(100, 89, 200, 111);
        QTest::newRow("inside the region: nothing held") << r << QPoint(150, 150) << QPoint(10, 10)
                                                         << int(Qt::ArrowCursor) << r;
        // on a one-pixel region every strip overlaps: right and bottom win
        QTest::newRow("one pixel, pulled up-left: stays one pixel")
            << QRect(100, 100, 1, 1) << QPoint(100, 100) << QPoint(40, 40) << int(Qt::SizeFDiagCursor)
            << QRect(100, 100, 1, 1);
        QTest::newRow("one pixel, pulled down-right") << QRect(100, 100, 1, 1) << QPoint(100, 100) << QPoint(110, 105)
                                                      << int(Qt::SizeFDiagCursor) << QRect(100, 100, 11, 6);
    }
    void dragEdges()
    {
        QFETCH(QRect, pressed);
        QFETCH(QPoint, press);
        QFETCH(QPoint, now);
        QFETCH(int, cursor);
        QFETCH(QRect, region);
        const Edges edges = edgesAt(pressed, press);
        QCOMPARE(int(cursorFor(edges)), cursor);
        QCOMPARE(CaptureDialogLogic::dragEdges(pressed, edges, press, now), region);
    }
};

QTEST_APPLESS_MAIN(TestCaptureDialogLogic)
#include "tst_capturedialoglogic.moc"
