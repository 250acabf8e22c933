#include "core/capturestate.h"
#include "core/screengeometry.h"
#include "capture/wndmain.h"
#include "desktopdriver.h"
#include "extension/extension.h"
#include "settings/capturefolder.h"
#include "settings/settings.h"
#include "testsupport.h"
#include "ui/toolframeplace.h"

#include <QHelpEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QToolTip>
#include <QX11Info>
#include <QtTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

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

    // The video mode and its caption show only with an extension library that records.
    void videoButtonFollowsTheExtension()
    {
        const QString partial = SNAPLARK_BUILD_DIR "/tests/standin/partial"; // StopVideoCapture missing
        QVERIFY(QFile::exists(partial + "/libExtension.so"));
        for (const QString &folder : {testScratchDir("no-extension"), partial, QString(SNAPLARK_BIN_DIR)}) {
            Extension::reloadForTesting(folder);
            QVERIFY(openOverlay());
            const bool video = folder == SNAPLARK_BIN_DIR;
            QVERIFY2(button("chbVideoMode")->isVisible() == video, qPrintable(folder));
            QVERIFY2(m_overlay->findChild<QLabel *>("lblVideoMode")->isVisible() == video, qPrintable(folder));
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

    // A click, a drag by one pixel each way, and straight drags (no width or no height, so no
    // pixel to save) select nothing: the overlay stays for another try.
    void dragWithoutAreaKeepsTheOverlay()
    {
        Settings::setDefAction(Settings::ActionSaveOnly);
        auto restore = qScopeGuard([] { Settings::setDefAction(Settings::ActionRedactionDialog); });
        QVERIFY(openOverlay());
        for (const QPoint &to : {QPoint(300, 200), QPoint(299, 201), QPoint(500, 200), QPoint(300, 20)}) {
            Mouse::drag(m_overlay.get(), QPoint(300, 200), to, 1);
            QCoreApplication::processEvents();
            QCOMPARE(m_overlay->geometry(), ScreenGeometry::virtualDesktopRect());
            QVERIFY(m_overlay->captureState()->requestRect().isNull());
            QVERIFY(m_run->endCodes.isEmpty() && m_run->dialogs.isEmpty());
        }

        QTest::keyClick(m_overlay.get(), Qt::Key_Escape);
        QCOMPARE(m_run->endCodes, QList<int>{0});
        QVERIFY(!m_overlay->isVisible());
        QCOMPARE(m_overlay->logicalDpiY(), 100); // the design's point sizes hold whatever the display says
    }

    // With no active window the button is disabled and says why; even reached, it captures nothing.
    void activeWindowButtonNeedsAWindow_data()
    {
        QTest::addColumn<QString>("library");
        QTest::addColumn<QString>("situation");
        const QString standin = SNAPLARK_BUILD_DIR "/tests/standin/full";
        QTest::newRow("no extension library") << testScratchDir("no-extension") << "";
        QTest::newRow("the library finds none") << standin << "failing";
        QTest::newRow("the window manager says none") << QString(SNAPLARK_BIN_DIR) << "none active";
        QTest::newRow("a window is active") << QString(SNAPLARK_BIN_DIR) << "active";
    }
    void activeWindowButtonNeedsAWindow()
    {
        QFETCH(QString, library);
        QFETCH(QString, situation);
        Extension::reloadForTesting(library);
        qputenv("SNAPLARK_STANDIN_RESULT", situation == "failing" ? "0" : "1");
        QWidget window;
        window.setGeometry(200, 150, 400, 300);
        window.show();
        window.activateWindow();
        QTRY_COMPARE(Desktop::tool("xdotool", {"getactivewindow"}).trimmed().toULongLong(), qulonglong(window.winId()));
        if (situation == "none active") {
            Display *display = QX11Info::display();
            const Window none = 0;
            XChangeProperty(display, QX11Info::appRootWindow(), XInternAtom(display, "_NET_ACTIVE_WINDOW", False),
                            XA_WINDOW, 32, PropModeReplace, reinterpret_cast<const unsigned char *>(&none), 1);
            XSync(display, False);
        }
        Settings::setDefAction(Settings::ActionSaveOnly);
        auto restore = qScopeGuard([] { Settings::setDefAction(Settings::ActionRedactionDialog); });
        QVERIFY(openOverlay());

        QPushButton *activeWindow = button("btnActiveWindow");
        const bool known = situation == "active";
        QCOMPARE(activeWindow->isEnabled(), known);
        // what the user reads when hovering it
        QHelpEvent hover(QEvent::ToolTip, QPoint(5, 5), activeWindow->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(activeWindow, &hover);
        QTRY_COMPARE(QToolTip::text(), known ? QStringLiteral("Active window capture")
                                             : QStringLiteral("No active window to capture"));
        QToolTip::hideText();
        if (known)
            return;
        QTest::mouseClick(activeWindow, Qt::LeftButton);
        m_overlay->onActiveWindowClick(); // as if reached some other way
        QCoreApplication::processEvents();
        QCOMPARE(m_overlay->geometry(), ScreenGeometry::virtualDesktopRect());
        QVERIFY(m_overlay->captureState()->requestRect().isNull());
        QVERIFY(m_run->endCodes.isEmpty() && m_run->dialogs.isEmpty());
    }

    // A request that holds no pixel, even one handed over for the active window when there is
    // none, ends in the error box: no file, and never the whole desktop.
    void emptyRequestSavesNothing()
    {
        QVERIFY(QDir(CaptureFolder::path()).removeRecursively());
        QVERIFY(openOverlay());
        Settings::setCurrentAction(Settings::ActionSaveOnly);
        QImage desktop(64, 48, QImage::Format_RGB32);
        desktop.fill(Qt::darkCyan);
        for (int kind : {int(CaptureState::Region), int(CaptureState::ActiveWindow)}) {
            CaptureState state(desktop);
            state.setRequestKind(kind);
            state.setRequestMode(Settings::ModeScreenshot);
            m_run->endCodes.clear();
            m_run->dialogs.clear();
            m_overlay->dispatchCapture(&state, false);
            QCOMPARE(m_run->dialogs.size(), 1);
            QCOMPARE(m_run->endCodes, QList<int>{0});
            QCOMPARE(QDir(CaptureFolder::path()).entryList(QDir::Files), QStringList());
        }
    }

    // The jump menu is handed a real file address of the captures folder, whose name has a space.
    void jumpMenuGetsTheFolderAsAUrl()
    {
        const QString log = testScratchDir("jumpmenu") + "/calls.log";
        QFile::remove(log);
        qputenv("SNAPLARK_STANDIN_LOG", QFile::encodeName(log));
        auto unset = qScopeGuard([] { qunsetenv("SNAPLARK_STANDIN_LOG"); });
        Extension::reloadForTesting(SNAPLARK_BUILD_DIR "/tests/standin/full");
        QVERIFY(openOverlay());
        m_overlay->beforeAppExit();
        QFile calls(log);
        QVERIFY(calls.open(QIODevice::ReadOnly));
        const QStringList jump = QString::fromUtf8(calls.readAll()).split('\n').filter("CreateJumpMenu").value(0).split('\t');
        QCOMPARE(jump.size(), 4);
        const QUrl address(jump[3], QUrl::StrictMode);
        QVERIFY2(address.isValid() && address.isLocalFile(), qPrintable(jump[3]));
        QCOMPARE(address.toLocalFile(), QDir::fromNativeSeparators(CaptureFolder::path()));
    }

    // Each mode caption shows whole, in the font in use, under its own icon, with clear columns
    // between neighbours: its ink is found by drawing the frame with and without it.
    void modeCaptionsKeepApart()
    {
        QVERIFY(openOverlay());
        QWidget *tool = m_overlay->toolFrame();
        const QVector<QPair<const char *, const char *>> modes{{"chbImageMode", "lblImageMode"},
                                                               {"chbGifMode", "lblGifMode"},
                                                               {"chbScrollMode", "lblScrollMode"},
                                                               {"chbVideoMode", "lblVideoMode"}};
        QVector<QLabel *> captions;
        for (const auto &mode : modes) {
            captions.append(tool->findChild<QLabel *>(mode.second));
            QVERIFY2(captions.last() && captions.last()->isVisible(), mode.second);
        }
        const auto columnsInked = [](const QImage &with, const QImage &without) {
            int first = INT_MAX, last = INT_MIN;
            for (int y = 0; y < with.height(); ++y)
                for (int x = 0; x < with.width(); ++x)
                    if (with.pixel(x, y) != without.pixel(x, y))
                        first = qMin(first, x), last = qMax(last, x);
            return qMakePair(first, last);
        };
        for (QLabel *caption : captions)
            caption->hide();
        const QImage bare = tool->grab().toImage();
        QVector<QPair<int, int>> inks;
        QStringList whats;
        for (QLabel *caption : captions) {
            caption->show();
            inks.append(columnsInked(tool->grab().toImage(), bare));
            caption->hide();
            // the same text drawn with room to spare: the caption lost no column to its box
            QImage blank(400, 40, QImage::Format_RGB32);
            blank.fill(Qt::white);
            QImage alone = blank;
            {
                QPainter painter(&alone);
                painter.setFont(caption->font());
                painter.drawText(QPoint(100, 30), caption->text());
            }
            const auto whole = columnsInked(alone, blank);
            const auto &ink = inks.last();
            QVERIFY2(ink.first <= ink.second, qPrintable(caption->text() + " is not drawn"));
            whats.append(QStringLiteral("%1 at %2..%3, %4 pixels wide in %5 px")
                             .arg(caption->text()).arg(ink.first).arg(ink.second)
                             .arg(whole.second - whole.first + 1).arg(caption->font().pixelSize()));
            QVERIFY2(qAbs((ink.second - ink.first) - (whole.second - whole.first)) <= 1, qPrintable(whats.last()));
            QVERIFY2(ink.first >= 2 && ink.second < tool->width() - 2, qPrintable(whats.last()));
        }
        for (int i = 1; i < inks.size(); ++i)
            QVERIFY2(inks[i].first - inks[i - 1].second > 3, qPrintable(whats[i] + " touches " + whats[i - 1]));
        for (int i = 0; i < inks.size(); ++i) {
            const QPushButton *mode = button(modes[i].first);
            QVERIFY2(qAbs((inks[i].first + inks[i].second) / 2 - (mode->x() + mode->width() / 2)) <= 6,
                     qPrintable(whats[i] + " is not under its button"));
        }
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
