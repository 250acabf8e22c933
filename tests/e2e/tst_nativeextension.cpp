#include "desktopdriver.h"
#include "extension/extension.h"
#include "extension/hookmessage.h"
#include "processdriver.h"
#include "snaplarkextension.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWidget>
#include <QX11Info>
#include <QtTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <sys/stat.h>

using Triple = QVector<unsigned>;

// The real extension library, loaded by name from the program's folder and
// driven through the program's wrappers, against an X server with a window
// manager; the X tools are the independent witnesses.  Its hooks deliver keys
// and wheel turns that xdotool makes to a window found by its title, through
// the program's decoder.
namespace {

const QString kSleeper = QStringLiteral(SNAPLARK_BUILD_DIR "/tests/standin/sleeper");
const QString kLibrary = QStringLiteral(SNAPLARK_BIN_DIR "/libExtension.so");

QString x(const QString &program, const QStringList &arguments)
{
    return QString::fromUtf8(Desktop::tool(program, arguments));
}

qulonglong activeWindow()
{
    return x("xdotool", {"getactivewindow"}).trimmed().toULongLong();
}

qulonglong focusedWindow()
{
    return x("xdotool", {"getwindowfocus"}).trimmed().toULongLong();
}

QString xprop(qulonglong window, const QString &name)
{
    return x("xprop", {"-id", QString::number(window), name});
}

// The outer edge as the window manager built it: the window's ancestor that
// is a child of the root window.
QRect frameOf(Window window)
{
    Display *display = QX11Info::display();
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    while (XQueryTree(display, window, &root, &parent, &children, &count)) {
        if (children)
            XFree(children);
        if (parent == root)
            break;
        window = parent;
    }
    XWindowAttributes frame;
    if (!XGetWindowAttributes(display, window, &frame))
        return QRect();
    return QRect(frame.x, frame.y, frame.width + 2 * frame.border_width, frame.height + 2 * frame.border_width);
}

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Calls the function with DISPLAY set to another display.
template<typename Call>
auto onDisplay(const QByteArray &display, Call call)
{
    const QByteArray ours = qgetenv("DISPLAY");
    qputenv("DISPLAY", display);
    const auto result = call();
    qputenv("DISPLAY", ours);
    return result;
}

int threadCount()
{
    return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
}

bool xdotool(const QStringList &arguments)
{
    return !Desktop::tool(QStringLiteral("xdotool"), arguments).isNull();
}

Triple key(unsigned code)
{
    return {HookMessage::Keystroke, code, 0};
}

const Triple kWheelUp = {HookMessage::Mouse, HookMessage::MouseWheel, HookMessage::WheelUp};
const Triple kWheelDown = {HookMessage::Mouse, HookMessage::MouseWheel, HookMessage::WheelDown};
const QString kHooked = QStringLiteral("SnaplarkHookTarget");

class Target : public QWidget
{
public:
    explicit Target(const QString &title, Qt::WindowFlags flags = {}) : QWidget(nullptr, flags)
    {
        setWindowTitle(title);
        resize(320, 200);
        clock.start();
    }

    bool showActive()
    {
        show();
        activateWindow();
        return QTest::qWaitForWindowExposed(this)
               && QTest::qWaitFor([this] { return activeWindow() == winId(); }, 5000);
    }

    QVector<Triple> received;
    QVector<qint64> arrivals;
    QElapsedTimer clock;

protected:
    bool nativeEvent(const QByteArray &eventType, void *message, long *result) override
    {
        if (const auto hook = decodeHookMessage(eventType, message)) {
            received.append({hook->message, hook->wParam, hook->lParam});
            arrivals.append(clock.elapsed());
            return true;
        }
        return QWidget::nativeEvent(eventType, message, result);
    }
};

} // namespace

class TestNativeExtension : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void activeWindowRect_data();
    void activeWindowRect();
    void withoutDisplayNothingHappens();
    void sendSignalDrivesWindowsByTitle();
    void killOldProcesses();
    void sendFocusSkipsClickThrough();
    void jumpMenuEntry();
    void hookedKeysArriveAsVirtualKeys_data();
    void hookedKeysArriveAsVirtualKeys();
    void hookedWheelTurnsArriveAfterSettling();
    void hooksFollowTheTitleAndStopWhenOff();

private:
    // The window the hooks report to, shown and hooked on first use.
    Target *hooked();

    std::unique_ptr<Target> m_hooked;
    int m_threadsBefore = 0;
};

void TestNativeExtension::initTestCase()
{
    QVERIFY2(QFile::exists(kLibrary), "libExtension.so not built");
    Extension::reloadForTesting(SNAPLARK_BIN_DIR);
    QCOMPARE(Extension::videoFileExtension(), QStringLiteral("mp4"));
}

