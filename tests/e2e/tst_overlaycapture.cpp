#include "desktopdriver.h"
#include "editor/editoractions.h"
#include "fakefilemanager.h"
#include "patternwindow.h"
#include "processdriver.h"
#include "settings/settings.h"
#include "standinopener.h"
#include "testsupport.h"
#include "ui/baseframe.h"
#include "ui/stylesheet.h"
#include "ui/toolframeplace.h"

#include <QPainter>
#include <QPushButton>
#include <QX11Info>
#include <QtTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <memory>

// The real program driven through the X tools, judged by its file, the clipboard after the run and who showed the file.
using namespace Desktop;

namespace {

const QRect kSelection(QPoint(100, 120), QSize(300, 200)); // dragged to (400, 320)
const QString kClipboardBefore = QStringLiteral("clipboard before the run");
const QSize kToolFrame(253, 390);
const QSize kToolbar(372, 171);

// A window of the test that the window manager frames, places and activates.
std::unique_ptr<QWidget> managedWindow(const QRect &geometry, Qt::WindowFlags flags = {})
{
    auto window = std::make_unique<QWidget>(nullptr, flags);
    window->setGeometry(geometry);
    window->show();
    window->activateWindow();
    return window;
}

// The screen once the window manager has finished drawing.
QImage settledScreen()
{
    QImage screen = grabScreen(), before;
    waitUntil([&] { before = screen; QTest::qWait(50); return (screen = grabScreen()) == before; }, 5000);
    return screen;
}

} // namespace

class TestOverlayCapture : public QObject
{
    Q_OBJECT

    QString m_scratch;
    std::unique_ptr<ProgramCopy> m_copy;
    std::unique_ptr<StandinOpener> m_opener;
    std::unique_ptr<PatternWindow> m_pattern;
    std::unique_ptr<QWidget> m_panel;
    std::unique_ptr<ProgramRun> m_run;
    qulonglong m_overlay = 0;

    // Starts a capture run (with a scale factor setting such as "QT_SCALE_FACTOR=2"); true once
    // its overlay covers the screen and has grabbed it (the overlay may be mapped before it grabs).
    bool startOverlay(const QString &scaling = QString())
    {
        m_run = m_copy->newRun(scaled(QProcessEnvironment::systemEnvironment(), scaling));
        if (!m_run->start() || !(m_overlay = waitForOverlay(m_run->pid())) || !m_run->waitForLog("Pixmap size: 1280x800", 5000))
            return false;
        // The pattern is in the frozen grab now: off the screen, it shows that the capture comes from
        // that grab, and lets the mouse reach the overlay (unmanaged windows stay above it).
        m_pattern->hide();
        const qulonglong pattern = m_pattern->winId();
        return waitUntil([&] { return !windowsOf(QCoreApplication::applicationPid()).contains(pattern); }, 5000);
    }

    // The run's only capture, once the run has ended with 0.
    QString finishedCapture() const
    {
        if (!m_run->waitForFinished(20000) || m_run->exitStatus() != QProcess::NormalExit || m_run->exitCode() != 0)
            return QString();
        const QStringList files = QDir(capturesFolder()).entryList(QDir::Files | QDir::Hidden);
        return files.size() == 1 && files[0].endsWith(".png") ? QDir(capturesFolder()).filePath(files[0]) : QString();
    }

    QStringList viewerRequests() const
    {
        return m_opener->opened().split('\n', Qt::SkipEmptyParts);
    }

private slots:
    void initTestCase()
    {
        m_scratch = testScratchDir("overlaycapture");
        m_copy = std::make_unique<ProgramCopy>(m_scratch + "/bin");
        QVERIFY(m_copy->isValid());
        // The desktop's default handler, first on the path, records what it is asked to open.
        m_opener = std::make_unique<StandinOpener>(m_scratch);
        QVERIFY(m_opener->isValid());
        qputenv("PATH", QFile::encodeName(m_opener->environment().value("PATH")));
        m_pattern = std::make_unique<PatternWindow>(QRect(40, 50, 560, 420));
        // a panel reserving the bottom 60 pixels: the work area is not the screen
        m_panel = managedWindow(QRect(0, 740, 1280, 60), Qt::FramelessWindowHint);
        QVERIFY(QTest::qWaitForWindowExposed(m_panel.get()));
        QVERIFY(!tool("xprop", {"-id", QString::number(m_panel->winId()), "-f", "_NET_WM_STRUT_PARTIAL", "32c", "-set",
                                "_NET_WM_STRUT_PARTIAL", "0, 0, 0, 60, 0, 0, 0, 0, 0, 0, 0, 1279"}).isNull());
        QTRY_VERIFY(tool("xprop", {"-root", "_NET_WORKAREA"}).contains("= 0, 0, 1280, 740"));
    }

