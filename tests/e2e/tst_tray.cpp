#include "desktopdriver.h"
#include "extension/extension.h"
#include "formspots.h"
#include "processdriver.h"
#include "settings/settings.h"
#include "settingsdialog/wndsettings.h"
#include "snaplarkextension.h"
#include "testsupport.h"

#include <QDir>
#include <QKeyEvent>
#include <QMenu>
#include <QX11Info>
#include <QtTest>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include <memory>

// The tray program run from a copy of the program's folder, driven with the
// X tools: its hotkey, its floating button and its close message, judged by
// the capture runs it starts.
using namespace Desktop;

namespace {

const QString kTrayTitle = QStringLiteral("SnaplarkTrayIcon");
const QString kButtonTitle = QStringLiteral("SnaplarkFloatingButton");
constexpr int kCtrlAlt = 4 | 8;

bool xdotool(const QStringList &arguments) { return !tool("xdotool", arguments).isNull(); }

bool numLockOn()
{
    Display *display = QX11Info::display();
    XkbStateRec state;
    const unsigned mask = XkbKeysymToModifiers(display, XK_Num_Lock);
    return mask && XkbGetState(display, XkbUseCoreKbd, &state) == Success && (state.locked_mods & mask);
}

// A window of the test with the keyboard focus that records the keys reaching it.
class KeyRecorder : public QWidget
{
public:
    KeyRecorder()
    {
        setWindowTitle("SnaplarkKeyRecorder");
        setGeometry(700, 100, 300, 200);
    }
    bool showFocused()
    {
        show();
        activateWindow();
        return QTest::qWaitForWindowExposed(this) && xdotool({"windowfocus", "--sync", QString::number(winId())})
               && QTest::qWaitFor([this] { return QApplication::focusWidget() == this || isActiveWindow(); }, 5000);
    }
    QList<int> keys;

protected:
    void keyPressEvent(QKeyEvent *event) override { keys.append(event->key()); }
};

} // namespace

class TestTray : public QObject
{
    Q_OBJECT

    QString m_scratch;
    std::unique_ptr<ProgramCopy> m_copy;
    std::unique_ptr<ProgramRun> m_tray;
    FormSpots m_spots; // of the settings dialog

    QString trayProgram() const { return QFileInfo(m_copy->program()).dir().filePath("snaplarkTray"); }

    bool startTray()
    {
        m_tray = m_copy->newRun(QProcessEnvironment::systemEnvironment(), "snaplarkTray");
        return m_tray->start();
    }

    // Capture runs: copies of snaplark other than the tray program.
    QList<qint64> captureRuns() const
    {
        QList<qint64> runs;
        for (qint64 pid : m_copy->running()) {
            if (ProcessTable::commandLine(pid).value(0).endsWith("/snaplark"))
                runs.append(pid);
        }
        return runs;
    }

    // The tray's window, mapped or not.
    static QByteArray trayWindows() { return tool("xdotool", {"search", "--name", "^" + kTrayTitle + "$"}).trimmed(); }

    // "snaplark /config": the tray program it starts writes to this run's log.
    std::unique_ptr<ProgramRun> openSettings(qulonglong *window)
    {
        auto run = m_copy->newRun();
        if (!run->start({"/config"}) || !waitUntil([] { return windowsNamed("SnaplarkSettings").size() == 1; }, 15000))
            return nullptr;
        *window = windowsNamed("SnaplarkSettings").first();
        QTest::qWait(300); // laid out and drawn
        return run;
    }

    bool okAndFinished(ProgramRun &settings, qulonglong window)
    {
        return m_spots.click(window, "btnOk") && settings.waitForFinished() && settings.exitCode() == 0;
    }

    int grabsLogged() const { return m_tray->log().count("Pixmap size: 1280x800"); }

    // Waits for a capture run whose overlay has grabbed the screen (it logs to the tray's log).
    qint64 waitForCapture(int grabsBefore, int timeoutMs = 15000)
    {
        if (!waitUntil([&] { return captureRuns().size() == 1 && grabsLogged() > grabsBefore; }, timeoutMs))
            return 0;
        return captureRuns().value(0);
    }

    bool noCaptureFor(int ms)
    {
        QTest::qWait(ms);
        return captureRuns().isEmpty();
    }

