#include "capture/capturestate.h"
#include "capture/overlaylogic.h"
#include "capture/screengeometry.h"
#include "capture/wndmain.h"
#include "extension/extension.h"
#include "settings/settings.h"
#include "testsupport.h"

#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include <memory>

// The overlay on a real display, its mouse events sent straight to it.
class TestWndMain : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QGuiApplication::setQuitOnLastWindowClosed(false); }
    void init();
    void cleanup();

    void modeButtonsAreOneExclusiveGroup();
    void videoButtonFollowsTheExtension_data();
    void videoButtonFollowsTheExtension();
    void toolFrameDodgesTheCursor();
    void clickWithoutAreaKeepsTheOverlay();
    void sidewaysDragIsACapture();
    void dragRepaintLeavesNoStalePixels();

private:
    // Shows an overlay over the current desktop.
    bool openOverlay();
    QPushButton *button(const char *name) const { return m_overlay->findChild<QPushButton *>(QLatin1String(name)); }

    std::unique_ptr<WndMain> m_overlay;
    std::unique_ptr<RunObserver> m_run;
    std::unique_ptr<RecordingLauncher> m_launcher;
};

void TestWndMain::init()
{
    m_run = std::make_unique<RunObserver>();
    m_launcher = std::make_unique<RecordingLauncher>();
    Extension::reloadForTesting(QStringLiteral(SNAPLARK_BIN_DIR));
}

void TestWndMain::cleanup()
{
    m_overlay.reset();
    m_launcher.reset();
    m_run.reset();
    Extension::reloadForTesting(QString());
}

bool TestWndMain::openOverlay()
{
    m_overlay = std::make_unique<WndMain>();
    m_overlay->show();
    return QTest::qWaitForWindowExposed(m_overlay.get());
}

void TestWndMain::modeButtonsAreOneExclusiveGroup()
{
    QVERIFY(openOverlay());
    const QVector<QPair<const char *, int>> modes{{"chbImageMode", Settings::ModeScreenshot},
                                                  {"chbVideoMode", Settings::ModeVideo},
                                                  {"chbGifMode", Settings::ModeGif},
                                                  {"chbScrollMode", Settings::ModeScroll}};
    // Every switch, and clicking the checked one again, which keeps it.
    for (int clicked : {2, 2, 3, 1, 1, 0, 0, 1, 2}) {
        QTest::mouseClick(button(modes[clicked].first), Qt::LeftButton);
        for (int i = 0; i < modes.size(); ++i)
            QVERIFY2(button(modes[i].first)->isChecked() == (i == clicked), modes[i].first);
        QCOMPARE(m_overlay->currentMode(), modes[clicked].second);
    }
}

void TestWndMain::videoButtonFollowsTheExtension_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("visible");

    QTest::newRow("no extension library") << testScratchDir(QStringLiteral("no-extension")) << false;
    QTest::newRow("StopVideoCapture missing") << QStringLiteral(SNAPLARK_BUILD_DIR "/tests/standin/partial") << false;
    QTest::newRow("the program's own library") << QStringLiteral(SNAPLARK_BIN_DIR) << true;
}

void TestWndMain::videoButtonFollowsTheExtension()
{
    QFETCH(QString, folder);
    QFETCH(bool, visible);

    QVERIFY(!folder.contains(QLatin1String("/standin/")) || QFile::exists(folder + QStringLiteral("/libExtension.so")));
    Extension::reloadForTesting(folder);
    QVERIFY(openOverlay());
    QCOMPARE(button("chbVideoMode")->isVisible(), visible);
    QVERIFY(button("chbImageMode")->isChecked());
    QCOMPARE(m_overlay->currentMode(), int(Settings::ModeScreenshot));
}

// The tool frame starts away from the cursor; with Control held, or during a
// drag, it jumps between its lower and upper place when the cursor comes near.
void TestWndMain::toolFrameDodgesTheCursor()
{
    const QRect primary = ScreenGeometry::primaryScreenInOverlay();
    const QSize frame(253, 390);
    const QPoint lower = OverlayLogic::lowerPlace(primary, frame);
    const QPoint upper = OverlayLogic::upperPlace(primary, frame);
    QCursor::setPos(QRect(lower, frame).center());
    QVERIFY(openOverlay());
    QWidget *tool = m_overlay->toolFrame();
    QCOMPARE(tool->geometry(), QRect(upper, frame));

    const QPoint onUpper = upper + QPoint(10, 10);
    Mouse::move(m_overlay.get(), onUpper, false);
    QCOMPARE(tool->pos(), upper); // no Control, no drag: the frame stays
    QTest::keyPress(m_overlay.get(), Qt::Key_Control);
    QCOMPARE(tool->pos(), lower); // pressing Control dodges at once
    Mouse::move(m_overlay.get(), QRect(lower, frame).center(), false);
    QCOMPARE(tool->pos(), upper);
    QTest::keyRelease(m_overlay.get(), Qt::Key_Control);
    Mouse::move(m_overlay.get(), onUpper, false);
    QCOMPARE(tool->pos(), upper);
    QVERIFY(m_run->endCodes.isEmpty());
}

