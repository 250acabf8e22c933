#include "capture/capturestate.h"

#include <QColor>
#include <QSet>
#include <QtTest>

namespace {

// Hue across, saturation down, value in diagonal bands: thousands of colours
// and every brightness, so the reduction to 256 colours has to dither.
QImage variedImage(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, QColor::fromHsv(x * 359 / width, 255 * y / height, 255 - (x * 7 + y * 3) % 256).rgb());
    return image;
}

QImage dimmed(const QImage &source)
{
    return CaptureState::dim(QPixmap::fromImage(source)).toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

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

    void dimmingDarkensVariedPictures()
    {
        const QImage source = variedImage(480, 270);
        const QImage result = dimmed(source);
        QCOMPARE(result.size(), source.size());
        QSet<QRgb> colours;
        for (int y = 0; y < result.height(); ++y)
            for (int x = 0; x < result.width(); ++x)
                colours.insert(result.pixel(x, y));
        QVERIFY(colours.size() <= 256);

        // Dithering moves single pixels either way, so brightness is compared over
        // 8 x 8 blocks: darkening by 1.5 leaves about two thirds of it.
        const int block = 8;
        for (int by = 0; by + block <= source.height(); by += block) {
            for (int bx = 0; bx + block <= source.width(); bx += block) {
                int before = 0;
                int after = 0;
                for (int y = by; y < by + block; ++y) {
                    for (int x = bx; x < bx + block; ++x) {
                        before += QColor(source.pixel(x, y)).value();
                        after += QColor(result.pixel(x, y)).value();
                    }
                }
                if (after > before * 0.9)
                    QFAIL(qPrintable(QStringLiteral("block at %1,%2 not darkened: %3 -> %4").arg(bx).arg(by).arg(before).arg(after)));
            }
        }
    }
};

QTEST_MAIN(TestCaptureState)
#include "tst_capturestate.moc"