    // Leaves the capture run with Escape, as a user does.
    bool endCapture(qint64 run)
    {
        const qulonglong overlay = waitForOverlay(run);
        return overlay && keyInto(overlay, "Escape") && waitUntil([this] { return captureRuns().isEmpty(); }, 10000);
    }

private slots:
    void initTestCase()
    {
        m_scratch = testScratchDir("tray");
        m_copy = std::make_unique<ProgramCopy>(m_scratch + "/bin");
        QVERIFY(m_copy->isValid() && QFileInfo(trayProgram()).isExecutable());
        Extension::reloadForTesting(SNAPLARK_BIN_DIR);
        WndSettings form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(m_spots.record(&form, {"cmbTrayHotkey", "cbEnableTray", "btnOk"}));
    }

    void init()
    {
        QDir(capturesFolder()).removeRecursively();
        QFile::remove(autostartEntry());
        QSettings("Snaplark", "Snaplark").clear();
        Settings::setFlbEnabled(false);
        QVERIFY(moveMouse(QPoint(5, 5)));
    }

    void cleanup()
    {
        if (numLockOn())
            xdotool({"key", "Num_Lock"});
        m_tray.reset();
        QVERIFY(m_copy->killAll());
    }

    void cleanupTestCase() { Extension::reloadForTesting(QString()); }

