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

// Layouts as Qt reports scaled screens: each keeps its top-left corner and divides its size by
// its factor.
static ScreenGeometry::Screen scaled(int x, int y, int deviceWidth, int deviceHeight, qreal scale)
{
    const QRect logical(x, y, qRound(deviceWidth / scale), qRound(deviceHeight / scale));
    return {logical, logical, scale};
}

class TestScreenScaling : public QObject
{
    Q_OBJECT

    // Two 1920 x 1080 screens: the primary at 2 with a secondary at 1 to its right, and one at
    // 1.5 left of a primary at 1; one screen at 1.25, and one at 1.5.
    static QVector<QPair<const char *, Layout>> layouts()
    {
        return {{"mixed 2 and 1", Layout{{scaled(0, 0, 1920, 1080, 2), scaled(1920, 0, 1920, 1080, 1)}, 0}},
                {"1.5 at negative x", Layout{{scaled(0, 0, 1920, 1080, 1), scaled(-1920, 0, 1920, 1080, 1.5)}, 0}},
                {"1.25", Layout{{scaled(0, 0, 1920, 1080, 1.25)}, 0}},
                {"1.5", Layout{{scaled(0, 0, 1920, 1080, 1.5)}, 0}}};
    }

private slots:
    // Device rectangles of logical selections, overlay coordinates.
    void toDevice_data()
    {
        QTest::addColumn<Layout>("layout");
        QTest::addColumn<QRect>("logical");
        QTest::addColumn<QRect>("device");
        const Layout mixed = layouts()[0].second, left = layouts()[1].second;
        const Layout quarter = layouts()[2].second, half = layouts()[3].second;
        QTest::newRow("scale 2") << mixed << QRect(100, 120, 300, 200) << QRect(200, 240, 600, 400);
        // the secondary's logical pixels start where its device pixels do, after the primary's 1920
        QTest::newRow("scale 1 beside 2") << mixed << QRect(1930, 10, 7, 5) << QRect(1930, 10, 7, 5);
        QTest::newRow("mostly on the secondary") << mixed << QRect(950, 0, 1000, 10) << QRect(950, 0, 1000, 10);
        QTest::newRow("1.5 on the left screen") << left << QRect(1, 1, 3, 3) << QRect(2, 2, 4, 4);
        // the 1.5 screen is 1280 logical pixels wide, but the primary starts 1920 from its left
        QTest::newRow("primary right of the 1.5 screen") << left << QRect(1930, 5, 4, 4) << QRect(1930, 5, 4, 4);
        // edges 101 and 302 at 1.5: 151.5 and 453 -> 152 and 453, so 301 wide (not 201 * 1.5 = 301.5 -> 302)
        QTest::newRow("1.5, odd edges") << half << QRect(101, 121, 201, 131) << QRect(152, 182, 301, 196);
        QTest::newRow("1.25, edges 3 and 8") << quarter << QRect(3, 0, 5, 1) << QRect(4, 0, 6, 1);
        QTest::newRow("1.5, whole screen") << half << QRect(0, 0, 1280, 720) << QRect(0, 0, 1920, 1080);
        QTest::newRow("1.25, whole screen") << quarter << QRect(0, 0, 1536, 864) << QRect(0, 0, 1920, 1080);
    }
    void toDevice()
    {
        QFETCH(Layout, layout);
        QFETCH(QRect, logical);
        QFETCH(QRect, device);
        QCOMPARE(ScreenGeometry::toDevice(layout, logical), device);
        // on one screen, the smallest logical rectangle covering it is the selection again
        const auto parts = ScreenGeometry::screenParts(layout);
        if (std::any_of(parts.begin(), parts.end(), [&](const auto &part) { return part.logical.contains(logical); }))
            QCOMPARE(ScreenGeometry::fromDevice(layout, device), logical);
    }

