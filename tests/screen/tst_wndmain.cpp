#include "core/capturestate.h"
#include "core/screengeometry.h"
#include "capture/wndmain.h"
#include "desktopdriver.h"
#include "extension/extension.h"
#include "settings/settings.h"
#include "testsupport.h"
#include "ui/toolframeplace.h"

#include <QPushButton>
#include <QtTest>

#include <memory>

// The overlay on a real display, its mouse events sent straight to it.
class TestWndMain : public QObject
{
    Q_OBJECT

    std::unique_ptr<RunObserver> m_run;
    std::unique_ptr<RecordingLauncher> m_launcher;
    std::unique_ptr<WndMain> m_overlay;

    bool openOverlay()
    {
        m_overlay = std::make_unique<WndMain>();
        m_overlay->show();
        return QTest::qWaitForWindowExposed(m_overlay.get());
    }
    QPushButton *button(const char *name) const { return m_overlay->findChild<QPushButton *>(name); }

private slots:
    void initTestCase() { QGuiApplication::setQuitOnLastWindowClosed(false); }
    void init()
    {
        m_run = std::make_unique<RunObserver>();
        m_launcher = std::make_unique<RecordingLauncher>();
        Extension::reloadForTesting(SNAPLARK_BIN_DIR);
    }
    void cleanup()
    {
        m_overlay.reset();
        m_launcher.reset();
        m_run.reset();
        Extension::reloadForTesting(QString());
    }

    void modeButtonsAreOneExclusiveGroup()
    {
        QVERIFY(openOverlay());
        using namespace Settings;
        const QVector<QPair<const char *, int>> modes{{"chbImageMode", ModeScreenshot}, {"chbVideoMode", ModeVideo},
                                                      {"chbGifMode", ModeGif}, {"chbScrollMode", ModeScroll}};
        // every switch, and clicking the checked one again, which keeps it
        for (int clicked : {2, 2, 3, 1, 1, 0, 0, 1, 2}) {
            QTest::mouseClick(button(modes[clicked].first), Qt::LeftButton);
            for (int i = 0; i < modes.size(); ++i)
                QVERIFY2(button(modes[i].first)->isChecked() == (i == clicked), modes[i].first);
            QCOMPARE(m_overlay->currentMode(), modes[clicked].second);
        }
    }

    // The video mode shows only with an extension library that records.
    void videoButtonFollowsTheExtension()
    {
        const QString partial = SNAPLARK_BUILD_DIR "/tests/standin/partial"; // StopVideoCapture missing
        QVERIFY(QFile::exists(partial + "/libExtension.so"));
        for (const QString &folder : {testScratchDir("no-extension"), partial, QString(SNAPLARK_BIN_DIR)}) {
            Extension::reloadForTesting(folder);
            QVERIFY(openOverlay());
            QVERIFY2(button("chbVideoMode")->isVisible() == (folder == SNAPLARK_BIN_DIR), qPrintable(folder));
            QCOMPARE(m_overlay->currentMode(), int(Settings::ModeScreenshot));
        }
    }

    // The tool frame starts away from the cursor; with Control held, or during a
    // drag, it jumps between its lower and upper place when the cursor comes near.
    void toolFrameDodgesTheCursor()
    {
        const QRect primary = ScreenGeometry::primaryScreenInOverlay();
        const QSize frame(253, 390);
        const QPoint lower = ToolFramePlace::lower(primary, frame);
        const QPoint upper = ToolFramePlace::upper(primary, frame);
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
    }

    void clickWithoutAreaKeepsTheOverlay()
    {
        QVERIFY(openOverlay());
        // a click, and a drag by one pixel each way, select nothing
        Mouse::drag(m_overlay.get(), QPoint(300, 200), QPoint(300, 200), 1);
        Mouse::drag(m_overlay.get(), QPoint(300, 200), QPoint(299, 201), 1);
        QCoreApplication::processEvents();
        QCOMPARE(m_overlay->geometry(), ScreenGeometry::virtualDesktopRect());
        QVERIFY(m_overlay->captureState()->requestRect().isNull());
        QVERIFY(m_run->endCodes.isEmpty() && m_run->dialogs.isEmpty());

        QTest::keyClick(m_overlay.get(), Qt::Key_Escape);
        QCOMPARE(m_run->endCodes, QList<int>{0});
        QVERIFY(!m_overlay->isVisible());
        QCOMPARE(m_overlay->logicalDpiY(), 100); // the design's point sizes hold whatever the display says
    }

    // Only a click both ways is refused: 200 pixels sideways is a capture of height 0, which
    // cannot be saved, so the run ends through the save failure's box rather than silently.
    void sidewaysDragIsACapture()
    {
        Settings::setDefAction(Settings::ActionSaveOnly);
        QVERIFY(openOverlay());
        Mouse::drag(m_overlay.get(), QPoint(300, 200), QPoint(500, 200), 1);
        Settings::setDefAction(Settings::ActionRedactionDialog);
        QCOMPARE(m_overlay->captureState()->requestRect(), QRect(300, 200, 200, 0));
        QCOMPARE(m_overlay->captureState()->requestKind(), int(CaptureState::Region));
        QCOMPARE(m_overlay->geometry(), QRect(-1, -1, 0, 0));
        QCOMPARE(m_run->dialogs.size(), 1);
        QCOMPARE(m_run->endCodes, QList<int>{0});
    }

    // During a drag the overlay repaints only what changed.
    void dragRepaintLeavesNoStalePixels()
    {
        QVERIFY(openOverlay());
        Mouse::press(m_overlay.get(), QPoint(400, 300));
        for (const QPoint &to : {QPoint(401, 301), QPoint(460, 350), QPoint(461, 352), QPoint(350, 250),
                                 QPoint(700, 600), QPoint(10, 10)}) {
            Mouse::move(m_overlay.get(), to, true);
            QVERIFY2(Desktop::showsFullRepaint(m_overlay.get()),
                     qPrintable(QString("after the move to %1,%2").arg(to.x()).arg(to.y())));
        }
        Mouse::release(m_overlay.get(), QPoint(400, 300));
    }
};

QTEST_MAIN(TestWndMain)
#include "tst_wndmain.moc"