    void init()
    {
        QDir(capturesFolder()).removeRecursively();
        m_opener->forget();
        QSettings("Snaplark", "Snaplark").clear();
        QVERIFY(ownClipboard(kClipboardBefore));
        QVERIFY(moveMouse(QPoint(5, 5))); // away from the tool frame, which so starts in its lower place
        QVERIFY(m_pattern->showAndWait());
    }

    void cleanup()
    {
        m_run.reset();
        keyUp({"alt"});
        auto kill = qScopeGuard([this] { m_copy->killAll(); });
        // Taking the clipboard back ends a keeper the run left behind.
        QVERIFY(ownClipboard(kClipboardBefore));
        QVERIFY2(waitUntil([this] { return m_copy->running().isEmpty(); }, 5000), "the keeper outlives the clipboard");
    }

    void capture_data()
    {
        QTest::addColumn<int>("defAction");
        QTest::addColumn<int>("defClipboard");
        QTest::addColumn<bool>("alt");
        QTest::addColumn<int>("buttonY"); // in the tool frame; 0: drag the region
        QTest::addColumn<QRect>("window");
        QTest::addColumn<QString>("scaling"); // the program's scale factor setting, if any
        QTest::addColumn<QRect>("selection"); // dragged, in the program's logical pixels

        using namespace Settings;
        const int save = ActionSaveOnly, path = ClipboardLocalPath, viewer = ActionOpenDefaultViewer;
        const QRect none;
        const QString scale2 = "QT_SCALE_FACTOR=2", scale15 = "QT_SCALE_FACTOR=1.5";
        QTest::newRow("region, path") << save << path << false << 0 << none << QString() << kSelection;
        QTest::newRow("region, picture") << save << int(ClipboardBitmap) << false << 0 << none << QString() << kSelection;
        QTest::newRow("region, viewer, nothing copied") << viewer << int(ClipboardNone) << false << 0 << none << QString()
                                                        << kSelection;
        // Alt at release: AltAction (the viewer) and AltClipboard (the picture)
        QTest::newRow("region, alt at release") << save << path << true << 0 << none << QString() << kSelection;
        QTest::newRow("full screen") << save << path << false << 50 << none << QString() << none;
        // under the pattern window, so a rectangle off by one pixel shows
        QTest::newRow("active window") << save << path << false << 100 << QRect(137, 91, 320, 200) << QString() << none;
        // larger than the screen: cut to the work area (above the panel), not to the screen
        QTest::newRow("active window beyond the work area") << save << path << false << 100
                                                            << QRect(-20, -30, 1320, 860) << QString() << none;
        // Scaled screens: every capture has the screen's own pixels, not the logical ones.
        QTest::newRow("scale 2, region") << save << path << false << 0 << none << scale2 << kSelection;
        QTest::newRow("scale 2, picture copied") << save << int(ClipboardBitmap) << false << 0 << none << scale2
                                                 << kSelection;
        QTest::newRow("scale 2 for the screen") << save << path << false << 0 << none
                                                << QString("QT_SCREEN_SCALE_FACTORS=2") << kSelection;
        QTest::newRow("scale 2, full screen") << save << path << false << 50 << none << scale2 << none;
        // at odd device pixels, which no logical rectangle reaches at scale 2
        QTest::newRow("scale 2, active window") << save << path << false << 100 << QRect(437, 291, 321, 201) << scale2
                                                << none;
        QTest::newRow("scale 2, active window beyond the work area") << save << path << false << 100
                                                                     << QRect(-20, -30, 1320, 860) << scale2 << none;
        // Odd edges and sizes at 1.5: both edges of each side round the same way (301 x 196 pixels,
        // where scaling the position and the size apart gives 302 x 197).
        QTest::newRow("scale 1.5, region") << save << path << false << 0 << none << scale15
                                           << QRect(QPoint(101, 121), QSize(201, 131));
        QTest::newRow("scale 1.5, full screen") << save << path << false << 50 << none << scale15 << none;
    }

