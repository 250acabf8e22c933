#include "capture/capturestate.h"
#include "capture/overlaylogic.h"
#include "capture/zoomframe.h"
#include "patternwindow.h"

#include <QtTest>

namespace {

// The loupe's design size: 46 x 46 grab pixels shown about four times
// enlarged, the crosshair bands and the centre square at cells 89 to 92.
constexpr int kSize = 186;
constexpr int kSpan = kSize / 4;
constexpr int kHalf = kSize / 8;
constexpr int kBandFirst = kSize / 2 - 4;
constexpr int kBandLast = kSize / 2 - 1;

// The middle widget cell of source pixel k (0 .. kSpan - 1), away from the
// edges where the scaling rounds either way.
int cellOf(int k)
{
    return (2 * k + 1) * kSize / (2 * kSpan);
}

bool inBand(int cell)
{
    return cell >= kBandFirst && cell <= kBandLast;
}

// Colours compared as text, for readable failures.
QString hex(QRgb pixel)
{
    return QColor(pixel).name();
}

QString inverted(QRgb pixel)
{
    return hex(qRgb(255 - qRed(pixel), 255 - qGreen(pixel), 255 - qBlue(pixel)));
}

} // namespace

class TestZoomFrame : public QObject
{
    Q_OBJECT

    const QImage m_picture = PatternWindow::pattern(QSize(300, 200));
    CaptureState m_state{m_picture};
    QRgb m_background = 0;

    // The loupe rendered for a cursor point, as RGB without alpha.
    QImage render(const QPoint &cursor)
    {
        ZoomFrame frame(nullptr, &m_state);
        frame.resize(kSize, kSize);
        frame.setPosition(cursor.x(), cursor.y());
        return frame.grab().toImage().convertToFormat(QImage::Format_RGB32);
    }
    // What one widget cell shows: the grab pixel, or the background outside it.
    QRgb grabAt(int x, int y) const { return m_picture.valid(x, y) ? m_picture.pixel(x, y) : m_background; }

private slots:
    void initTestCase()
    {
        ZoomFrame frame(nullptr, &m_state);
        m_background = frame.palette().window().color().rgb();
        // "background" and "grab pixel" must be told apart
        for (int y = 0; y < m_picture.height(); ++y)
            for (int x = 0; x < m_picture.width(); ++x)
                QVERIFY(m_picture.pixel(x, y) != m_background);
    }

    // Every source pixel of the 46 x 46 square appears at its place; the two
    // crosshair bands show column and row (x - 1, y - 1) inverted; the centre
    // square shows the marked pixel as it is, the colour the hint line names.
    void showsTheGrabAroundTheCursor()
    {
        const QPoint cursor(211, 77);
        const QImage shown = render(cursor);
        QCOMPARE(shown.size(), QSize(kSize, kSize));
        const int left = cursor.x() - kHalf;
        const int top = cursor.y() - kHalf;
        const QPoint marked = ZoomFrame::markedPixel(cursor.x(), cursor.y());
        QCOMPARE(marked, cursor - QPoint(1, 1));

        for (int j = 0; j < kSpan; ++j)
            for (int i = 0; i < kSpan; ++i)
                if (!inBand(cellOf(i)) && !inBand(cellOf(j)))
                    QCOMPARE(hex(shown.pixel(cellOf(i), cellOf(j))), hex(grabAt(left + i, top + j)));
        for (int k = 0; k < kSpan; ++k) {
            if (inBand(cellOf(k)))
                continue;
            for (int band = kBandFirst; band <= kBandLast; ++band) {
                QCOMPARE(hex(shown.pixel(band, cellOf(k))), inverted(grabAt(marked.x(), top + k)));
                QCOMPARE(hex(shown.pixel(cellOf(k), band)), inverted(grabAt(left + k, marked.y())));
            }
        }
        const QRgb centre = m_picture.pixel(marked);
        for (int y = kBandFirst; y <= kBandLast; ++y)
            for (int x = kBandFirst; x <= kBandLast; ++x)
                QCOMPARE(hex(shown.pixel(x, y)), hex(centre));
        QCOMPARE(OverlayLogic::colorText(m_state.plainGrab(), cursor), hex(centre).toUpper());
    }

    // The source square starts at (-23, -23): only its lower-right part lies
    // in the grab, and column and row -1 lie outside it, so neither crosshair
    // band nor centre square is drawn.
    void atTheOrigin()
    {
        const QImage shown = render(QPoint(0, 0));
        for (int j = 0; j < kSpan; ++j)
            for (int i = 0; i < kSpan; ++i)
                QCOMPARE(hex(shown.pixel(cellOf(i), cellOf(j))), hex(grabAt(i - kHalf, j - kHalf)));
        for (int y = 0; y < kSize; ++y) {
            for (int x = kBandFirst; x <= kBandLast; ++x) {
                QCOMPARE(hex(shown.pixel(x, y)), hex(m_background));
                QCOMPARE(hex(shown.pixel(y, x)), hex(m_background));
            }
        }
        QCOMPARE(hex(shown.pixel(cellOf(kHalf), cellOf(kHalf))), hex(m_picture.pixel(0, 0)));
    }

    // At the last pixel of the grab the picture ends in the loupe's upper-left
    // part; the rest stays background, the bands end with the grab.
    void atTheBottomRightEdge()
    {
        const QPoint last(m_picture.width() - 1, m_picture.height() - 1);
        const QImage shown = render(last);

        // the last grab pixel sits just right of and below the centre square
        QCOMPARE(hex(shown.pixel(cellOf(kHalf), cellOf(kHalf))), hex(m_picture.pixel(last)));
        QCOMPARE(hex(shown.pixel(cellOf(kHalf + 1), cellOf(kHalf))), hex(m_background));
        QCOMPARE(hex(shown.pixel(cellOf(kHalf), cellOf(kHalf + 1))), hex(m_background));
        QCOMPARE(hex(shown.pixel(cellOf(0), cellOf(0))), hex(grabAt(last.x() - kHalf, last.y() - kHalf)));
        // the centre square still shows the marked pixel; the bands stop
        // where the grab does
        QCOMPARE(hex(shown.pixel(kBandFirst, kBandFirst)), hex(m_picture.pixel(last - QPoint(1, 1))));
        QCOMPARE(hex(shown.pixel(kBandFirst, cellOf(0))), inverted(grabAt(last.x() - 1, last.y() - kHalf)));
        QCOMPARE(hex(shown.pixel(kBandFirst, kSize - 1)), hex(m_background));
        QCOMPARE(hex(shown.pixel(kSize - 1, kBandFirst)), hex(m_background));
    }
};

QTEST_MAIN(TestZoomFrame)
#include "tst_zoomframe.moc"