    void hotkeyStartsCapture_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("attributes");
        QTest::addColumn<QString>("press");   // xdotool's name of the hotkey
        QTest::addColumn<QString>("partial"); // the key without its modifiers, or nothing
        QTest::addColumn<bool>("numLock");
        // (Print Screen, the store's default, is openbox's own key on the test display)
        QTest::newRow("F9") << 0x78 << 0 << "F9" << QString() << false;
        QTest::newRow("F9, Num Lock on") << 0x78 << 0 << "F9" << QString() << true;
        QTest::newRow("Ctrl+Alt+P") << 0x50 << kCtrlAlt << "ctrl+alt+p" << "p" << false;
        QTest::newRow("Ctrl+Alt+P, Num Lock on") << 0x50 << kCtrlAlt << "ctrl+alt+p" << "p" << true;
    }
    void hotkeyStartsCapture()
    {
        QFETCH(int, key);
        QFETCH(int, attributes);
        QFETCH(QString, press);
        QFETCH(QString, partial);
        QFETCH(bool, numLock);
        Settings::setHotkeyKey(key);
        Settings::setHotkeyAttr(attributes);
        KeyRecorder recorder;
        QVERIFY(recorder.showFocused());
        if (numLock)
            QVERIFY(xdotool({"key", "Num_Lock"}) && waitUntil(numLockOn, 3000));
        QVERIFY(startTray() && m_tray->waitForLog("Hotkey: "));
        QTest::qWait(100);
        recorder.keys.clear(); // Num Lock itself

        if (!partial.isEmpty()) {
            // without its modifiers the key is the focused window's
            QVERIFY(xdotool({"key", partial}));
            QTRY_COMPARE(recorder.keys.size(), 1);
            QVERIFY(noCaptureFor(1000));
        }
        recorder.keys.clear();
        QVERIFY(xdotool({"key", press}));
        const qint64 run = waitForCapture(0);
        QVERIFY2(run, qPrintable(m_tray->log()));
        QVERIFY2(!recorder.keys.contains(Qt::Key_F9) && !recorder.keys.contains(Qt::Key_P),
                 "the hotkey reached the focused window");
        QVERIFY(endCapture(run));
        QVERIFY(m_tray->isRunning());
    }

    // An open menu holds the keyboard; the hotkey still starts a capture, and
    // the frozen picture shows the menu.
    void hotkeyCapturesOpenMenu()
    {
        Settings::setDefAction(Settings::ActionSaveOnly);
        Settings::setDefClipboard(Settings::ClipboardNone);
        Settings::setHotkeyKey(0x78);
        QVERIFY(startTray() && m_tray->waitForLog("Hotkey: F9"));
        QWidget owner;
        owner.setGeometry(100, 100, 400, 300);
        owner.show();
        QVERIFY(QTest::qWaitForWindowExposed(&owner));
        QMenu menu(&owner);
        menu.setStyleSheet("QMenu { background: #ff00ff; } QMenu::item { color: #ff00ff; padding: 6px 40px; }");
        for (const char *text : {"First", "Second", "Third", "Fourth"})
            menu.addAction(text);
        menu.popup(QPoint(200, 180));
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        QTRY_VERIFY(QWidget::keyboardGrabber() == &menu || QApplication::activePopupWidget() == &menu);
        QTest::qWait(300); // drawn on the screen
        const QRect shown = menu.geometry();

        QVERIFY(xdotool({"key", "F9"}));
        const qint64 run = waitForCapture(0);
        QVERIFY2(run, "the hotkey did not fire during the menu's grab");
        menu.hide();
        QVERIFY(waitForOverlay(run));
        QVERIFY(drag(shown.topLeft() - QPoint(20, 20), shown.bottomRight() + QPoint(20, 20)));
        QVERIFY(waitUntil([this] { return captureRuns().isEmpty(); }, 15000));

        const QStringList files = QDir(capturesFolder()).entryList({"*.png"}, QDir::Files);
        QCOMPARE(files.size(), 1);
        const QImage capture(QDir(capturesFolder()).filePath(files[0]));
        int menuPixels = 0;
        for (int y = 0; y < capture.height(); ++y)
            for (int x = 0; x < capture.width(); ++x)
                menuPixels += capture.pixel(x, y) == qRgb(255, 0, 255);
        QVERIFY2(menuPixels > shown.width() * shown.height() / 2, qPrintable(QString::number(menuPixels)));
    }

    // The settings dialog ends the tray program with a close message to its
    // window, which is never shown, and starts it again: the new key is used.
    void closeMessageAndRestart()
    {
        Settings::setHotkeyKey(0x50);
        Settings::setHotkeyAttr(kCtrlAlt);
        QVERIFY(startTray() && m_tray->waitForLog("Hotkey: Ctrl+Alt+p"));
        const QByteArray found = tool("xdotool", {"search", "--name", "^" + kTrayTitle + "$"});
        QCOMPARE(found.trimmed().split('\n').size(), 1);
        QVERIFY(tool("xwininfo", {"-id", found.trimmed()}).contains("IsUnMapped"));

        QVERIFY(Extension::sendSignal(kTrayTitle, SNAPLARK_WM_CLOSE, 0, 0));
        QVERIFY(m_tray->waitForFinished(5000));
        QCOMPARE(m_tray->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_tray->exitCode(), 0);
        QVERIFY(tool("xdotool", {"search", "--name", "^" + kTrayTitle + "$"}).trimmed().isEmpty());

        Settings::setHotkeyKey(0x51);
        QVERIFY(startTray() && m_tray->waitForLog("Hotkey: Ctrl+Alt+q"));
        QVERIFY(xdotool({"key", "ctrl+alt+p"}));
        QVERIFY(noCaptureFor(1500));
        QVERIFY(xdotool({"key", "ctrl+alt+q"}));
        const qint64 run = waitForCapture(0);
        QVERIFY(run);
        QVERIFY(endCapture(run));
    }

    // A new key picked in the settings dialog: OK ends the running tray
    // program and starts it again with that key.  Tray off: it ends, and no
    // longer starts with the session.
    void settingsDialogRestartsTray()
    {
        Settings::setHotkeyKey(0x50);
        Settings::setHotkeyAttr(kCtrlAlt);
        QVERIFY(startTray() && m_tray->waitForLog("Hotkey: Ctrl+Alt+p"));

        qulonglong window = 0;
        std::unique_ptr<ProgramRun> settings = openSettings(&window);
        QVERIFY(settings);
        QVERIFY(m_spots.choose(window, "cmbTrayHotkey", {"Down", "Return"})); // Q, after P
        QVERIFY(okAndFinished(*settings, window));
        QCOMPARE(Settings::hotkeyKey(), 0x51);
        QCOMPARE(Settings::hotkeyAttr(), kCtrlAlt);
        QVERIFY(m_tray->waitForFinished(5000));
        QCOMPARE(m_tray->exitCode(), 0);
        m_tray = std::move(settings);
        QVERIFY2(m_tray->waitForLog("Hotkey: Ctrl+Alt+q"), qPrintable(m_tray->log()));
        QCOMPARE(trayWindows().split('\n').size(), 1);
        QVERIFY(QFile::exists(autostartEntry()));
        QVERIFY(xdotool({"key", "ctrl+alt+p"}));
        QVERIFY(noCaptureFor(1500));
        QVERIFY(xdotool({"key", "ctrl+alt+q"}));
        const qint64 run = waitForCapture(grabsLogged());
        QVERIFY2(run, qPrintable(m_tray->log()));
        QVERIFY(endCapture(run));

        settings = openSettings(&window);
        QVERIFY(settings);
        QVERIFY(m_spots.click(window, "cbEnableTray"));
        QVERIFY(okAndFinished(*settings, window));
        QCOMPARE(Settings::trayEnabled(), false);
        QVERIFY(waitUntil([&] { return trayWindows().isEmpty(); }, 5000));
        QVERIFY(waitUntil([&] { return m_copy->running().isEmpty(); }, 5000));
        QVERIFY(!QFile::exists(autostartEntry()));
        QVERIFY(xdotool({"key", "ctrl+alt+q"}));
        QVERIFY(noCaptureFor(1500));
    }

    // A second copy ends at once; a replacement started while the old
    // program is still ending gets the key once the old one lets it go; a
    // key another program keeps is reported once, and the program stays.
    void keyHeldElsewhere()
    {
        Settings::setHotkeyKey(0x78);
        QVERIFY(startTray() && m_tray->waitForLog("Hotkey: F9"));
        auto first = std::move(m_tray);
        QVERIFY(startTray() && m_tray->waitForFinished(10000));
        QVERIFY(m_tray->log().contains("already running") && !m_tray->log().contains("Hotkey"));
        QVERIFY(first->isRunning());
        QVERIFY(Extension::sendSignal(kTrayTitle, SNAPLARK_WM_CLOSE, 0, 0));
        QVERIFY(startTray() && m_tray->waitForLog("Hotkey: F9"));
        QVERIFY(first->waitForFinished(5000));
        m_tray.reset();

        Display *display = QX11Info::display();
        const KeyCode f9 = XKeysymToKeycode(display, XStringToKeysym("F9"));
        XGrabKey(display, f9, AnyModifier, QX11Info::appRootWindow(), False, GrabModeAsync, GrabModeAsync);
        XSync(display, False);
        auto release = qScopeGuard([&] {
            XUngrabKey(display, f9, AnyModifier, QX11Info::appRootWindow());
            XSync(display, False);
        });
        QVERIFY(startTray() && m_tray->waitForLog("The hotkey F9 is held by another program", 10000));
        QVERIFY(xdotool({"key", "F9"}));
        QVERIFY(noCaptureFor(1500));
        QTest::qWait(1000);
        QCOMPARE(m_tray->log().count("held by another program"), 1);
        QVERIFY(m_tray->isRunning());
    }

    // The floating button starts a capture, is minimised while the overlay is
    // up and comes back after the run.
    void floatingButton()
    {
        Settings::setFlbEnabled(true);
        QVERIFY(startTray());
        const qulonglong button = waitForWindowNamed(kButtonTitle);
        QVERIFY(button);
        const auto state = [&] { return QString::fromUtf8(tool("xprop", {"-id", QString::number(button), "WM_STATE"})); };
        QVERIFY2(waitUntil([&] { return state().contains("Normal"); }, 10000),
                 qPrintable(state() + tool("xwininfo", {"-id", QString::number(button)})));
        // dragged, it moves out of the way and starts nothing
        const QRect before = windowGeometry(button);
        QVERIFY(drag(before.center(), before.center() - QPoint(300, 200)));
        QTRY_COMPARE(windowGeometry(button), before.translated(-300, -200));
        QVERIFY(noCaptureFor(1000));
        QVERIFY(click(windowGeometry(button).center()));
        const qint64 run = waitForCapture(0);
        QVERIFY(run);
        QTRY_VERIFY(state().contains("Iconic"));
        QVERIFY(endCapture(run));
        QTRY_VERIFY(state().contains("Normal"));
        QVERIFY(windowsNamed(kButtonTitle).contains(button));
    }

    void floatingButtonOff()
    {
        Settings::setHotkeyKey(0x78);
        QVERIFY(startTray() && m_tray->waitForLog("Hotkey: F9"));
        QVERIFY(!waitForWindowNamed(kButtonTitle, 1000));
    }
};

QTEST_MAIN(TestTray)
#include "tst_tray.moc"