void TestNativeExtension::cleanupTestCase()
{
    Extension::setHooks(false, kHooked);
    m_hooked.reset();
    Extension::reloadForTesting(QString());
}

Target *TestNativeExtension::hooked()
{
    if (!m_hooked) {
        m_hooked = std::make_unique<Target>(kHooked);
        m_hooked->move(900, 500);
        m_hooked->show();
        if (!QTest::qWaitForWindowExposed(m_hooked.get()))
            return nullptr;
        m_threadsBefore = threadCount();
        if (!Extension::setHooks(true, kHooked) || threadCount() != m_threadsBefore + 1)
            return nullptr;
    }
    m_hooked->received.clear();
    m_hooked->arrivals.clear();
    return m_hooked.get();
}

void TestNativeExtension::activeWindowRect_data()
{
    QTest::addColumn<Qt::WindowFlags>("flags");
    QTest::addColumn<QByteArray>("activeHint");

    QTest::newRow("decorated") << Qt::WindowFlags() << QByteArray("kept");
    QTest::newRow("frameless") << Qt::WindowFlags(Qt::FramelessWindowHint) << QByteArray("kept");
    // without the window manager's hint, the input focus tells
    QTest::newRow("focus fallback") << Qt::WindowFlags() << QByteArray("removed");
    // the window manager's own focus holder is not a capture target
    QTest::newRow("window manager says none") << Qt::WindowFlags() << QByteArray("none");
}

void TestNativeExtension::activeWindowRect()
{
    QFETCH(Qt::WindowFlags, flags);
    QFETCH(QByteArray, activeHint);

    Target window(QTest::currentDataTag(), flags);
    window.move(137, 91);
    QVERIFY(window.showActive());
    const QRect expected = frameOf(window.winId());
    QVERIFY(expected.isValid());
    QVERIFY(flags & Qt::FramelessWindowHint || expected.height() > window.height());
    if (activeHint == "removed") {
        x("xprop", {"-root", "-remove", "_NET_ACTIVE_WINDOW"});
    } else if (activeHint == "none") {
        Display *display = QX11Info::display();
        const unsigned long none = 0;
        XChangeProperty(display, QX11Info::appRootWindow(), XInternAtom(display, "_NET_ACTIVE_WINDOW", False),
                        XA_WINDOW, 32, PropModeReplace, reinterpret_cast<const unsigned char *>(&none), 1);
        XSync(display, False);
    }

    QRect rect(1, 1, 1, 1);
    int handle = 0;
    const bool found = Extension::getActiveWindowRect(&rect, &handle);
    QCOMPARE(found, activeHint != "none");
    QCOMPARE(rect, found ? expected : QRect());
    if (found)
        QCOMPARE(qulonglong(handle), qulonglong(window.winId()));
}

void TestNativeExtension::withoutDisplayNothingHappens()
{
    for (const QByteArray &display : {QByteArray(), QByteArray(":4093")}) {
        QRect rect(1, 1, 1, 1);
        int handle = 5;
        QVERIFY(!onDisplay(display, [&] { return Extension::getActiveWindowRect(&rect, &handle); }));
        QVERIFY(rect.isNull());
        QCOMPARE(handle, 0);
        QVERIFY(!onDisplay(display, [] { return Extension::sendSignal("anything", SNAPLARK_WM_CLOSE, 0, 0); }));
        QVERIFY(!onDisplay(display, [] { return Extension::sendFocus(100, 100); }));
    }
    const int threads = threadCount();
    QVERIFY(!onDisplay(":4093", [] { return Extension::setHooks(true, kHooked); }));
    QCOMPARE(threadCount(), threads);
}

void TestNativeExtension::sendSignalDrivesWindowsByTitle()
{
    // a title beyond Latin-1 and the basic plane must match exactly, every
    // window that carries it
    const QString title = QStringLiteral("SnaplarkSignalTarget ä ") + QString::fromUcs4(U"\U0001F600");
    Target window(title);
    Target twin(title);
    Target bystander(title + " 2");
    twin.move(400, 300);
    bystander.move(600, 100);
    QVERIFY(bystander.showActive());
    QVERIFY(twin.showActive());
    QVERIFY(window.showActive());
    const auto state = [](const Target &target) { return xprop(target.winId(), "WM_STATE"); };

    QVERIFY(!Extension::sendSignal("SnaplarkNoSuchWindow", SNAPLARK_WM_SYSCOMMAND, SNAPLARK_SC_MINIMIZE, 0));
    QVERIFY(Extension::sendSignal(title, SNAPLARK_WM_SYSCOMMAND, SNAPLARK_SC_MINIMIZE, 0));
    QTRY_VERIFY(state(window).contains("window state: Iconic") && state(twin).contains("window state: Iconic"));
    QVERIFY(state(bystander).contains("window state: Normal"));

    QVERIFY(Extension::sendSignal(title, SNAPLARK_WM_SYSCOMMAND, SNAPLARK_SC_RESTORE, 0));
    QTRY_VERIFY(state(window).contains("window state: Normal") && state(twin).contains("window state: Normal"));
    QTRY_VERIFY(activeWindow() == window.winId() || activeWindow() == twin.winId());

    // messages without an X11 meaning arrive as hook messages
    QVERIFY(Extension::sendSignal(title, HookMessage::Keystroke, 0x1B, 0xFFFFFFFFu));
    const QVector<QVector<unsigned>> expected = {{HookMessage::Keystroke, 0x1B, 0xFFFFFFFFu}};
    QTRY_COMPARE(window.received, expected);
    QTRY_COMPARE(twin.received, expected);

    QVERIFY(Extension::sendSignal(title, SNAPLARK_WM_CLOSE, 0, 0));
    QTRY_VERIFY(!window.isVisible() && !twin.isVisible());
    QVERIFY(bystander.isVisible());
    QVERIFY(bystander.received.isEmpty());
}

