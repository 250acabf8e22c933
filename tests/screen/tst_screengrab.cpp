#include "core/capturestate.h"
#include "core/screengeometry.h"
#include "core/screengrabber.h"
#include "patternwindow.h"

#include <QtTest>

// The shared-memory grab against Qt's own grab of the same display.
class TestScreenGrab : public QObject
{
    Q_OBJECT

    // Covers the middle of the 1280x800 test display; the rest stays as the window manager left it.
    const QRect m_patternArea{101, 67, 1000, 600};
    PatternWindow *m_window = nullptr;

private slots:
    void initTestCase()
    {
        m_window = new PatternWindow(m_patternArea);
        QVERIFY(m_window->showAndWait());
    }
    void cleanupTestCase() { delete m_window; }

    void sharedMemoryMatchesQt_data()
    {
        QTest::addColumn<QRect>("rect");

        QTest::newRow("whole display") << ScreenGeometry::fullRect();
        QTest::newRow("odd size across the pattern's edge") << QRect(57, 33, 333, 211);
        QTest::newRow("single pixel") << QRect(m_patternArea.bottomRight(), QSize(1, 1));
    }

    void sharedMemoryMatchesQt()
    {
        QFETCH(QRect, rect);

        const QImage fast = ScreenGrabber::grabSharedMemory(rect);
        QVERIFY2(!fast.isNull(), "the test display offers MIT-SHM");
        QCOMPARE(fast.format(), QImage::Format_RGB32);
        // opaque, though Format_RGB32 comparisons ignore the alpha byte
        for (int y = 0; y < fast.height(); ++y) {
            const QRgb *line = reinterpret_cast<const QRgb *>(fast.constScanLine(y));
            QVERIFY(std::all_of(line, line + fast.width(), [](QRgb pixel) { return qAlpha(pixel) == 255; }));
        }
        QCOMPARE(fast, ScreenGrabber::grabWithScreen(rect).toImage().convertToFormat(QImage::Format_RGB32));
        const QRect onPattern = rect & m_patternArea;
        QCOMPARE(fast.copy(onPattern.translated(-rect.topLeft())),
                 m_window->image().copy(onPattern.translated(-m_patternArea.topLeft())));
    }

    void rectangleOutsideTheRootIsRefused()
    {
        QVERIFY(ScreenGrabber::grabSharedMemory(QRect(1270, 0, 20, 20)).isNull());
        QVERIFY(ScreenGrabber::grabSharedMemory(QRect(-5, 0, 20, 20)).isNull());
        QVERIFY(ScreenGrabber::grabSharedMemory(QRect()).isNull());
    }

    void earlierGrabsKeepTheirPixels()
    {
        // Grabs share memory with the server; a later grab must never reuse the
        // memory of one still alive.
        const QImage withPattern = ScreenGrabber::grabSharedMemory(m_patternArea);
        QCOMPARE(withPattern, m_window->image());
        m_window->hide();
        QImage without;
        QTRY_VERIFY((without = ScreenGrabber::grabSharedMemory(m_patternArea)) != m_window->image());
        QCOMPARE(withPattern, m_window->image());
        QVERIFY(m_window->showAndWait());
        QCOMPARE(ScreenGrabber::grabSharedMemory(m_patternArea), m_window->image());
        QVERIFY(without != m_window->image());
    }

    // A capture state whose grab waits for the overlay's map takes it for whichever picture is
    // asked for first, the screen as it is then: none of them may come out empty.
    void deferredGrabIsTakenWhenFirstNeeded_data()
    {
        QTest::addColumn<int>("asked"); // 0 the plain grab, 1 the dimmed one, 2 the request's crop
        QTest::newRow("plain") << 0;
        QTest::newRow("dimmed") << 1;
        QTest::newRow("cropped") << 2;
    }
    void deferredGrabIsTakenWhenFirstNeeded()
    {
        QFETCH(int, asked);
        m_window->hide();
        CaptureState state(0, CaptureState::Grab::WhenFirstNeeded);
        QVERIFY(!state.hasPlainGrab());
        QVERIFY(m_window->showAndWait());
        state.setRequestRect(m_patternArea);
        const QPixmap picture = asked == 0 ? state.plainGrab() : asked == 1 ? state.dimmedGrab() : state.croppedGrab();
        QCOMPARE(picture.size(), asked == 2 ? m_patternArea.size() : ScreenGeometry::fullRect().size());
        QVERIFY(state.hasPlainGrab() && state.hasDimmedGrab() == (asked == 1));
        QCOMPARE(state.croppedGrab().toImage().convertToFormat(QImage::Format_RGB32), m_window->image());
    }
};

QTEST_MAIN(TestScreenGrab)
#include "tst_screengrab.moc"
