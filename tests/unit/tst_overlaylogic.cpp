#include "capture/capturestate.h"
#include "capture/overlaylogic.h"
#include "capture/wndmain.h"
#include "patternwindow.h"

#include <QGuiApplication>
#include <QRandomGenerator>
#include <QScreen>
#include <QtTest>

using namespace OverlayLogic;

namespace {

// A 1280 x 800 primary screen with the tool frame's design size.
const QRect kPrimary(0, 0, 1280, 800);
const QSize kFrame(253, 390);

void sendMouse(QWidget *widget, QEvent::Type type, const QPoint &pos, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, pos, widget->mapToGlobal(pos),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

// The first pixel where the two pictures differ outside the region, or
// (-1, -1) when every difference lies inside it.
QPoint differenceOutside(const QImage &a, const QImage &b, const QRegion &region)
{
    for (int y = 0; y < a.height(); ++y) {
        const QRgb *la = reinterpret_cast<const QRgb *>(a.constScanLine(y));
        const QRgb *lb = reinterpret_cast<const QRgb *>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if (la[x] != lb[x] && !region.contains(QPoint(x, y)))
                return QPoint(x, y);
        }
    }
    return QPoint(-1, -1);
}

} // namespace

class TestOverlayLogic : public QObject
{
    Q_OBJECT

private slots:
    void clickTest_data();
    void clickTest();
    void hintText_data();
    void hintText();
    void colorText_data();
    void colorText();
    void places();
    void dodge_data();
    void dodge();
    void cutToWorkAreas_data();
    void cutToWorkAreas();
    void selectionChangeCoversTheRepaintedPixels();
};

void TestOverlayLogic::clickTest_data()
{
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QPoint>("release");
    QTest::addColumn<QRect>("selection");
    QTest::addColumn<bool>("click");

    QTest::newRow("release at the press point") << QPoint(300, 200) << QPoint(300, 200) << QRect(300, 200, 0, 0) << true;
    QTest::newRow("one pixel right") << QPoint(300, 200) << QPoint(301, 200) << QRect(300, 200, 1, 0) << true;
    QTest::newRow("one pixel diagonally up-left") << QPoint(300, 200) << QPoint(299, 199) << QRect(299, 199, 1, 1) << true;
    QTest::newRow("two pixels down") << QPoint(300, 200) << QPoint(300, 202) << QRect(300, 200, 0, 2) << false;
    QTest::newRow("200 pixels sideways, no height") << QPoint(300, 200) << QPoint(500, 200) << QRect(300, 200, 200, 0) << false;
    QTest::newRow("dragged right and down") << QPoint(10, 20) << QPoint(110, 70) << QRect(10, 20, 100, 50) << false;
    QTest::newRow("dragged left and up") << QPoint(110, 70) << QPoint(10, 20) << QRect(10, 20, 100, 50) << false;
    QTest::newRow("dragged left and down") << QPoint(110, 20) << QPoint(10, 70) << QRect(10, 20, 100, 50) << false;
    QTest::newRow("dragged right and up") << QPoint(10, 70) << QPoint(110, 20) << QRect(10, 20, 100, 50) << false;
    QTest::newRow("from the origin") << QPoint(0, 0) << QPoint(1279, 799) << QRect(0, 0, 1279, 799) << false;
}

void TestOverlayLogic::clickTest()
{
    QFETCH(QPoint, press);
    QFETCH(QPoint, release);
    QFETCH(QRect, selection);
    QFETCH(bool, click);

    QCOMPARE(selectionRect(press, release), selection);
    QCOMPARE(isClick(selectionRect(press, release)), click);
}

void TestOverlayLogic::hintText_data()
{
    QTest::addColumn<QPoint>("press");
    QTest::addColumn<QPoint>("cursor");
    QTest::addColumn<bool>("dragging");
    QTest::addColumn<QString>("hint");

    QTest::newRow("not dragging") << QPoint(1, 2) << QPoint(640, 400) << false << "X:640, Y:400 | #12AB3F";
    // The area is measured to the pixel left of and above the cursor: one
    // smaller than the selection when dragging right or down ...
    QTest::newRow("dragging right and down") << QPoint(10, 20) << QPoint(110, 70) << true
                                             << "X:110, Y:70 | Area:99x49 | #12AB3F";
    // ... and one larger when dragging left or up.
    QTest::newRow("dragging left and up") << QPoint(110, 70) << QPoint(10, 20) << true
                                          << "X:10, Y:20 | Area:101x51 | #12AB3F";
    QTest::newRow("dragging right and up") << QPoint(10, 70) << QPoint(110, 20) << true
                                           << "X:110, Y:20 | Area:99x51 | #12AB3F";
    QTest::newRow("just pressed") << QPoint(50, 60) << QPoint(50, 60) << true << "X:50, Y:60 | Area:1x1 | #12AB3F";
}