    // No seams: selections side by side share their device edge, so they neither overlap nor
    // leave a pixel between them, and a selection is as wide as its parts together.
    void selectionsTileWithoutSeams_data()
    {
        QTest::addColumn<Layout>("layout");
        for (const auto &[name, layout] : layouts())
            QTest::newRow(name) << layout;
    }
    void selectionsTileWithoutSeams()
    {
        QFETCH(Layout, layout);
        for (const ScreenGeometry::ScreenPart &part : ScreenGeometry::screenParts(layout)) {
            const QPoint o = part.logical.topLeft();
            for (int x = 0; x < 40; ++x) {
                const QRect a = ScreenGeometry::toDevice(layout, QRect(o + QPoint(x, 7), QSize(1, 3)));
                const QRect b = ScreenGeometry::toDevice(layout, QRect(o + QPoint(x + 1, 7), QSize(1, 3)));
                const QRect both = ScreenGeometry::toDevice(layout, QRect(o + QPoint(x, 7), QSize(2, 3)));
                QCOMPARE(a.right() + 1, b.left());
                QCOMPARE(both, a.united(b));
                QCOMPARE(a.height(), b.height()); // the same rows, whatever the column
                QVERIFY(a.width() >= 1);
                // the same edge, reached from the right or from below, is the same device edge
                const QRect below = ScreenGeometry::toDevice(layout, QRect(o + QPoint(7, x + 1), QSize(3, 1)));
                QCOMPARE(ScreenGeometry::toDevice(layout, QRect(o + QPoint(7, x), QSize(3, 1))).bottom() + 1, below.top());
            }
            // a point between pixels is where the rectangles after it start
            QCOMPARE(ScreenGeometry::toDevice(layout, o + QPoint(13, 5)),
                     ScreenGeometry::toDevice(layout, QRect(o + QPoint(13, 5), QSize(2, 2))).topLeft());
            // and each screen maps onto exactly its own device pixels
            QCOMPARE(ScreenGeometry::toDevice(layout, part.logical), part.device);
        }
    }

    // What a drag repaints covers every device pixel of what changed, after Qt's own rounding of
    // the region (position and size of each rectangle rounded apart).
    void repaintCoversChangedPixels()
    {
        for (const auto &[name, layout] : layouts()) {
            const ScreenGeometry::ScreenPart part = ScreenGeometry::screenParts(layout).first();
            for (int x = 0; x < 12; ++x)
                for (int w = 1; w < 6; ++w) {
                    const QRect changed(x, x + 3, w, w + 1);
                    QRegion clip;
                    for (const QRect &r : ScreenGeometry::repaintCovering(changed, part.scale))
                        clip += QRect(r.topLeft() * part.scale, r.size() * part.scale);
                    QVERIFY2((QRegion(ScreenGeometry::toDevice(part, changed)) - clip).isEmpty(),
                             qPrintable(QString("%1: %2 wide at %3").arg(name).arg(w).arg(x)));
                }
        }
    }

    // The device desktop is the screens' device rectangles side by side; the grab is that big.
    void deviceDesktop()
    {
        const auto list = layouts();
        QCOMPARE(ScreenGeometry::deviceDesktopRect(list[0].second), QRect(0, 0, 3840, 1080));
        QCOMPARE(ScreenGeometry::virtualDesktopRect(list[0].second), QRect(0, 0, 3840, 1080)); // 960 of it a gap
        QCOMPARE(ScreenGeometry::deviceDesktopRect(list[1].second), QRect(-1920, 0, 3840, 1080));
        QCOMPARE(ScreenGeometry::virtualDesktopRect(list[1].second), QRect(-1920, 0, 3840, 1080));
        QCOMPARE(ScreenGeometry::deviceDesktopRect(list[3].second), QRect(0, 0, 1920, 1080));
        // the edge rounding agrees with its inverse at every edge
        for (qreal scale : {1.25, 1.5, 2.0})
            for (int edge = -20; edge < 20; ++edge)
                QCOMPARE(ScreenGeometry::edgeFromDevice(ScreenGeometry::edgeToDevice(edge, 3, scale), 3, scale), edge);
    }
};

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    TestScreenGeometry geometry;
    TestScreenScaling scaling;
    return QTest::qExec(&geometry, argc, argv) | QTest::qExec(&scaling, argc, argv);
}
#include "tst_screengeometry.moc"
