#include "core/capturestate.h"

#include <QColor>
#include <QPainter>
#include <QSet>
#include <QtTest>

class TestCaptureState : public QObject
{
    Q_OBJECT

private slots:
    void visibleWindowRect_data()
    {
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QRect>("expected");
        // a secondary screen left of the primary: overlay coordinates start there
        QTest::newRow("on a secondary at negative x") << QRect(-1200, 100, 400, 300) << QRect(80, 100, 400, 300);
        QTest::newRow("across both screens") << QRect(-200, -10, 400, 300) << QRect(1080, 0, 400, 290);
        QTest::newRow("off the desktop") << QRect(5000, 0, 100, 100) << QRect();
    }
    void visibleWindowRect()
    {
        QFETCH(QRect, window);
        QFETCH(QRect, expected);
        QCOMPARE(CaptureState::visibleWindowRect(window, QRect(-1280, 0, 3200, 1080)), expected);
    }

    // On a scaled screen the request covers the device pixels under the selection, and the
    // overlay's painting shows exactly those bright on the dimmed picture, at every edge: what
    // the user sees selected is what is saved.
    void shownIsSaved_data()
    {
        QTest::addColumn<qreal>("scale");
        QTest::addColumn<QRect>("selection");
        QTest::addColumn<QRect>("device");
        QTest::newRow("1") << 1.0 << QRect(7, 5, 30, 20) << QRect(7, 5, 30, 20);
        QTest::newRow("2") << 2.0 << QRect(7, 5, 30, 20) << QRect(14, 10, 60, 40);
        QTest::newRow("1.5, odd edges") << 1.5 << QRect(7, 5, 31, 21) << QRect(11, 8, 46, 31);
        QTest::newRow("1.25") << 1.25 << QRect(3, 1, 33, 22) << QRect(4, 1, 41, 28);
    }
    void shownIsSaved()
    {
        QFETCH(qreal, scale);
        QFETCH(QRect, selection);
        QFETCH(QRect, device);
        QImage screen(120, 90, QImage::Format_RGB32);
        for (int y = 0; y < screen.height(); ++y)
            for (int x = 0; x < screen.width(); ++x)
                screen.setPixel(x, y, qRgb(x * 2, y * 2, (x * 7 + y * 13) % 256));
        const ScreenGeometry::Layout layout{{{QRect(0, 0, qRound(120 / scale), qRound(90 / scale)), QRect(), scale}}, 0};
        CaptureState state(screen, layout);
        state.setRequestRect(selection);
        QCOMPARE(state.requestDeviceRect(), device);
        QCOMPARE(state.croppedGrab().toImage().convertToFormat(QImage::Format_RGB32), screen.copy(device));

        // painted as the overlay does on a window of this scale
        QImage window(screen.size(), QImage::Format_RGB32);
        window.setDevicePixelRatio(scale);
        window.fill(Qt::black);
        {
            QPainter painter(&window);
            state.drawGrab(painter, state.dimmedGrab(), QRect(0, 0, qRound(120 / scale), qRound(90 / scale)));
            state.drawGrab(painter, state.plainGrab(), selection);
        }
        window.setDevicePixelRatio(1);
        const QImage dimmed = state.dimmedGrab().toImage().convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < screen.height(); ++y)
            for (int x = 0; x < screen.width(); ++x)
                if (window.pixel(x, y) != (device.contains(x, y) ? screen : dimmed).pixel(x, y))
                    QFAIL(qPrintable(QString("pixel %1,%2").arg(x).arg(y)));
    }

    // Native code counts in device pixels from the desktop's origin: a selection on a screen at
    // 1.5 left of the primary is handed over there.
    void requestOnTheScreen()
    {
        const ScreenGeometry::Layout layout{{{QRect(0, 0, 1920, 1080), QRect(), 1},
                                             {QRect(-1920, 0, 1280, 720), QRect(), 1.5}}, 0};
        QImage desktop(3840, 1080, QImage::Format_RGB32);
        desktop.fill(Qt::gray);
        CaptureState state(desktop, layout);
        state.setRequestRect(QRect(101, 20, 201, 100));
        QCOMPARE(state.requestDeviceRect(), QRect(152, 30, 301, 150));
        QCOMPARE(state.requestScreenRect(), QRect(-1920 + 152, 30, 301, 150));
        state.setRequestRect(QRect(1920 + 10, 20, 30, 40)); // on the primary, at 1
        QCOMPARE(state.requestScreenRect(), QRect(10, 20, 30, 40));
    }

    void dimmingDarkensVariedPictures()
    {
        // Hue across, saturation down, value in diagonal bands: thousands of colours
        // and every brightness, so the reduction to 256 colours has to dither.
        QImage source(480, 270, QImage::Format_RGB32);
        for (int y = 0; y < source.height(); ++y)
            for (int x = 0; x < source.width(); ++x)
                source.setPixel(x, y, QColor::fromHsv(x * 359 / 480, 255 * y / 270, 255 - (x * 7 + y * 3) % 256).rgb());
        const QImage result = CaptureState::dim(QPixmap::fromImage(source)).toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(result.size(), source.size());
        QSet<QRgb> colours;
        for (int y = 0; y < result.height(); ++y)
            for (int x = 0; x < result.width(); ++x)
                colours.insert(result.pixel(x, y));
        QVERIFY(colours.size() <= 256);
        // Dithering moves single pixels either way, so brightness is compared over
        // 8 x 8 blocks: darkening by 1.5 leaves about two thirds of it.
        for (int by = 0; by + 8 <= source.height(); by += 8) {
            for (int bx = 0; bx + 8 <= source.width(); bx += 8) {
                int before = 0, after = 0;
                for (int i = 0; i < 64; ++i) {
                    before += QColor(source.pixel(bx + i % 8, by + i / 8)).value();
                    after += QColor(result.pixel(bx + i % 8, by + i / 8)).value();
                }
                if (after > before * 0.9)
                    QFAIL(qPrintable(QStringLiteral("block at %1,%2: %3 -> %4").arg(bx).arg(by).arg(before).arg(after)));
            }
        }
    }
};

QTEST_MAIN(TestCaptureState)
#include "tst_capturestate.moc"
