#include "capture/capturestate.h"
#include "capture/screengeometry.h"
#include "capture/screengrabber.h"
#include "extension/extension.h"
#include "patternwindow.h"

#include <QSet>
#include <QtTest>

namespace {

bool allOpaque(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        const quint32 *line = reinterpret_cast<const quint32 *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0xff000000u) != 0xff000000u)
                return false;
        }
    }
    return true;
}

QByteArray rectLine(const char *text, const QRect &r)
{
    return QByteArray(text) + QByteArray::number(r.left()) + ',' + QByteArray::number(r.top()) + ','
           + QByteArray::number(r.right()) + ',' + QByteArray::number(r.bottom());
}

QImage rgb32(const QPixmap &pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestScreenGrab : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void sharedMemoryMatchesQt_data();
    void sharedMemoryMatchesQt();
    void rectangleOutsideTheRootIsRefused();
    void grabCoversTheVirtualDesktop();
    void stateFromTheActiveWindow();
    void earlierGrabsKeepTheirPixels();

private:
    // Covers the middle of the 1280x800 test display; the rest stays as the
    // window manager left it.
    const QRect m_patternArea{101, 67, 1000, 600};
    PatternWindow *m_window = nullptr;
};

void TestScreenGrab::initTestCase()
{
    QVERIFY(!ScreenGeometry::fullRect().isEmpty());
    m_window = new PatternWindow(m_patternArea);
    QVERIFY(m_window->showAndWait());
}

void TestScreenGrab::cleanupTestCase()
{
    delete m_window;
}

void TestScreenGrab::sharedMemoryMatchesQt_data()
{
    QTest::addColumn<QRect>("rect");

    QTest::newRow("whole display") << ScreenGeometry::fullRect();
    QTest::newRow("pattern only") << m_patternArea;
    QTest::newRow("odd size across the pattern's edge") << QRect(57, 33, 333, 211);
    QTest::newRow("single pixel") << QRect(m_patternArea.bottomRight(), QSize(1, 1));
}

void TestScreenGrab::sharedMemoryMatchesQt()
{
    QFETCH(QRect, rect);

    const QImage fast = ScreenGrabber::grabSharedMemory(rect);
    QVERIFY2(!fast.isNull(), "the test display offers MIT-SHM");
    QCOMPARE(fast.format(), QImage::Format_RGB32);
    QVERIFY(allOpaque(fast));
    QCOMPARE(fast, rgb32(ScreenGrabber::grabWithScreen(rect)));

    const QRect onPattern = rect & m_patternArea;
    QCOMPARE(fast.copy(onPattern.translated(-rect.topLeft())),
             m_window->image().copy(onPattern.translated(-m_patternArea.topLeft())));
}

void TestScreenGrab::rectangleOutsideTheRootIsRefused()
{
    const QRect display = ScreenGeometry::fullRect();
    QVERIFY(ScreenGrabber::grabSharedMemory(QRect(display.right() - 10, 0, 20, 20)).isNull());
    QVERIFY(ScreenGrabber::grabSharedMemory(QRect(-5, 0, 20, 20)).isNull());
    QVERIFY(ScreenGrabber::grabSharedMemory(QRect()).isNull());
}

void TestScreenGrab::grabCoversTheVirtualDesktop()
{
    QTest::ignoreMessage(QtDebugMsg, "Virtual screen bounds: 0,0,1279,799");
    QTest::ignoreMessage(QtDebugMsg, "Pixmap size: 1280x800");
    const QPixmap grab = ScreenGeometry::grab();
    QCOMPARE(rgb32(grab).copy(m_patternArea), m_window->image());
}

void TestScreenGrab::stateFromTheActiveWindow()
{
    Extension::reloadForTesting(QStringLiteral(SNAPLARK_BIN_DIR));
    // A managed window reaching past the display's bottom-right corner.
    QWidget active;
    active.setWindowTitle(QStringLiteral("active"));
    active.setGeometry(1100, 650, 300, 200);
    active.show();
    active.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&active));
    // The window manager announces the active window and its frame a little
    // after Qt sees the focus.
    const auto reportedActive = [&] {
        QRect rect;
        int handle = 0;
        return Extension::getActiveWindowRect(&rect, &handle) && handle == int(active.winId())
               && rect == active.frameGeometry() && rect != active.geometry();
    };
    QTRY_VERIFY(reportedActive());

    const QRect frame = active.frameGeometry();
    const QRect full = ScreenGeometry::fullRect();
    QTest::ignoreMessage(QtDebugMsg, QByteArray("Active window handle ") + QByteArray::number(int(active.winId())));
    QTest::ignoreMessage(QtDebugMsg, rectLine("Active window bounds: ", frame).constData());
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Virtual screen bounds: "));
    QTest::ignoreMessage(QtDebugMsg, rectLine("Active window visible bounds: ", frame & full).constData());
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression("^Virtual screen bounds: "));
    QTest::ignoreMessage(QtDebugMsg, "Pixmap size: 1280x800");
    CaptureState state(m_window->winId());

    QCOMPARE(state.activeWindowHandle(), int(active.winId()));
    QCOMPARE(state.activeWindowRect(), frame & full);
    QVERIFY(state.requestRect().isNull());
    QCOMPARE(rgb32(state.plainGrab()).size(), full.size());
    QCOMPARE(state.dimmedGrab().size(), full.size());
}

void TestScreenGrab::earlierGrabsKeepTheirPixels()
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
    const QImage again = ScreenGrabber::grabSharedMemory(m_patternArea);
    QCOMPARE(again, m_window->image());
    QVERIFY(without != m_window->image());
}

QTEST_MAIN(TestScreenGrab)
#include "tst_screengrab.moc"