void TestOverlayLogic::hintText()
{
    QFETCH(QPoint, press);
    QFETCH(QPoint, cursor);
    QFETCH(bool, dragging);
    QFETCH(QString, hint);

    QCOMPARE(OverlayLogic::hintText(cursor, press, dragging, QStringLiteral("#12AB3F")), hint);
}

void TestOverlayLogic::colorText_data()
{
    QTest::addColumn<QPoint>("cursor");
    QTest::addColumn<QString>("color");

    // The hint names the pixel left of and above the cursor.
    QTest::newRow("x = 0") << QPoint(0, 5) << "#000000";
    QTest::newRow("y = 0") << QPoint(5, 0) << "#000000";
    QTest::newRow("origin") << QPoint(0, 0) << "#000000";
    QTest::newRow("first pixel, upper case") << QPoint(1, 1) << "#ABCDEF";
    QTest::newRow("inside") << QPoint(4, 3) << "#0A0B0C";
    QTest::newRow("last pixel") << QPoint(8, 6) << "#FE0102";
    QTest::newRow("beyond the right edge") << QPoint(9, 3) << "#000000";
    QTest::newRow("beyond the bottom edge") << QPoint(3, 7) << "#000000";
}

void TestOverlayLogic::colorText()
{
    QFETCH(QPoint, cursor);
    QFETCH(QString, color);

    QImage picture(8, 6, QImage::Format_RGB32);
    picture.fill(QColor(0x55, 0x66, 0x77));
    picture.setPixel(0, 0, qRgb(0xab, 0xcd, 0xef));
    picture.setPixel(3, 2, qRgb(0x0a, 0x0b, 0x0c));
    picture.setPixel(7, 5, qRgb(0xfe, 0x01, 0x02));

    QCOMPARE(OverlayLogic::colorText(QPixmap::fromImage(picture), cursor), color);
}

void TestOverlayLogic::places()
{
    // The frame ends 50 pixels short of the primary screen's right and
    // bottom edges, or starts 50 below its top.
    QCOMPARE(lowerPlace(kPrimary, kFrame), QPoint(976, 359));
    QCOMPARE(upperPlace(kPrimary, kFrame), QPoint(976, 50));

    // A primary screen right of a secondary one, lower down.
    const QRect shifted(1366, 100, 1920, 1080);
    QCOMPARE(lowerPlace(shifted, kFrame), QPoint(1366 + 1919 - 50 - 253, 100 + 1079 - 50 - 390));
    QCOMPARE(upperPlace(shifted, kFrame), QPoint(1366 + 1919 - 50 - 253, 150));
}

void TestOverlayLogic::dodge_data()
{
    QTest::addColumn<QPoint>("frameAt");
    QTest::addColumn<QPoint>("cursor");
    QTest::addColumn<QPoint>("expected");

    const QPoint lower = lowerPlace(kPrimary, kFrame);
    const QPoint upper = upperPlace(kPrimary, kFrame);
    const QRect atLower(lower, kFrame);
    const QRect atUpper(upper, kFrame);

    QTest::newRow("inside the lower frame") << lower << atLower.center() << upper;
    QTest::newRow("inside the upper frame") << upper << atUpper.center() << lower;
    QTest::newRow("40 left of it") << lower << QPoint(atLower.left() - 40, 600) << upper;
    QTest::newRow("41 left of it") << lower << QPoint(atLower.left() - 41, 600) << lower;
    QTest::newRow("40 right of it") << lower << QPoint(atLower.right() + 40, 600) << upper;
    QTest::newRow("41 right of it") << lower << QPoint(atLower.right() + 41, 600) << lower;
    QTest::newRow("40 below the upper one") << upper << QPoint(1100, atUpper.bottom() + 40) << lower;
    QTest::newRow("41 below the upper one") << upper << QPoint(1100, atUpper.bottom() + 41) << upper;
    QTest::newRow("40 above the lower one") << lower << QPoint(1100, atLower.top() - 40) << upper;
    QTest::newRow("near the corner, diagonally") << lower << atLower.topLeft() - QPoint(40, 40) << upper;
    QTest::newRow("far away") << lower << QPoint(100, 100) << lower;
    // Any place but the upper one counts as lower.
    QTest::newRow("moved elsewhere") << QPoint(500, 300) << QPoint(600, 400) << upper;
}

void TestOverlayLogic::dodge()
{
    QFETCH(QPoint, frameAt);
    QFETCH(QPoint, cursor);
    QFETCH(QPoint, expected);

    QCOMPARE(OverlayLogic::dodge(QRect(frameAt, kFrame), cursor, kPrimary), expected);
}

