#include "app/serviceconfig.h"
#include "capture/capturestate.h"
#include "capture/overlaylogic.h"
#include "capture/screengeometry.h"
#include "capture/wndmain.h"
#include "extension/extension.h"
#include "settings/settings.h"
#include "testsupport.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QtTest>

#include <algorithm>
#include <memory>

namespace {

const QString kStandinDir = QStringLiteral(SNAPLARK_BUILD_DIR "/tests/standin/");

// Mouse events go straight to the overlay: the test decides where the cursor
// is, whatever the real pointer does.
void sendMouse(QWidget *widget, QEvent::Type type, const QPoint &pos, Qt::MouseButtons held)
{
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, pos, widget->mapToGlobal(pos), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

void press(QWidget *widget, const QPoint &pos) { sendMouse(widget, QEvent::MouseButtonPress, pos, Qt::LeftButton); }
void drag(QWidget *widget, const QPoint &pos) { sendMouse(widget, QEvent::MouseMove, pos, Qt::LeftButton); }
void release(QWidget *widget, const QPoint &pos) { sendMouse(widget, QEvent::MouseButtonRelease, pos, Qt::NoButton); }
void hover(QWidget *widget, const QPoint &pos) { sendMouse(widget, QEvent::MouseMove, pos, Qt::NoButton); }

} // namespace

class TestWndMain : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void modeButtonsAreOneExclusiveGroup();
    void videoButtonFollowsTheExtension_data();
    void videoButtonFollowsTheExtension();
    void controlMakesTheToolFrameDodge();
    void toolFrameStartsAwayFromTheCursor();
    void clickWithoutAreaKeepsTheOverlay_data();
    void clickWithoutAreaKeepsTheOverlay();
    void sidewaysDragIsACapture();
    void dragRepaintLeavesNoStalePixels();
    void escapeEndsTheRun();
    void helpOpensTheManualAndEndsTheRun();
    void reportsFixedResolution();

private:
    // A shown overlay over the current desktop.
    std::unique_ptr<WndMain> openOverlay();
    QPushButton *button(const char *name) const;

    std::unique_ptr<WndMain> m_overlay;
    std::unique_ptr<RunObserver> m_run;
    std::unique_ptr<RecordingLauncher> m_launcher;
};

void TestWndMain::initTestCase()
{
    // The test ends runs itself; a closed overlay must not end the test.
    QGuiApplication::setQuitOnLastWindowClosed(false);
    // The stand-in extension libraries are built with the tests.
    QVERIFY2(QFile::exists(kStandinDir + QStringLiteral("full/libExtension.so"))
                 && QFile::exists(kStandinDir + QStringLiteral("partial/libExtension.so")),
             "stand-in extension libraries not built");
}

void TestWndMain::init()
{
    m_run = std::make_unique<RunObserver>();
    m_launcher = std::make_unique<RecordingLauncher>();
}

void TestWndMain::cleanup()
{
    m_overlay.reset();
    m_launcher.reset();
    m_run.reset();
    Extension::reloadForTesting(QString());
}

std::unique_ptr<WndMain> TestWndMain::openOverlay()
{
    auto overlay = std::make_unique<WndMain>();
    overlay->show();
    if (!QTest::qWaitForWindowExposed(overlay.get()))
        return nullptr;
    return overlay;
}

QPushButton *TestWndMain::button(const char *name) const
{
    return m_overlay->findChild<QPushButton *>(QLatin1String(name));
}

void TestWndMain::modeButtonsAreOneExclusiveGroup()
{
    // With video on offer all four buttons can be clicked.
    Extension::reloadForTesting(kStandinDir + QStringLiteral("full"));
    m_overlay = openOverlay();
    QVERIFY(m_overlay);

    const QVector<QPair<const char *, int>> modes{{"chbImageMode", Settings::ModeScreenshot},
                                                  {"chbVideoMode", Settings::ModeVideo},
                                                  {"chbGifMode", Settings::ModeGif},
                                                  {"chbScrollMode", Settings::ModeScroll}};
    auto checkedOnly = [&](const char *expected) {
        for (const auto &mode : modes) {
            if (button(mode.first)->isChecked() != (qstrcmp(mode.first, expected) == 0))
                return false;
        }
        return true;
    };
    for (const auto &mode : modes)
        QVERIFY2(button(mode.first) && button(mode.first)->isVisible(), mode.first);

    QVERIFY(checkedOnly("chbImageMode"));
    QCOMPARE(m_overlay->currentMode(), int(Settings::ModeScreenshot));

    // Every switch, and clicking the checked one again, which keeps it.
    const char *clicks[] = {"chbGifMode", "chbGifMode", "chbScrollMode", "chbVideoMode", "chbVideoMode",
                            "chbImageMode", "chbImageMode", "chbVideoMode", "chbGifMode"};
    for (const char *name : clicks) {
        QTest::mouseClick(button(name), Qt::LeftButton);
        QVERIFY2(checkedOnly(name), name);
        const auto it = std::find_if(modes.begin(), modes.end(),
                                     [&](const QPair<const char *, int> &m) { return qstrcmp(m.first, name) == 0; });
        QCOMPARE(m_overlay->currentMode(), it->second);
    }
}