    void capture()
    {
        QFETCH(int, defAction);
        QFETCH(int, defClipboard);
        QFETCH(bool, alt);
        QFETCH(int, buttonY);
        QFETCH(QRect, window);
        QFETCH(QString, scaling);
        QFETCH(QRect, selection);
        const qreal scale = scaleOf(scaling);

        QRect expected = buttonY == 0 ? deviceRect(selection, scale) : screenRect();
        std::unique_ptr<QWidget> target;
        if (window.isValid()) {
            target = managedWindow(window);
            QTRY_VERIFY(tool("xdotool", {"getactivewindow"}).trimmed().toULongLong() == target->winId());
            const QRect frame = target->frameGeometry();
            QVERIFY2(frame.height() > target->height(), "the window manager should frame the window");
            const QRect workArea(0, 0, 1280, 740);
            expected = frame.contains(workArea) ? workArea : frame;
        }
        Settings::setDefAction(defAction);
        Settings::setDefClipboard(defClipboard);
        Settings::setAltAction(Settings::ActionOpenDefaultViewer);
        Settings::setAltClipboard(Settings::ClipboardBitmap);
        FakeFileManagerService fileManager;
        QVERIFY(fileManager.registered());
        const QImage picture = settledScreen().copy(expected);

        QVERIFY2(startOverlay(scaling), qPrintable(m_run->log()));
        // a drag, or the button's middle in the tool frame (253 x 390) 50 pixels short of the screen's corner
        const QStringList held = alt ? QStringList{"alt"} : QStringList();
        const QPoint frame = ToolFramePlace::lower(logicalScreen(scale), kToolFrame);
        QVERIFY(buttonY ? click(devicePoint(frame + QPoint(207 + 19, buttonY + 19), scale))
                        : drag(devicePoint(selection.topLeft(), scale),
                               devicePoint(selection.bottomRight() + QPoint(1, 1), scale), held));
        const QString file = finishedCapture();
        QVERIFY2(!file.isEmpty(), qPrintable(m_run->log()));
        QCOMPARE(rgb(QImage(file, "PNG")), picture);

        // the viewer (started detached, so maybe still on its way) or the file manager shows the file
        const bool viewer = alt || defAction == Settings::ActionOpenDefaultViewer; // AltAction is the viewer
        QVERIFY(!viewer || waitUntil([this] { return !viewerRequests().isEmpty(); }, 5000));
        const QStringList asked = viewer ? viewerRequests() : fileManager.receivedUris();
        QCOMPARE(asked.size(), 1);
        QCOMPARE(QUrl(asked.first(), QUrl::StrictMode).toLocalFile(), file);
        QVERIFY((viewer ? fileManager.receivedUris() : viewerRequests()).isEmpty());
        const int copied = alt ? int(Settings::ClipboardBitmap) : defClipboard;
        if (copied == Settings::ClipboardBitmap)
            QCOMPARE(rgb(QImage::fromData(Desktop::clipboard("image/png"), "PNG")), picture);
        else
            QCOMPARE(QString::fromUtf8(Desktop::clipboard()),
                     copied == Settings::ClipboardLocalPath ? file : kClipboardBefore);
    }

    // At scale 2 the loupe magnifies the screen's own pixels around the cursor, four times, with
    // the crosshair's centre showing the device pixel before the cursor.
    void loupeShowsDevicePixels()
    {
        const QImage screen = settledScreen();
        QVERIFY2(startOverlay("QT_SCALE_FACTOR=2"), qPrintable(m_run->log()));
        const QPoint cursor(400, 300); // logical (200, 150)
        QVERIFY(moveMouse(cursor));
        // the loupe (186 x 186 logical, 372 x 372 device) at (12, 51) in the tool frame
        const QPoint loupe = devicePoint(ToolFramePlace::lower(logicalScreen(2), kToolFrame) + QPoint(12, 51), 2);
        const QPoint corner = cursor - QPoint(46, 46); // 93 x 93 device pixels shown
        QString mismatch;
        const auto showsDevicePixels = [&] {
            const QImage shown = grabScreen();
            for (int j = 0; j < 93; ++j)
                for (int i = 0; i < 93; ++i) {
                    if (i == 45 || i == 46 || j == 45 || j == 46) // under the crosshair bands
                        continue;
                    const QPoint cell = loupe + QPoint(4 * i + 2, 4 * j + 2);
                    if (shown.pixel(cell) != screen.pixel(corner + QPoint(i, j))) {
                        mismatch = QString("cell %1,%2").arg(i).arg(j);
                        return false;
                    }
                }
            mismatch = "the centre";
            return shown.copy(QRect(loupe + QPoint(182, 182), QSize(4, 4))) == solid(QSize(4, 4), screen.pixel(cursor - QPoint(1, 1)));
        };
        QVERIFY2(waitUntil(showsDevicePixels, 5000), qPrintable(mismatch));
    }

