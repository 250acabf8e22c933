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

QRgb inverted(QRgb pixel)
{
    return qRgb(255 - qRed(pixel), 255 - qGreen(pixel), 255 - qBlue(pixel));
}

QString hex(QRgb pixel)
{
    return QColor(pixel).name();
}

} // namespace

class TestZoomFrame : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void showsTheGrabAroundTheCursor_data();
    void showsTheGrabAroundTheCursor();
    void atTheOrigin();
    void atTheBottomRightEdge();

private:
    // The loupe rendered for a cursor point, as RGB without alpha.
    QImage render(const QPoint &cursor);
    // What one widget cell shows: the grab pixel, or `background` outside it.
    QRgb grabAt(int x, int y) const;

    const QImage m_picture = PatternWindow::pattern(QSize(300, 200));
    CaptureState m_state{m_picture};
    QRgb m_background = 0;
};

void TestZoomFrame::initTestCase()
{
    ZoomFrame frame(nullptr, &m_state);
    m_background = frame.palette().window().color().rgb();
    // The pattern must not contain the background colour, or "background"
    // and "grab pixel" could not be told apart.
    for (int y = 0; y < m_picture.height(); ++y)
        for (int x = 0; x < m_picture.width(); ++x)
            QVERIFY(m_picture.pixel(x, y) != m_background);
}

QImage TestZoomFrame::render(const QPoint &cursor)
{
    ZoomFrame frame(nullptr, &m_state);
    frame.resize(kSize, kSize);
    frame.setPosition(cursor.x(), cursor.y());
    return frame.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QRgb TestZoomFrame::grabAt(int x, int y) const
{
    return m_picture.valid(x, y) ? m_picture.pixel(x, y) : m_background;
}

void TestZoomFrame::showsTheGrabAroundTheCursor_data()
{
    QTest::addColumn<QPoint>("cursor");

    QTest::newRow("middle") << QPoint(150, 100);
    QTest::newRow("near the top-left") << QPoint(30, 24);
    QTest::newRow("odd place") << QPoint(211, 77);
}

// Every source pixel of the 46 x 46 square appears at its place; the two
// crosshair bands show column and row (x - 1, y - 1) inverted; the centre
// square shows the marked pixel as it is, the colour the hint line names.
void TestZoomFrame::showsTheGrabAroundTheCursor()
{
    QFETCH(QPoint, cursor);

    const QImage shown = render(cursor);
    QCOMPARE(shown.size(), QSize(kSize, kSize));
    const int left = cursor.x() - kSize / 8;
    const int top = cursor.y() - kSize / 8;
    const QPoint marked = ZoomFrame::markedPixel(cursor.x(), cursor.y());
    QCOMPARE(marked, QPoint(cursor.x() - 1, cursor.y() - 1));

    for (int j = 0; j < kSpan; ++j) {
        for (int i = 0; i < kSpan; ++i) {
            const int cx = cellOf(i);
            const int cy = cellOf(j);
            if (inBand(cx) || inBand(cy))
                continue;
            QCOMPARE(hex(shown.pixel(cx, cy)), hex(grabAt(left + i, top + j)));
        }
    }

    for (int k = 0; k < kSpan; ++k) {
        const int cell = cellOf(k);
        if (inBand(cell))
            continue;
        for (int band = kBandFirst; band <= kBandLast; ++band) {
            QCOMPARE(hex(shown.pixel(band, cell)), hex(inverted(grabAt(marked.x(), top + k))));
            QCOMPARE(hex(shown.pixel(cell, band)), hex(inverted(grabAt(left + k, marked.y()))));
        }
    }

    const QRgb centre = m_picture.pixel(marked);
    for (int y = kBandFirst; y <= kBandLast; ++y)
        for (int x = kBandFirst; x <= kBandLast; ++x)
            QCOMPARE(hex(shown.pixel(x, y)), hex(centre));
    QCOMPARE(OverlayLogic::colorText(m_state.plainGrab(), cursor), hex(centre).toUpper());
}

// The source square starts at (-23, -23): only its lower-right part lies in
// the grab, and column and row -1 lie outside it, so neither crosshair band
// nor centre square is drawn.
void TestZoomFrame::atTheOrigin()
{
    const QImage shown = render(QPoint(0, 0));
    const int half = kSize / 8;

    for (int j = 0; j < kSpan; ++j) {
        for (int i = 0; i < kSpan; ++i) {
            const QRgb expected = grabAt(i - half, j - half);
            QCOMPARE(hex(shown.pixel(cellOf(i), cellOf(j))), hex(expected));
        }
    }
    for (int y = 0; y < kSize; ++y)
        for (int x = kBandFirst; x <= kBandLast; ++x) {
            QCOMPARE(hex(shown.pixel(x, y)), hex(m_background));
            QCOMPARE(hex(shown.pixel(y, x)), hex(m_background));
        }
    QCOMPARE(hex(shown.pixel(cellOf(half), cellOf(half))), hex(m_picture.pixel(0, 0)));
}

// At the last pixel of the grab the picture ends in the loupe's upper-left
// part; the rest stays background, the bands end with the grab.
void TestZoomFrame::atTheBottomRightEdge()
{
    const QPoint cursor(m_picture.width() - 1, m_picture.height() - 1);
    const QImage shown = render(cursor);
    const int half = kSize / 8;
    const QPoint last(m_picture.width() - 1, m_picture.height() - 1);

    // The last grab pixel sits just right of and below the centre square.
    QCOMPARE(hex(shown.pixel(cellOf(half), cellOf(half))), hex(m_picture.pixel(last)));
    QCOMPARE(hex(shown.pixel(cellOf(half + 1), cellOf(half))), hex(m_background));
    QCOMPARE(hex(shown.pixel(cellOf(half), cellOf(half + 1))), hex(m_background));
    QCOMPARE(hex(shown.pixel(kSize - 1, kSize - 1)), hex(m_background));
    QCOMPARE(hex(shown.pixel(cellOf(0), cellOf(0))), hex(grabAt(cursor.x() - half, cursor.y() - half)));

    // The centre square still shows the marked pixel; the bands stop where
    // the grab does.
    QCOMPARE(hex(shown.pixel(kBandFirst, kBandFirst)), hex(m_picture.pixel(last - QPoint(1, 1))));
    QCOMPARE(hex(shown.pixel(kBandFirst, cellOf(0))), hex(inverted(grabAt(last.x() - 1, cursor.y() - half))));
    QCOMPARE(hex(shown.pixel(kBandFirst, kSize - 1)), hex(m_background));
    QCOMPARE(hex(shown.pixel(kSize - 1, kBandFirst)), hex(m_background));
}

QTEST_MAIN(TestZoomFrame)
#include "tst_zoomframe.moc"