void TestWndMain::videoButtonFollowsTheExtension_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("visible");

    QTest::newRow("no extension library") << testScratchDir(QStringLiteral("no-extension")) << false;
    QTest::newRow("StopVideoCapture missing") << kStandinDir + QStringLiteral("partial") << false;
    QTest::newRow("both video functions") << kStandinDir + QStringLiteral("full") << true;
    QTest::newRow("the program's own library") << QStringLiteral(SNAPLARK_BIN_DIR) << true;
}

void TestWndMain::videoButtonFollowsTheExtension()
{
    QFETCH(QString, folder);
    QFETCH(bool, visible);

    Extension::reloadForTesting(folder);
    m_overlay = openOverlay();
    QVERIFY(m_overlay);
    QCOMPARE(button("chbVideoMode")->isVisible(), visible);
    QVERIFY(!button("chbVideoMode")->isChecked());
    QVERIFY(button("chbImageMode")->isChecked());
}

// Control held: whenever the cursor comes within 40 pixels of the tool frame
// it jumps between its lower and upper place on the primary screen.
void TestWndMain::controlMakesTheToolFrameDodge()
{
    // Start with the cursor far from the frame's lower place.
    QCursor::setPos(QPoint(10, 10));
    m_overlay = openOverlay();
    QVERIFY(m_overlay);
    QWidget *tool = m_overlay->toolFrame();
    const QRect primary = ScreenGeometry::primaryScreenInOverlay();
    const QPoint lower = OverlayLogic::lowerPlace(primary, tool->size());
    const QPoint upper = OverlayLogic::upperPlace(primary, tool->size());
    QVERIFY(upper != lower);
    QCOMPARE(tool->pos(), lower);

    const QRect atLower(lower, tool->size());
    const QPoint nearLower(atLower.left() - 40, atLower.bottom() - 10);
    hover(m_overlay.get(), nearLower);
    QCOMPARE(tool->pos(), lower); // no Control, no drag: the frame stays

    QTest::keyPress(m_overlay.get(), Qt::Key_Control);
    QCOMPARE(tool->pos(), upper); // pressing Control dodges at once

    hover(m_overlay.get(), QPoint(atLower.left() - 41, atLower.bottom() - 10));
    QCOMPARE(tool->pos(), upper); // 41 pixels away: not near
    hover(m_overlay.get(), QPoint(upper.x() + 10, upper.y() + 10));
    QCOMPARE(tool->pos(), lower); // into the upper place: back down
    hover(m_overlay.get(), nearLower);
    QCOMPARE(tool->pos(), upper);

    QTest::keyRelease(m_overlay.get(), Qt::Key_Control);
    hover(m_overlay.get(), QPoint(upper.x() + 10, upper.y() + 10));
    QCOMPARE(tool->pos(), upper); // released: the frame stays under the cursor
    QVERIFY(m_run->endCodes.isEmpty());
}

void TestWndMain::toolFrameStartsAwayFromTheCursor()
{
    const QRect primary = ScreenGeometry::primaryScreenInOverlay();
    const QSize frame(253, 390);
    const QPoint lower = OverlayLogic::lowerPlace(primary, frame);
    QCursor::setPos(QRect(lower, frame).center());
    m_overlay = openOverlay();
    QVERIFY(m_overlay);
    QCOMPARE(m_overlay->toolFrame()->size(), frame);
    QCOMPARE(m_overlay->toolFrame()->pos(), OverlayLogic::upperPlace(primary, frame));
}

void TestWndMain::clickWithoutAreaKeepsTheOverlay_data()
{
    QTest::addColumn<QPoint>("to");

    QTest::newRow("same point") << QPoint(300, 200);
    QTest::newRow("one pixel right") << QPoint(301, 200);
    QTest::newRow("one pixel diagonally") << QPoint(299, 201);
}

void TestWndMain::clickWithoutAreaKeepsTheOverlay()
{
    QFETCH(QPoint, to);

    m_overlay = openOverlay();
    QVERIFY(m_overlay);
    const QRect full = m_overlay->geometry();
    QCOMPARE(full, ScreenGeometry::virtualDesktopRect());

    press(m_overlay.get(), QPoint(300, 200));
    if (to != QPoint(300, 200))
        drag(m_overlay.get(), to);
    release(m_overlay.get(), to);
    QCoreApplication::processEvents();

    QCOMPARE(m_overlay->geometry(), full);
    QVERIFY(m_overlay->isVisible());
    QVERIFY(m_overlay->captureState()->requestRect().isNull());
    QVERIFY(m_run->endCodes.isEmpty());
    QVERIFY(m_run->dialogs.isEmpty());
}