    // At scale 2 the editor's picture has the screen's pixels with the rectangle where it was
    // drawn, and its toolbar (the colour button too) shows every picture as at scale 1.
    void redactionEditorAtScale2()
    {
        FakeFileManagerService fileManager;
        QVERIFY(fileManager.registered());
        const QImage screen = grabScreen();
        QVERIFY2(startOverlay("QT_SCALE_FACTOR=2"), qPrintable(m_run->log()));
        QVERIFY(drag(devicePoint(kSelection.topLeft(), 2), devicePoint(kSelection.bottomRight() + QPoint(1, 1), 2)));
        const QRect selection = deviceRect(kSelection, 2);
        // off the frame's handles and the toolbar
        const QRect inside = deviceRect(QRect(QPoint(104, 124), QPoint(210, 315)), 2);
        QVERIFY2(waitUntil([&] {
            const QImage shown = grabScreen();
            return shown.pixel(60, 70) != screen.pixel(60, 70) && shown.copy(inside) == screen.copy(inside);
        }, 10000), qPrintable(m_run->log()));

        // the toolbar overlaps the selection at its lower place, so it starts at its upper one
        const QPoint toolbar = ToolFramePlace::upper(logicalScreen(2), kToolbar);
        const auto at = [&](const QRect &button) { return devicePoint(toolbar + button.center(), 2); };
        QVERIFY(click(at(QRect(15, 90, 40, 41)))); // btnRect
        // logical, more than 40 pixels from the toolbar, which would dodge the cursor
        const QRect mark(QPoint(110, 130), QPoint(170, 200));
        QVERIFY(drag(devicePoint(mark.topLeft(), 2), devicePoint(mark.bottomRight(), 2)));
        const QRect markShown = deviceRect(mark, 2);
        QVERIFY(waitUntil([&] { return QColor(grabScreen().pixel(markShown.center())) == QColor(Qt::black); }, 5000));
        const QImage toolbarShown = grabScreen().copy(QRect(devicePoint(toolbar, 2), kToolbar * 2));
        QVERIFY(click(at(QRect(245, 90, 110, 40)))); // btnSave

        QImage expected = screen.copy(selection);
        QPainter(&expected).fillRect(markShown.translated(-selection.topLeft()), Qt::black);
        const QString file = finishedCapture();
        QVERIFY2(!file.isEmpty(), qPrintable(m_run->log()));
        QCOMPARE(rgb(QImage(file, "PNG")), expected);

        // The same toolbar at scale 1 in this process: each button's area, enlarged, must look
        // like what the program showed, and far more like it than the toolbar's bare background
        // there (what a button not drawn leaves).
        StyleSheet::installApplicationSheet();
        QWidget host;
        EditorActions actions(&host, &host);
        actions.toolbar().btnRect->setChecked(true);
        actions.selectTool(EditorTool::Rect);
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        BaseFrame *frame = actions.toolbar().controlFrame;
        const auto enlarged = [frame](const QRect &area) {
            return rgb(frame->grab(area).toImage()).scaled(area.size() * 2, Qt::IgnoreAspectRatio,
                                                           Qt::SmoothTransformation);
        };
        const QList<QPushButton *> buttons = frame->findChildren<QPushButton *>();
        QCOMPARE(buttons.size(), 11);
        for (QPushButton *button : buttons) {
            QVERIFY2(button->isVisible(), qPrintable(button->objectName()));
            const QRect area = button->geometry();
            const QImage drawn = enlarged(area);
            button->hide();
            const QImage bare = enlarged(area);
            button->show();
            const QImage shown = toolbarShown.copy(QRect(area.topLeft() * 2, area.size() * 2));
            const double offDrawn = meanDifference(drawn, shown), offBare = meanDifference(bare, shown);
            QVERIFY2(offDrawn < 12 && offDrawn * 2 < offBare,
                     qPrintable(QString("%1: %2 from the button, %3 from the background")
                                    .arg(button->objectName()).arg(offDrawn).arg(offBare)));
        }
    }