void TestWndMain::clickWithoutAreaKeepsTheOverlay()
{
    QVERIFY(openOverlay());
    const QRect full = m_overlay->geometry();
    QCOMPARE(full, ScreenGeometry::virtualDesktopRect());
    // a click, and a drag by one pixel each way, select nothing
    Mouse::press(m_overlay.get(), QPoint(300, 200));
    Mouse::release(m_overlay.get(), QPoint(300, 200));
    Mouse::press(m_overlay.get(), QPoint(300, 200));
    Mouse::move(m_overlay.get(), QPoint(299, 201), true);
    Mouse::release(m_overlay.get(), QPoint(299, 201));
    QCoreApplication::processEvents();
    QCOMPARE(m_overlay->geometry(), full);
    QVERIFY(m_overlay->captureState()->requestRect().isNull());
    QVERIFY(m_run->endCodes.isEmpty());
    QVERIFY(m_run->dialogs.isEmpty());

    QTest::keyClick(m_overlay.get(), Qt::Key_Escape);
    QCOMPARE(m_run->endCodes, QList<int>{0});
    QVERIFY(!m_overlay->isVisible());
    // the design's point sizes hold whatever the display says
    QCOMPARE(m_overlay->logicalDpiY(), 100);
}

// Only a click in both directions is refused: 200 pixels sideways is a
// capture of height 0, which cannot be saved, so the run ends through the
// save failure's box rather than silently.
void TestWndMain::sidewaysDragIsACapture()
{
    Settings::setDefAction(Settings::ActionSaveOnly);
    QVERIFY(openOverlay());
    Mouse::press(m_overlay.get(), QPoint(300, 200));
    Mouse::move(m_overlay.get(), QPoint(500, 200), true);
    Mouse::release(m_overlay.get(), QPoint(500, 200));
    Settings::setDefAction(Settings::ActionRedactionDialog);

    const CaptureState *state = m_overlay->captureState();
    QCOMPARE(state->requestRect(), QRect(300, 200, 200, 0));
    QCOMPARE(state->requestKind(), int(CaptureState::Region));
    QCOMPARE(m_overlay->geometry(), QRect(-1, -1, 0, 0));
    QCOMPARE(m_run->dialogs.size(), 1);
    QCOMPARE(m_run->endCodes, QList<int>{0});
}

// During a drag the overlay repaints only what changed; what reaches the
// screen must be exactly what a full repaint shows.
void TestWndMain::dragRepaintLeavesNoStalePixels()
{
    QVERIFY(openOverlay());
    const QRect area(m_overlay->mapToGlobal(QPoint(0, 0)), m_overlay->size());
    const auto onScreenMatchesFullRepaint = [&] {
        const QImage full = m_overlay->grab().toImage().convertToFormat(QImage::Format_RGB32);
        // the server may still be drawing; stale pixels would stay for good
        return QTest::qWaitFor([&] {
            return QGuiApplication::primaryScreen()
                       ->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                       .toImage()
                       .convertToFormat(QImage::Format_RGB32)
                   == full;
        }, 2000);
    };

    Mouse::press(m_overlay.get(), QPoint(400, 300));
    for (const QPoint &to : {QPoint(401, 301), QPoint(460, 350), QPoint(461, 352), QPoint(350, 250), QPoint(700, 600),
                             QPoint(10, 10)}) {
        Mouse::move(m_overlay.get(), to, true);
        QVERIFY2(onScreenMatchesFullRepaint(), qPrintable(QStringLiteral("after the move to %1,%2").arg(to.x()).arg(to.y())));
    }
    Mouse::release(m_overlay.get(), QPoint(400, 300));
}

QTEST_MAIN(TestWndMain)
#include "tst_wndmain.moc"
