// Screen geometry on injected layouts this machine cannot show.
#include "core/screengeometry.h"

#include <QtTest>

using ScreenGeometry::Layout;
using Rects = QVector<QRect>;

Q_DECLARE_METATYPE(ScreenGeometry::Layout)

// A screen with a 40-pixel panel at its bottom.
static ScreenGeometry::Screen screen(int x, int y, int width, int height)
{
    return {QRect(x, y, width, height), QRect(x, y, width, height - 40)};
}

class TestScreenGeometry : public QObject
{
    Q_OBJECT

private slots:
    // The primary starts in the overlay where the screens left of or above it end.
    void layouts_data()
    {
        QTest::addColumn<Layout>("layout");
        QTest::addColumn<QRect>("virtualDesktop");
        QTest::addColumn<QRect>("primaryInOverlay");
        QTest::addColumn<QRect>("full");
        QTest::addColumn<Rects>("inOverlay");         // full screens
        QTest::addColumn<Rects>("availableOnDesktop"); // without the panels
        QTest::newRow("secondary on the left") << Layout{{screen(0, 0, 1920, 1080), screen(-1280, 56, 1280, 1024)}, 0}
            << QRect(-1280, 0, 3200, 1080) << QRect(1280, 0, 1920, 1080) << QRect(0, 0, 3200, 1080)
            << Rects{{1280, 0, 1920, 1080}, {0, 56, 1280, 1024}} << Rects{{0, 0, 1920, 1040}, {-1280, 56, 1280, 984}};
        QTest::newRow("three screens, mixed sizes")
            << Layout{{screen(-1024, 200, 1024, 768), screen(0, 0, 2560, 1440), screen(2560, -300, 1080, 1920)}, 1}
            << QRect(-1024, -300, 4664, 1920) << QRect(1024, 300, 2560, 1440) << QRect(0, 0, 4664, 1920)
            << Rects{{0, 500, 1024, 768}, {1024, 300, 2560, 1440}, {3584, 0, 1080, 1920}}
            << Rects{{-1024, 200, 1024, 728}, {0, 0, 2560, 1400}, {2560, -300, 1080, 1880}};
        QTest::newRow("primary listed second") << Layout{{screen(1920, 0, 1920, 1080), screen(0, 0, 1920, 1080)}, 1}
            << QRect(0, 0, 3840, 1080) << QRect(0, 0, 1920, 1080) << QRect(0, 0, 3840, 1080)
            << Rects{{1920, 0, 1920, 1080}, {0, 0, 1920, 1080}} << Rects{{1920, 0, 1920, 1040}, {0, 0, 1920, 1040}};
        QTest::newRow("no screens") << Layout{} << QRect() << QRect() << QRect() << Rects() << Rects();
    }
    void layouts()
    {
        QFETCH(Layout, layout);
        QFETCH(QRect, virtualDesktop);
        QFETCH(QRect, primaryInOverlay);
        QFETCH(QRect, full);
        QFETCH(Rects, inOverlay);
        QFETCH(Rects, availableOnDesktop);
        QCOMPARE(ScreenGeometry::virtualDesktopRect(layout), virtualDesktop);
        QCOMPARE(ScreenGeometry::primaryScreenInOverlay(layout), primaryInOverlay);
        QCOMPARE(ScreenGeometry::fullRect(layout), full);
        QCOMPARE(ScreenGeometry::screenRects(layout, false, false), inOverlay);
        QCOMPARE(ScreenGeometry::screenRects(layout, true, true), availableOnDesktop);
        if (!layout.screens.isEmpty())
            QCOMPARE(ScreenGeometry::primaryScreenRect(layout), layout.screens.at(layout.primary).geometry);
    }
};

QTEST_MAIN(TestScreenGeometry)
#include "tst_screengeometry.moc"