void TestOverlayLogic::cutToWorkAreas_data()
{
    QTest::addColumn<QRect>("window");
    QTest::addColumn<QVector<QRect>>("areas");
    QTest::addColumn<QRect>("expected");

    // A screen with a 30-pixel taskbar at the bottom.
    const QVector<QRect> one{QRect(0, 0, 1280, 770)};
    QTest::newRow("maximised, frame overhangs the screen") << QRect(-4, -4, 1288, 778) << one << QRect(0, 0, 1280, 770);
    QTest::newRow("exactly the work area") << QRect(0, 0, 1280, 770) << one << QRect(0, 0, 1280, 770);
    QTest::newRow("ordinary window") << QRect(100, 100, 500, 400) << one << QRect(100, 100, 500, 400);
    QTest::newRow("full width, short of the taskbar") << QRect(0, 0, 1280, 700) << one << QRect(0, 0, 1280, 700);
    QTest::newRow("overhanging one edge only") << QRect(-50, 10, 600, 300) << one << QRect(-50, 10, 600, 300);
    QTest::newRow("no active window") << QRect() << one << QRect();

    const QVector<QRect> two{QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 1024)};
    QTest::newRow("maximised on the second screen") << QRect(1916, -4, 1288, 1032) << two << QRect(1920, 0, 1280, 1024);
    QTest::newRow("maximised on the first screen") << QRect(-8, -8, 1936, 1064) << two << QRect(0, 0, 1920, 1040);
    QTest::newRow("across both, covering neither") << QRect(1500, 100, 800, 600) << two << QRect(1500, 100, 800, 600);
    // Screens are tried in order; once cut to the first, the window no longer
    // covers the second.
    QTest::newRow("covering both") << QRect(-10, -10, 3300, 1100) << two << QRect(0, 0, 1920, 1040);
}

void TestOverlayLogic::cutToWorkAreas()
{
    QFETCH(QRect, window);
    QFETCH(QVector<QRect>, areas);
    QFETCH(QRect, expected);

    QCOMPARE(OverlayLogic::cutToWorkAreas(window, areas), expected);
}

// Drives the overlay itself through drags and renders it whole before and
// after every move: every pixel that changed must lie in the region the
// overlay repaints, or the screen would keep stale pixels.
void TestOverlayLogic::selectionChangeCoversTheRepaintedPixels()
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    PatternWindow desktop(screen);
    QVERIFY(desktop.showAndWait());

    WndMain overlay;
    QCOMPARE(overlay.captureState()->plainGrab().size(), screen.size());
    // Only the overlay's own painting is under test, not the tool frame's.
    overlay.toolFrame()->hide();

    struct Drag
    {
        QPoint press;
        QVector<QPoint> moves;
    };
    QVector<Drag> drags{
        {{200, 150}, {{201, 150}, {201, 151}, {202, 152}, {260, 190}, {261, 190}, {261, 191}}},
        // back through the press point to the other side, and along its lines
        {{300, 300}, {{350, 340}, {300, 340}, {250, 340}, {250, 300}, {250, 250}, {300, 250}, {301, 251}, {299, 249}}},
        // to the window's edges and corners
        {{400, 300},
         {{screen.width() - 1, 300}, {screen.width() - 1, screen.height() - 1}, {0, 0}, {0, screen.height() - 1}}},
        // big jumps
        {{10, 10}, {{700, 500}, {20, 550}, {790, 15}}},
    };
    QRandomGenerator random(20240611);
    for (int d = 0; d < 4; ++d) {
        Drag walk{{random.bounded(screen.width()), random.bounded(screen.height())}, {}};
        QPoint at = walk.press;
        for (int i = 0; i < 40; ++i) {
            const int step = i % 3 ? 3 : 60;
            at = QPoint(qBound(0, at.x() + random.bounded(-step, step + 1), screen.width() - 1),
                        qBound(0, at.y() + random.bounded(-step, step + 1), screen.height() - 1));
            walk.moves.append(at);
        }
        drags.append(walk);
    }

    for (const Drag &drag : drags) {
        sendMouse(&overlay, QEvent::MouseButtonPress, drag.press, Qt::LeftButton);
        QPoint cursor = drag.press;
        QImage before = overlay.grab().toImage();
        for (const QPoint &next : drag.moves) {
            sendMouse(&overlay, QEvent::MouseMove, next, Qt::LeftButton);
            const QImage after = overlay.grab().toImage();
            const QRect from = selectionRect(drag.press, cursor);
            const QRect to = selectionRect(drag.press, next);
            const QPoint stale = differenceOutside(before, after, selectionChange(from, to));
            QVERIFY2(stale == QPoint(-1, -1),
                     qPrintable(QStringLiteral("press (%1,%2), move (%3,%4) -> (%5,%6): pixel (%7,%8) changed outside")
                                    .arg(drag.press.x()).arg(drag.press.y()).arg(cursor.x()).arg(cursor.y())
                                    .arg(next.x()).arg(next.y()).arg(stale.x()).arg(stale.y())));
            before = after;
            cursor = next;
        }
        // Released where it was pressed: a click, which captures nothing.
        sendMouse(&overlay, QEvent::MouseButtonRelease, drag.press, Qt::NoButton);
    }

    // A one-pixel move of a large selection leaves its middle alone.
    const QRegion small = selectionChange(QRect(100, 100, 400, 300), QRect(100, 100, 401, 300));
    QVERIFY(!small.contains(QPoint(300, 250)));
}

QTEST_MAIN(TestOverlayLogic)
#include "tst_overlaylogic.moc"