// Only a click in both directions is refused: 200 pixels sideways is a
// capture of height 0, which cannot be saved, so the run ends through the
// save failure.
void TestWndMain::sidewaysDragIsACapture()
{
    Settings::setDefAction(Settings::ActionSaveOnly);
    m_overlay = openOverlay();
    QVERIFY(m_overlay);

    press(m_overlay.get(), QPoint(300, 200));
    drag(m_overlay.get(), QPoint(500, 200));
    release(m_overlay.get(), QPoint(500, 200));
    Settings::setDefAction(Settings::ActionRedactionDialog);

    const CaptureState *state = m_overlay->captureState();
    QCOMPARE(state->requestRect(), QRect(300, 200, 200, 0));
    QCOMPARE(state->requestKind(), int(CaptureState::Region));
    QCOMPARE(state->requestMode(), int(Settings::ModeScreenshot));
    QCOMPARE(m_overlay->geometry(), QRect(-1, -1, 0, 0));
    QCOMPARE(m_run->dialogs.size(), 1);
    QCOMPARE(m_run->endCodes, QList<int>{0});
}

// During a drag the overlay repaints only what changed; what reaches the
// screen must be exactly what a full repaint shows.
void TestWndMain::dragRepaintLeavesNoStalePixels()
{
    m_overlay = openOverlay();
    QVERIFY(m_overlay);
    const QRect area(m_overlay->mapToGlobal(QPoint(0, 0)), m_overlay->size());
    QScreen *screen = QGuiApplication::primaryScreen();
    auto onScreenMatchesFullRepaint = [&] {
        const QImage full = m_overlay->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QImage shown;
        // The server may still be drawing; stale pixels would stay for good.
        for (int attempt = 0; attempt < 50; ++attempt) {
            QCoreApplication::processEvents();
            shown = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                        .toImage()
                        .convertToFormat(QImage::Format_RGB32);
            if (shown == full)
                return true;
            QTest::qWait(20);
        }
        shown.save(testScratchDir(QStringLiteral("stale")) + QStringLiteral("/shown.png"));
        full.save(testScratchDir(QStringLiteral("stale")) + QStringLiteral("/full.png"), "PNG");
        return false;
    };

    const QPoint start(400, 300);
    press(m_overlay.get(), start);
    QVERIFY(onScreenMatchesFullRepaint());
    const QPoint moves[] = {{401, 301}, {460, 350}, {461, 350}, {461, 352}, {350, 352}, {350, 250},
                            {399, 299}, {700, 600}, {10, 700}, {10, 10}};
    for (const QPoint &to : moves) {
        drag(m_overlay.get(), to);
        QVERIFY2(onScreenMatchesFullRepaint(),
                 qPrintable(QStringLiteral("after the move to %1,%2").arg(to.x()).arg(to.y())));
    }
    release(m_overlay.get(), start);
}

void TestWndMain::escapeEndsTheRun()
{
    m_overlay = openOverlay();
    QVERIFY(m_overlay);
    QTest::keyClick(m_overlay.get(), Qt::Key_Escape);
    QCOMPARE(m_run->endCodes, QList<int>{0});
    QVERIFY(!m_overlay->isVisible());
}

void TestWndMain::helpOpensTheManualAndEndsTheRun()
{
    m_overlay = openOverlay();
    QVERIFY(m_overlay);
    QTest::mouseClick(button("btnHelp"), Qt::LeftButton);

    const QUrl manual = ServiceConfig::url(QStringLiteral(
        "/category/manuals?utm_source=application&utm_medium=help-button&utm_campaign=snaplark&utm_content=1.24"));
    QCOMPARE(m_launcher->opened, QList<QUrl>{manual});
    QCOMPARE(m_run->endCodes, QList<int>{0});
    QVERIFY(!m_overlay->isVisible());
}

void TestWndMain::reportsFixedResolution()
{
    m_overlay = openOverlay();
    QVERIFY(m_overlay);
    QCOMPARE(m_overlay->logicalDpiX(), 100);
    QCOMPARE(m_overlay->logicalDpiY(), 100);
    QCOMPARE(m_overlay->physicalDpiX(), 100);
    QCOMPARE(m_overlay->physicalDpiY(), 100);
    // The display itself says otherwise, so the overlay's answer is its own.
    QVERIFY(QGuiApplication::primaryScreen()->logicalDotsPerInchX() != 100);
}

QTEST_MAIN(TestWndMain)
#include "tst_wndmain.moc"
