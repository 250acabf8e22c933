// The loupe rendered at chosen cursor points and compared, cell by cell, with
// what it should show of the plain grab.
#include "capture/overlaylogic.h"
#include "capture/zoomframe.h"
#include "core/capturestate.h"
#include "patternwindow.h"

#include <QtTest>

namespace {

// The design size: 46 x 46 grab pixels about four times enlarged, the
// crosshair bands and the centre square at cells 89 to 92.
constexpr int kSize = 186;
constexpr int kSpan = kSize / 4;
constexpr int kHalf = kSize / 8;
constexpr int kBandFirst = kSize / 2 - 4;
constexpr int kBandLast = kSize / 2 - 1;

// The middle cell of source pixel k, away from the edges where scaling rounds either way.
int cellOf(int k) { return (2 * k + 1) * kSize / (2 * kSpan); }
bool inBand(int cell) { return cell >= kBandFirst && cell <= kBandLast; }
QString hex(QRgb pixel) { return QColor(pixel).name(); } // readable failures

} // namespace

class TestZoomFrame : public QObject
{
    Q_OBJECT

    const QImage m_picture = PatternWindow::pattern(QSize(300, 200));
    CaptureState m_state{m_picture};
    // The same pixels as the grab of a screen at scale 2: 150 x 100 logical pixels.
    CaptureState m_scaled{[this] {
        QImage picture = m_picture;
        picture.setDevicePixelRatio(2);
        return picture;
    }()};
    QString m_background;

    // A grab pixel as it should appear, or the background outside the grab.
    QString shown(const QPoint &p, bool inverted = false) const
    {
        if (!m_picture.valid(p))
            return m_background;
        const QRgb pixel = m_picture.pixel(p);
        return hex(inverted ? qRgb(255 - qRed(pixel), 255 - qGreen(pixel), 255 - qBlue(pixel)) : pixel);
    }

private slots:
    void initTestCase()
    {
        m_background = hex(ZoomFrame(nullptr, &m_state).palette().window().color().rgb());
        for (int y = 0; y < m_picture.height(); ++y) // "background" and "grab pixel" must be told apart
            for (int x = 0; x < m_picture.width(); ++x)
                QVERIFY(hex(m_picture.pixel(x, y)) != m_background);
    }

    // The 46 x 46 square around the cursor at its place; the bands show column and
    // row (x - 1, y - 1) inverted, the centre square that pixel as it is (the colour
    // the hint line names); whatever lies outside the grab stays background.
    void showsTheGrabAroundTheCursor_data()
    {
        QTest::addColumn<QPoint>("logicalCursor");
        QTest::addColumn<bool>("scaled"); // the grab of a screen at scale 2
        QTest::newRow("inside") << QPoint(211, 77) << false;
        QTest::newRow("origin: no bands, no centre") << QPoint(0, 0) << false;
        QTest::newRow("last pixel") << QPoint(m_picture.width() - 1, m_picture.height() - 1) << false;
        // device pixels around the cursor's device point (210, 76), not logical ones
        QTest::newRow("scale 2") << QPoint(105, 38) << true;
        QTest::newRow("scale 2, last pixel") << QPoint(150, 100) << true;
    }
    void showsTheGrabAroundTheCursor()
    {
        QFETCH(QPoint, logicalCursor);
        QFETCH(bool, scaled);
        ZoomFrame frame(nullptr, scaled ? &m_scaled : &m_state);
        frame.resize(kSize, kSize);
        frame.setPosition(logicalCursor.x(), logicalCursor.y());
        const QPoint cursor = scaled ? logicalCursor * 2 : logicalCursor;
        const QImage image = frame.grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(image.size(), QSize(kSize, kSize));
        const QPoint corner = cursor - QPoint(kHalf, kHalf);
        const QPoint marked = ZoomFrame::markedPixel(cursor.x(), cursor.y());
        QCOMPARE(marked, cursor - QPoint(1, 1));

        for (int j = 0; j < kSpan; ++j) {
            for (int i = 0; i < kSpan; ++i)
                if (!inBand(cellOf(i)) && !inBand(cellOf(j)))
                    QCOMPARE(hex(image.pixel(cellOf(i), cellOf(j))), shown(corner + QPoint(i, j)));
            for (int band = kBandFirst; band <= kBandLast && !inBand(cellOf(j)); ++band) {
                QCOMPARE(hex(image.pixel(band, cellOf(j))), shown(QPoint(marked.x(), corner.y() + j), true));
                QCOMPARE(hex(image.pixel(cellOf(j), band)), shown(QPoint(corner.x() + j, marked.y()), true));
            }
        }
        for (int y = kBandFirst; y <= kBandLast; ++y)
            for (int x = kBandFirst; x <= kBandLast; ++x)
                QCOMPARE(hex(image.pixel(x, y)), shown(marked));
        if (m_picture.valid(marked))
            QCOMPARE(OverlayLogic::colorText(m_state.plainGrab(), (scaled ? m_scaled : m_state).toDevice(logicalCursor)),
                     shown(marked).toUpper());
    }
};

QTEST_MAIN(TestZoomFrame)
#include "tst_zoomframe.moc"
