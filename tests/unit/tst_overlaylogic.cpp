// The overlay's geometry and texts as pure functions.
#include "capture/overlaylogic.h"

#include <QPixmap>
#include <QtTest>

using namespace OverlayLogic;

// A 1280 x 800 primary screen with the tool frame's design size.
static const QRect kPrimary(0, 0, 1280, 800);
static const QSize kFrame(253, 390);

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
        QTest::newRow("two pixels down") << QPoint(300, 200) << QPoint(300, 202) << QRect(300, 200, 0, 2) << false;
        QTest::newRow("dragged left and up") << QPoint(110, 70) << QPoint(10, 20) << QRect(10, 20, 100, 50) << false;
    }
    void clickTest()
    {
        QFETCH(QPoint, press);
        QFETCH(QPoint, release);
        QFETCH(QRect, selection);
        QFETCH(bool, click);
        QCOMPARE(selectionRect(press, release), selection);
        QCOMPARE(isClick(selectionRect(press, release)), click);
    }

    void hintText_data()
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
    }
    void hintText()
    {
        QFETCH(QPoint, press);
        QFETCH(QPoint, cursor);
        QFETCH(bool, dragging);
        QFETCH(QString, hint);
        QCOMPARE(OverlayLogic::hintText(cursor, press, dragging, QStringLiteral("#12AB3F")), hint);
    }

    void colorText_data()
    {
        QTest::addColumn<QPoint>("cursor");
        QTest::addColumn<QString>("color");
        // The hint names the pixel left of and above the cursor.
        QTest::newRow("origin") << QPoint(0, 0) << "#000000";
        QTest::newRow("first pixel, upper case") << QPoint(1, 1) << "#ABCDEF";
        QTest::newRow("last pixel") << QPoint(8, 6) << "#FE0102";
        QTest::newRow("beyond the right edge") << QPoint(9, 3) << "#000000";
    }
    void colorText()
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

    void dodge_data()
    {
        QTest::addColumn<QPoint>("frameAt");
        QTest::addColumn<QPoint>("cursor");
        QTest::addColumn<QPoint>("expected");
        // The frame ends 50 pixels short of the screen's right and bottom
        // edges, or starts 50 below its top.
        const QPoint lower(976, 359);
        const QPoint upper(976, 50);
        const QRect atLower(lower, kFrame);
        const QRect atUpper(upper, kFrame);
        QTest::newRow("inside the lower frame") << lower << atLower.center() << upper;
        QTest::newRow("inside the upper frame") << upper << atUpper.center() << lower;
        QTest::newRow("40 left of it") << lower << QPoint(atLower.left() - 40, 600) << upper;
        QTest::newRow("41 left of it") << lower << QPoint(atLower.left() - 41, 600) << lower;
        QTest::newRow("40 below the upper one") << upper << QPoint(1100, atUpper.bottom() + 40) << lower;
        QTest::newRow("41 below the upper one") << upper << QPoint(1100, atUpper.bottom() + 41) << upper;
        // any place but the upper one counts as lower
        QTest::newRow("moved elsewhere") << QPoint(500, 300) << QPoint(600, 400) << upper;
    }
    void dodge()
    {
        QFETCH(QPoint, frameAt);
        QFETCH(QPoint, cursor);
        QFETCH(QPoint, expected);
        QCOMPARE(OverlayLogic::dodge(QRect(frameAt, kFrame), cursor, kPrimary), expected);
    }

    void cutToWorkAreas_data()
    {
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QVector<QRect>>("areas");
        QTest::addColumn<QRect>("expected");
        // A screen with a 30-pixel taskbar at the bottom.
        const QVector<QRect> one{QRect(0, 0, 1280, 770)};
        QTest::newRow("maximised, frame overhangs the screen") << QRect(-4, -4, 1288, 778) << one << QRect(0, 0, 1280, 770);
        QTest::newRow("overhanging one edge only") << QRect(-50, 10, 600, 300) << one << QRect(-50, 10, 600, 300);

        const QVector<QRect> two{QRect(0, 0, 1920, 1040), QRect(1920, 0, 1280, 1024)};
        QTest::newRow("maximised on the second screen") << QRect(1916, -4, 1288, 1032) << two << QRect(1920, 0, 1280, 1024);
        // Screens are tried in order; once cut to the first, the window no longer
        // covers the second.
        QTest::newRow("covering both") << QRect(-10, -10, 3300, 1100) << two << QRect(0, 0, 1920, 1040);
    }
    void cutToWorkAreas()
    {
        QFETCH(QRect, window);
        QFETCH(QVector<QRect>, areas);
        QFETCH(QRect, expected);
        QCOMPARE(OverlayLogic::cutToWorkAreas(window, areas), expected);
    }
};

QTEST_MAIN(TestOverlayLogic)
#include "tst_overlaylogic.moc"