// Every other copy of the caller's executable ends; one that ignores SIGTERM
// only by the SIGKILL after the grace time.
void TestNativeExtension::killOldProcesses()
{
    QProcess copies[2];
    copies[0].start(kSleeper, QStringList());
    copies[1].start(kSleeper, {"stubborn"});
    for (QProcess &copy : copies) {
        QVERIFY(copy.waitForReadyRead(5000));
        QCOMPARE(copy.readAllStandardOutput(), QByteArray("ready\n"));
    }
    QProcess caller;
    QElapsedTimer timer;
    timer.start();
    caller.start(kSleeper, {"kill", kLibrary});
    QVERIFY(caller.waitForFinished(10000));
    QCOMPARE(caller.readAllStandardOutput(), QByteArray("done\n"));
    QVERIFY2(timer.elapsed() >= 1900 && timer.elapsed() <= 5000, QByteArray::number(timer.elapsed()));
    for (QProcess &copy : copies) {
        QVERIFY(copy.waitForFinished(1000));
        QCOMPARE(copy.exitStatus(), QProcess::CrashExit);
    }
}

void TestNativeExtension::sendFocusSkipsClickThrough()
{
    Target below("SnaplarkFocusBelow");
    below.setGeometry(100, 120, 400, 300);
    Target elsewhere("SnaplarkFocusElsewhere");
    elsewhere.setGeometry(700, 450, 300, 200);
    // a frame that lets clicks through its inside, as the recorders' frame does
    Target ring("SnaplarkRing", Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    ring.setGeometry(below.geometry().adjusted(-20, -20, 20, 20));
    ring.setMask(QRegion(ring.rect()) - QRegion(ring.rect().adjusted(6, 6, -6, -6)));
    QVERIFY(below.showActive());
    ring.show();
    QVERIFY(QTest::qWaitForWindowExposed(&ring));
    QVERIFY(elsewhere.showActive());
    QTRY_COMPARE(focusedWindow(), qulonglong(elsewhere.winId()));

    const QPoint centre = below.geometry().center();
    QVERIFY(Extension::sendFocus(centre.x(), centre.y()));
    QTRY_COMPARE(focusedWindow(), qulonglong(below.winId()));
    QVERIFY(Extension::sendFocus(ring.geometry().left() + 2, centre.y()));
    QTRY_COMPARE(focusedWindow(), qulonglong(ring.winId()));

    // the bare desktop and points off the screen have nobody to focus
    QVERIFY(!Extension::sendFocus(1270, 10));
    QVERIFY(!Extension::sendFocus(-50, 5000));
    QCOMPARE(focusedWindow(), qulonglong(ring.winId()));
}

void TestNativeExtension::jumpMenuEntry()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // characters that mean something to the entry's quoting
    const QString appDir = dir.filePath(R"(app $HOME "q" `x` \ end)");
    QVERIFY(QDir().mkpath(appDir));
    const QString launched = dir.filePath("launched");
    QFile program(appDir + "/snaplark");
    QVERIFY(program.open(QIODevice::WriteOnly));
    program.write("#!/bin/sh\nprintf '%s' \"$0\" > '" + QFile::encodeName(launched) + "'\n");
    program.close();
    QVERIFY(program.setPermissions(program.permissions() | QFileDevice::ExeOwner));
    const QString entry = qEnvironmentVariable("XDG_DATA_HOME") + "/applications/snaplark.desktop";
    QFile::remove(entry);
    // the file's inode and modification time
    const auto identity = [&] {
        struct stat status {};
        ::stat(QFile::encodeName(entry).constData(), &status);
        return qMakePair(quint64(status.st_ino), qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec);
    };

    // a percent sign would be a field code unless doubled
    const QString captures = "file:///home/me/Documents/100% Snaplark Captures";
    QVERIFY(Extension::createJumpMenu(appDir, captures));
    QVERIFY(readText(entry).contains("\n[Desktop Action OpenCaptures]\n"));
    QVERIFY(readText(entry).contains("\nExec=xdg-open \"file:///home/me/Documents/100%% Snaplark Captures\"\n"));
    const auto written = identity();
    QVERIFY(written.first != 0);
    // unchanged: the file is left alone
    QVERIFY(Extension::createJumpMenu(appDir, captures));
    QVERIFY(identity() == written);

    // a desktop reads the program back exactly
    x("gio", {"launch", entry});
    QTRY_COMPARE(readText(launched), appDir + "/snaplark");
    // changed: written anew
    QVERIFY(Extension::createJumpMenu(appDir, "file:///home/me/Other Captures"));
    QVERIFY(readText(entry).contains("\nExec=xdg-open \"file:///home/me/Other Captures\"\n"));
}

