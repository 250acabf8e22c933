#include "capture/capturestate.h"
#include "extension/extension.h"
#include "testsupport.h"

#include <QColor>
#include <QSet>
#include <QtTest>

namespace {

// Hue across, saturation down, value in diagonal bands: thousands of colours
// and every brightness, so the reduction to 256 colours has to dither.
QImage variedImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const QColor colour = QColor::fromHsv(x * 359 / width, 255 * y / height, 255 - (x * 7 + y * 3) % 256);
            image.setPixel(x, y, colour.rgb());
        }
    }
    return image;
}

// Sixteen flat colour stripes: few enough to be kept exactly.
QImage stripedImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int x = 0; x < width; ++x) {
        const QColor colour = QColor::fromHsv((x / 8) * 22 % 360, 40 + (x / 8) * 13 % 215, 30 + (x / 8) * 14 % 225);
        for (int y = 0; y < height; ++y)
            image.setPixel(x, y, colour.rgb());
    }
    return image;
}

QSet<QRgb> colours(const QImage &image)
{
    QSet<QRgb> result;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            result.insert(image.pixel(x, y));
    }
    return result;
}

} // namespace

class TestCaptureState : public QObject
{
    Q_OBJECT

private slots:
    void visibleWindowRect_data();
    void visibleWindowRect();
    void stateWithoutExtension();
    void stateFromImage();
    void dimmingKeepsFewColoursExact();
    void dimmingDarkensVariedPictures();
    void cropCopiesTheRequest();
};

void TestCaptureState::visibleWindowRect_data()
{
    QTest::addColumn<QRect>("window");
    QTest::addColumn<QRect>("virtualDesktop");
    QTest::addColumn<QRect>("expected");

    const QRect single(0, 0, 1280, 800);
    QTest::newRow("wholly on a single screen") << QRect(100, 50, 640, 480) << single << QRect(100, 50, 640, 480);
    QTest::newRow("maximised frame beyond the screen") << QRect(-4, -4, 1288, 808) << single << single;
    const QRect leftSecondary(-1280, 0, 3200, 1080);
    QTest::newRow("on a secondary at negative x") << QRect(-1200, 100, 400, 300) << leftSecondary
                                                  << QRect(80, 100, 400, 300);
    QTest::newRow("across both screens") << QRect(-200, -10, 400, 300) << leftSecondary
                                         << QRect(1080, 0, 400, 290);
    QTest::newRow("off the desktop") << QRect(5000, 0, 100, 100) << leftSecondary << QRect();
    QTest::newRow("unknown window") << QRect() << leftSecondary << QRect();
}

void TestCaptureState::visibleWindowRect()
{
    QFETCH(QRect, window);
    QFETCH(QRect, virtualDesktop);
    QFETCH(QRect, expected);

    QCOMPARE(CaptureState::visibleWindowRect(window, virtualDesktop), expected);
}

void TestCaptureState::stateWithoutExtension()
{
    Extension::reloadForTesting(testScratchDir(QStringLiteral("no-extension")));
    QTest::ignoreMessage(QtDebugMsg, "Active window handle 4711");
    QTest::ignoreMessage(QtDebugMsg, "Active window bounds: 0,0,-1,-1");
    QTest::ignoreMessage(QtDebugMsg, "Active window visible bounds: 0,0,-1,-1");
    CaptureState state(4711);

    QCOMPARE(state.activeWindowHandle(), 4711);
    QVERIFY(state.activeWindowRect().isNull());
    QVERIFY(state.requestRect().isNull());
}

void TestCaptureState::stateFromImage()
{
    const QImage picture = variedImage(120, 90);
    CaptureState state(picture);

    QVERIFY(state.requestRect().isNull());
    QVERIFY(state.activeWindowRect().isNull());
    QCOMPARE(state.plainGrab().toImage().convertToFormat(QImage::Format_RGB32), picture);
    // Nothing is dimmed until someone needs it.
    QVERIFY(!state.hasDimmedGrab());
    QCOMPARE(state.dimmedGrab().size(), picture.size());
    QVERIFY(state.hasDimmedGrab());
    // Readers share the one dimmed copy.
    QCOMPARE(state.dimmedGrab().cacheKey(), state.dimmedGrab().cacheKey());
}

void TestCaptureState::dimmingKeepsFewColoursExact()
{
    const QImage source = stripedImage(128, 16);
    const QImage dimmed = CaptureState::dim(QPixmap::fromImage(source)).toImage();

    QCOMPARE(dimmed.size(), source.size());
    for (int y = 0; y < source.height(); ++y) {
        for (int x = 0; x < source.width(); ++x) {
            const QColor original(source.pixel(x, y));
            QCOMPARE(dimmed.pixel(x, y), original.darker(150).rgb());
            QVERIFY(QColor(dimmed.pixel(x, y)).value() < original.value());
        }
    }
}

void TestCaptureState::dimmingDarkensVariedPictures()
{
    const QImage source = variedImage(480, 270);
    QVERIFY(colours(source).size() > 256);
    const QImage dimmed = CaptureState::dim(QPixmap::fromImage(source)).toImage();

    QCOMPARE(dimmed.size(), source.size());
    QVERIFY(colours(dimmed).size() <= 256);
    // Dithering moves single pixels either way, so brightness is compared over
    // 8 x 8 blocks: darkening by 1.5 leaves about two thirds of it.
    const int block = 8;
    for (int by = 0; by + block <= source.height(); by += block) {
        for (int bx = 0; bx + block <= source.width(); bx += block) {
            int sourceValue = 0;
            int dimmedValue = 0;
            for (int y = by; y < by + block; ++y) {
                for (int x = bx; x < bx + block; ++x) {
                    sourceValue += QColor(source.pixel(x, y)).value();
                    dimmedValue += QColor(dimmed.pixel(x, y)).value();
                }
            }
            if (dimmedValue > sourceValue * 0.9)
                QFAIL(qPrintable(QStringLiteral("block at %1,%2 not darkened: %3 -> %4")
                                     .arg(bx).arg(by).arg(sourceValue).arg(dimmedValue)));
        }
    }
}

void TestCaptureState::cropCopiesTheRequest()
{
    const QImage picture = variedImage(200, 100);
    CaptureState state(picture);
    const QRect request(30, 20, 50, 40);
    state.setRequestRect(request);

    const QPixmap cropped = state.croppedGrab();
    QCOMPARE(cropped.size(), request.size());
    QCOMPARE(cropped.toImage().convertToFormat(QImage::Format_RGB32), picture.copy(request));
}

QTEST_MAIN(TestCaptureState)
#include "tst_capturestate.moc"
