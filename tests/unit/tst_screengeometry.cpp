// Screen geometry on injected layouts this machine cannot show.
#include "capture/screengeometry.h"

#include <QtTest>

using ScreenGeometry::Layout;
using ScreenGeometry::Screen;

Q_DECLARE_METATYPE(ScreenGeometry::Layout)

namespace {

// A screen with a 40-pixel panel at its bottom.
Screen screen(int x, int y, int width, int height)
{
    return {QRect(x, y, width, height), QRect(x, y, width, height - 40)};
}

Layout layout(QVector<Screen> screens, int primary)
{
    Layout result;
    result.screens = std::move(screens);
    result.primary = primary;
    return result;
}

} // namespace

class TestScreenGeometry : public QObject
{
    Q_OBJECT

private slots:
    void desktopAndPrimary_data()
    {
        QTest::addColumn<Layout>("layout");
        QTest::addColumn<QRect>("virtualDesktop");
        QTest::addColumn<QRect>("primaryInOverlay");
        QTest::addColumn<QRect>("full");
        // The primary starts in the overlay where the secondary ends.
        QTest::newRow("secondary on the left")
            << layout({screen(0, 0, 1920, 1080), screen(-1280, 0, 1280, 1024)}, 0)
            << QRect(-1280, 0, 3200, 1080) << QRect(1280, 0, 1920, 1080) << QRect(0, 0, 3200, 1080);
        QTest::newRow("three screens, mixed sizes")
            << layout({screen(-1024, 200, 1024, 768), screen(0, 0, 2560, 1440), screen(2560, -300, 1080, 1920)}, 1)
            << QRect(-1024, -300, 4664, 1920) << QRect(1024, 300, 2560, 1440) << QRect(0, 0, 4664, 1920);
        QTest::newRow("primary listed second")
            << layout({screen(1920, 0, 1920, 1080), screen(0, 0, 1920, 1080)}, 1)
            << QRect(0, 0, 3840, 1080) << QRect(0, 0, 1920, 1080) << QRect(0, 0, 3840, 1080);
        QTest::newRow("no screens") << layout({}, 0) << QRect() << QRect() << QRect();
    }
    void desktopAndPrimary()
    {
        QFETCH(Layout, layout);
        QFETCH(QRect, virtualDesktop);
        QFETCH(QRect, primaryInOverlay);
        QFETCH(QRect, full);
        QCOMPARE(ScreenGeometry::virtualDesktopRect(layout), virtualDesktop);
        QCOMPARE(ScreenGeometry::primaryScreenInOverlay(layout), primaryInOverlay);
        QCOMPARE(ScreenGeometry::fullRect(layout), full);
        if (!layout.screens.isEmpty())
            QCOMPARE(ScreenGeometry::primaryScreenRect(layout), layout.screens.at(layout.primary).geometry);
    }

    void screenRects_data()
    {
        QTest::addColumn<Layout>("layout");
        QTest::addColumn<bool>("availableAreas");
        QTest::addColumn<bool>("desktopCoordinates");
        QTest::addColumn<QVector<QRect>>("expected");
        const Layout leftSecondary = layout({screen(0, 0, 1920, 1080), screen(-1280, 56, 1280, 1024)}, 0);
        QTest::newRow("full, overlay") << leftSecondary << false << false
                                       << QVector<QRect>{QRect(1280, 0, 1920, 1080), QRect(0, 56, 1280, 1024)};
        QTest::newRow("available, desktop") << leftSecondary << true << true
                                            << QVector<QRect>{QRect(0, 0, 1920, 1040), QRect(-1280, 56, 1280, 984)};
    }
    void screenRects()
    {
        QFETCH(Layout, layout);
        QFETCH(bool, availableAreas);
        QFETCH(bool, desktopCoordinates);
        QFETCH(QVector<QRect>, expected);
        QCOMPARE(ScreenGeometry::screenRects(layout, availableAreas, desktopCoordinates), expected);
    }
};

QTEST_MAIN(TestScreenGeometry)
#include "tst_screengeometry.moc"