void TestNativeExtension::hookedKeysArriveAsVirtualKeys_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QVector<Triple>>("expected");

    // the key's code, whatever the modifiers make of it; modifiers and
    // unmapped keys alone say nothing
    QTest::newRow("letters, digits, function keys, arrows")
        << "a shift+q 0 9 Caps_Lock Caps_Lock F1 F12 Left Up Right Down KP_Up Menu"
        << QVector<Triple>{key(0x41), key(0x51), key(0x30), key(0x39), key(0x70), key(0x7B),
                           key(0x25), key(0x26), key(0x27), key(0x28), key(0x26)};
    QTest::newRow("control and navigation keys")
        << "Escape Return Tab space Home End Prior Next Insert Delete BackSpace"
        << QVector<Triple>{key(0x1B), key(0x0D), key(0x09), key(0x20), key(0x24), key(0x23),
                           key(0x21), key(0x22), key(0x2D), key(0x2E), key(0x08)};
}

void TestNativeExtension::hookedKeysArriveAsVirtualKeys()
{
    QFETCH(QString, keys);
    QFETCH(QVector<Triple>, expected);
    Target *window = hooked();
    QVERIFY(window);
    // a marker key after the keys tells when everything has come
    QVERIFY(xdotool(QStringList{"key", "--delay", "5"} + keys.split(' ') + QStringList{"x"}));
    QTRY_VERIFY(!window->received.isEmpty() && window->received.last() == key(0x58));
    window->received.removeLast();
    QCOMPARE(window->received, expected);
}

void TestNativeExtension::hookedWheelTurnsArriveAfterSettling()
{
    Target *window = hooked();
    QVERIFY(window);
    // over the window, as a user scrolls what is under the capture frame
    const QPoint over = window->geometry().center();
    QVERIFY(xdotool({"mousemove", QString::number(over.x()), QString::number(over.y()), "click", "4", "click", "5"}));
    QTRY_COMPARE(window->received, (QVector<Triple>{kWheelUp, kWheelDown}));

    // a key typed together with a wheel turn comes at once, the turn later
    window->received.clear();
    window->arrivals.clear();
    QVERIFY(xdotool({"key", "a", "click", "5"}));
    QTRY_COMPARE(window->received, (QVector<Triple>{key(0x41), kWheelDown}));
    const qint64 gap = window->arrivals[1] - window->arrivals[0];
    QVERIFY2(gap >= 50, QByteArray::number(gap));
}

void TestNativeExtension::hooksFollowTheTitleAndStopWhenOff()
{
    Target *first = hooked();
    QVERIFY(first);
    // switched on for a window that does not exist yet, replacing the title
    const QString later = QStringLiteral("SnaplarkLaterWindow ü");
    QVERIFY(Extension::setHooks(true, later));
    QCOMPARE(threadCount(), m_threadsBefore + 1);
    Target window(later);
    window.move(500, 300);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(xdotool({"key", "b"}));
    QTRY_COMPARE(window.received, QVector<Triple>{key(0x42)});

    // off: no thread, and nothing typed meanwhile arrives; switching off
    // twice is harmless
    QVERIFY(Extension::setHooks(false, kHooked));
    QCOMPARE(threadCount(), m_threadsBefore);
    QVERIFY(Extension::setHooks(false, kHooked));
    QVERIFY(xdotool({"key", "d", "click", "4"}));

    // on again for the first title: "e" is the first thing it hears
    QVERIFY(Extension::setHooks(true, kHooked));
    QCOMPARE(threadCount(), m_threadsBefore + 1);
    QVERIFY(xdotool({"key", "e"}));
    QTRY_COMPARE(first->received, QVector<Triple>{key(0x45)});
    QCOMPARE(window.received.size(), 1);
    QVERIFY(!Extension::setHooks(true, QString()));
}

QTEST_MAIN(TestNativeExtension)
#include "tst_nativeextension.moc"
