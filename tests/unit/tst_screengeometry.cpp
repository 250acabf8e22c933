#include "capture/screengeometry.h"
#include "patternwindow.h"

#include <QApplication>
#include <QScreen>
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
    void desktopAndPrimary_data();
    void desktopAndPrimary();
    void screenRects_data();
    void screenRects();
    void liveFunctionsLogTheirResults();
    void liveGrabCoversTheVirtualDesktop();
};

void TestScreenGeometry::desktopAndPrimary_data()
{
    QTest::addColumn<Layout>("layout");
    QTest::addColumn<QRect>("virtualDesktop");
    QTest::addColumn<QRect>("primaryInOverlay");
    QTest::addColumn<QRect>("full");

    QTest::newRow("single screen")
        << layout({screen(0, 0, 1280, 800)}, 0)
        << QRect(0, 0, 1280, 800) << QRect(0, 0, 1280, 800) << QRect(0, 0, 1280, 800);
    // The primary starts in the overlay where the secondary ends.
    QTest::newRow("secondary on the left")
        << layout({screen(0, 0, 1920, 1080), screen(-1280, 0, 1280, 1024)}, 0)
        << QRect(-1280, 0, 3200, 1080) << QRect(1280, 0, 1920, 1080) << QRect(0, 0, 3200, 1080);
    QTest::newRow("three screens, mixed sizes")
        << layout({screen(-1024, 200, 1024, 768), screen(0, 0, 2560, 1440), screen(2560, -300, 1080, 1920)}, 1)
        << QRect(-1024, -300, 4664, 1920) << QRect(1024, 300, 2560, 1440) << QRect(0, 0, 4664, 1920);
    QTest::newRow("stacked, secondary above")
        << layout({screen(0, 0, 1920, 1080), screen(320, -1024, 1280, 1024)}, 0)
        << QRect(0, -1024, 1920, 2104) << QRect(0, 1024, 1920, 1080) << QRect(0, 0, 1920, 2104);
    QTest::newRow("primary listed second")
        << layout({screen(1920, 0, 1920, 1080), screen(0, 0, 1920, 1080)}, 1)
        << QRect(0, 0, 3840, 1080) << QRect(0, 0, 1920, 1080) << QRect(0, 0, 3840, 1080);
    QTest::newRow("no screens")
        << layout({}, 0) << QRect() << QRect() << QRect();
}

void TestScreenGeometry::desktopAndPrimary()
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

void TestScreenGeometry::screenRects_data()
{
    QTest::addColumn<Layout>("layout");
    QTest::addColumn<bool>("availableAreas");
    QTest::addColumn<bool>("desktopCoordinates");
    QTest::addColumn<QVector<QRect>>("expected");

    const Layout leftSecondary = layout({screen(0, 0, 1920, 1080), screen(-1280, 56, 1280, 1024)}, 0);
    QTest::newRow("full, overlay") << leftSecondary << false << false
                                   << QVector<QRect>{QRect(1280, 0, 1920, 1080), QRect(0, 56, 1280, 1024)};
    QTest::newRow("full, desktop") << leftSecondary << false << true
                                   << QVector<QRect>{QRect(0, 0, 1920, 1080), QRect(-1280, 56, 1280, 1024)};
    QTest::newRow("available, overlay") << leftSecondary << true << false
                                        << QVector<QRect>{QRect(1280, 0, 1920, 1040), QRect(0, 56, 1280, 984)};
    QTest::newRow("available, desktop") << leftSecondary << true << true
                                        << QVector<QRect>{QRect(0, 0, 1920, 1040), QRect(-1280, 56, 1280, 984)};

    const Layout stacked = layout({screen(0, 0, 1920, 1080), screen(0, -900, 1600, 900)}, 0);
    QTest::newRow("stacked, available, overlay") << stacked << true << false
                                                 << QVector<QRect>{QRect(0, 900, 1920, 1040), QRect(0, 0, 1600, 860)};
}

void TestScreenGeometry::screenRects()
{
    QFETCH(Layout, layout);
    QFETCH(bool, availableAreas);
    QFETCH(bool, desktopCoordinates);
    QFETCH(QVector<QRect>, expected);

    QCOMPARE(ScreenGeometry::screenRects(layout, availableAreas, desktopCoordinates), expected);
}

void TestScreenGeometry::liveFunctionsLogTheirResults()
{
    const Layout live = ScreenGeometry::currentLayout();
    QVERIFY(!live.screens.isEmpty());
    const auto line = [](const char *text, const QRect &r) {
        return QString::fromLatin1(text).arg(r.left()).arg(r.top()).arg(r.right()).arg(r.bottom()).toLatin1();
    };

    const QRect desktop = ScreenGeometry::virtualDesktopRect(live);
    QTest::ignoreMessage(QtDebugMsg, line("Virtual screen bounds: %1,%2,%3,%4", desktop).constData());
    QCOMPARE(ScreenGeometry::virtualDesktopRect(), desktop);

    const QRect primary = QGuiApplication::primaryScreen()->geometry();
    QTest::ignoreMessage(QtDebugMsg, line("Primary screen bounds: %1,%2,%3,%4", primary).constData());
    QCOMPARE(ScreenGeometry::primaryScreenRect(), primary);

    const QRect inOverlay = primary.translated(-desktop.topLeft());
    QTest::ignoreMessage(QtDebugMsg, line("Primary screen on virtual desktop bounds: %1,%2,%3,%4", inOverlay).constData());
    QCOMPARE(ScreenGeometry::primaryScreenInOverlay(), inOverlay);

    const QVector<QRect> areas = ScreenGeometry::screenRects(live, true, false);
    for (const QRect &area : areas)
        QTest::ignoreMessage(QtDebugMsg, line("Available geometry bounds: %1,%2,%3,%4", area).constData());
    QCOMPARE(ScreenGeometry::screenRects(true, false), areas);
}

void TestScreenGeometry::liveGrabCoversTheVirtualDesktop()
{
    // Off X11 the grab goes through Qt's screen grab, which here sees only
    // the application's own windows: cover the desktop with one.
    const QRect desktop = ScreenGeometry::virtualDesktopRect(ScreenGeometry::currentLayout());
    PatternWindow window(desktop);
    QVERIFY(window.showAndWait());

    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Virtual screen bounds: "));
    const QByteArray sizeLine = QStringLiteral("Pixmap size: %1x%2").arg(desktop.width()).arg(desktop.height()).toLatin1();
    QTest::ignoreMessage(QtDebugMsg, sizeLine.constData());
    QCOMPARE(ScreenGeometry::grab().toImage().convertToFormat(QImage::Format_RGB32), window.image());
}

QTEST_MAIN(TestScreenGeometry)
#include "tst_screengeometry.moc"