    // With no active window the button captures nothing, where it used to give the whole
    // desktop: the overlay stays, and the drag that follows saves just the dragged region.
    void activeWindowButtonWithoutOne_data()
    {
        QTest::addColumn<bool>("library");
        QTest::newRow("the window manager says none is active") << true;
        QTest::newRow("no extension library") << false;
    }
    void activeWindowButtonWithoutOne()
    {
        QFETCH(bool, library);
        const QString extension = m_scratch + "/bin/libExtension.so";
        QVERIFY(library || QFile::rename(extension, extension + ".away"));
        auto restore = qScopeGuard([&] { library || QFile::rename(extension + ".away", extension); });
        Settings::setDefAction(Settings::ActionSaveOnly);
        Settings::setDefClipboard(Settings::ClipboardNone);
        FakeFileManagerService fileManager;
        QVERIFY(fileManager.registered());
        const QImage picture = settledScreen().copy(kSelection);
        Display *display = QX11Info::display();
        const Window none = 0;
        XChangeProperty(display, QX11Info::appRootWindow(), XInternAtom(display, "_NET_ACTIVE_WINDOW", False),
                        XA_WINDOW, 32, PropModeReplace, reinterpret_cast<const unsigned char *>(&none), 1);
        XSync(display, False);

        QVERIFY2(startOverlay(), qPrintable(m_run->log()));
        QVERIFY(m_run->log().contains("Active window visible bounds: 0,0,-1,-1"));
        QVERIFY(click(QPoint(1279 - 50 - 253 + 207 + 19, 799 - 50 - 390 + 100 + 19)));
        QVERIFY2(!waitUntil([this] { return !m_run->isRunning(); }, 1500), qPrintable(m_run->log()));
        QCOMPARE(windowGeometry(m_overlay), screenRect());
        QCOMPARE(QDir(capturesFolder()).entryList(QDir::Files | QDir::Hidden), QStringList());

        QVERIFY(drag(kSelection.topLeft(), kSelection.bottomRight() + QPoint(1, 1)));
        const QString file = finishedCapture();
        QVERIFY2(!file.isEmpty(), qPrintable(m_run->log()));
        QCOMPARE(rgb(QImage(file, "PNG")), picture);
    }

    // With the first-run settings a drag opens the editor; a filled rectangle, the selection moved
    // and Save give the selection as it was shown with the rectangle and nothing else.
    void redactionEditorSave()
    {
        FakeFileManagerService fileManager;
        QVERIFY(fileManager.registered());
        const QImage screen = grabScreen();
        QVERIFY2(startOverlay(), qPrintable(m_run->log()));
        QVERIFY(drag(kSelection.topLeft(), kSelection.bottomRight() + QPoint(1, 1)));
        const auto editorShown = [&] {
            for (qulonglong window : windowsOf(m_run->pid()))
                if (window != m_overlay && windowGeometry(window) == screenRect())
                    return true;
            return false;
        };
        QVERIFY2(waitUntil(editorShown, 10000), qPrintable(m_run->log()));
        // painted: the backdrop dimmed, the selection (off the frame's handles) as it was
        const QRect inside = kSelection.adjusted(4, 4, -4, -4);
        QVERIFY(waitUntil([&] {
            const QImage shown = grabScreen();
            return shown.pixel(60, 70) != screen.pixel(60, 70) && shown.copy(inside) == screen.copy(inside);
        }, 10000));

        // the toolbar (372 x 171) starts 50 pixels short of the screen's corner, off the selection
        const QPoint toolbar(1279 - 50 - 372, 799 - 50 - 171);
        const QRect mark(QPoint(150, 160), QPoint(250, 240));
        QVERIFY(click(toolbar + QRect(15, 90, 40, 41).center())); // btnRect
        QVERIFY(drag(mark.topLeft(), mark.bottomRight()));
        QVERIFY(waitUntil([&] { return QColor(grabScreen().pixel(mark.center())) == QColor(Qt::black); }, 5000));
        // with the tool put down, a drag inside moves the selection; the mark stays
        QVERIFY(click(toolbar + QRect(15, 90, 40, 41).center()));
        QVERIFY(drag(QPoint(350, 280), QPoint(380, 295)));
        const QRect moved = kSelection.translated(30, 15);
        const QPoint nowInside = moved.bottomRight() - QPoint(3, 3);
        QVERIFY(waitUntil([&] { return grabScreen().pixel(nowInside) == screen.pixel(nowInside); }, 5000));
        QVERIFY(click(toolbar + QRect(245, 90, 110, 40).center())); // btnSave

        // the rectangle from press to release pixel in the tool's colour; no frame, handles or toolbar
        QImage expected = screen.copy(moved);
        QPainter(&expected).fillRect(mark.translated(-moved.topLeft()), Qt::black);
        const QString file = finishedCapture();
        QVERIFY2(!file.isEmpty(), qPrintable(m_run->log()));
        QCOMPARE(rgb(QImage(file, "PNG")), expected);
        // "Web page url" needs an upload; Save copies the file's path instead
        QCOMPARE(QString::fromUtf8(Desktop::clipboard()), file);
        QCOMPARE(fileManager.receivedUris().size(), 1);
    }
};

QTEST_MAIN(TestOverlayCapture)
#include "tst_overlaycapture.moc"
