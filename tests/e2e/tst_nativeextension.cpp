#include "desktopdriver.h"
#include "extension/extension.h"
#include "extension/hookmessage.h"
#include "processdriver.h"
#include "snaplarkextension.h"

#include <QDir>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>
#include <QX11Info>
#include <QtTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

// The real extension library, loaded by name from the program's folder and
// driven through the program's wrappers; the X tools are the witnesses.
namespace {

using Triple = QVector<unsigned>;
const QString kSleeper = QStringLiteral(SNAPLARK_BUILD_DIR "/tests/standin/sleeper");
const QString kLibrary = QStringLiteral(SNAPLARK_BIN_DIR "/libExtension.so");
const QString kHooked = QStringLiteral("SnaplarkHookTarget");

QVector<Triple> keys(std::initializer_list<unsigned> codes)
{
    QVector<Triple> triples;
    for (unsigned code : codes)
        triples.append({HookMessage::Keystroke, code, 0});
    return triples;
}

QString x(const QString &program, const QStringList &args) { return QString::fromUtf8(Desktop::tool(program, args)); }

bool xdotool(const QStringList &arguments) { return !Desktop::tool("xdotool", arguments).isNull(); }

qulonglong xdotoolWindow(const QString &query) { return x("xdotool", {query}).trimmed().toULongLong(); }

// The outer edge as the X tools report it: the window's place on the root
// widened by the window manager's frame extents (left, right, top, bottom).
QRect frameOf(qulonglong window)
{
    const QString info = x("xwininfo", {"-id", QString::number(window)});
    const auto value = [&](const QString &label) { return info.section(label + ":", 1).section('\n', 0, 0).toInt(); };
    const QStringList e = x("xprop", {"-id", QString::number(window), "_NET_FRAME_EXTENTS"}).section('=', 1).split(',');
    return QRect(value("Absolute upper-left X"), value("Absolute upper-left Y"), value("Width"), value("Height"))
        .adjusted(-e.value(0).toInt(), -e.value(2).toInt(), e.value(1).toInt(), e.value(3).toInt());
}

QString readText(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

int threadCount() { return QDir("/proc/self/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(); }

// A window that records the hook messages reaching it through the decoder.
class Target : public QWidget
{
public:
    explicit Target(const QString &title, Qt::WindowFlags flags = {}, const QRect &geometry = {100, 100, 320, 200})
        : QWidget(nullptr, flags)
    {
        setWindowTitle(title);
        setGeometry(geometry);
    }

    bool showActive(bool waitActive = true)
    {
        show();
        activateWindow();
        const auto active = [this] { return xdotoolWindow("getactivewindow") == winId(); };
        return QTest::qWaitForWindowExposed(this) && (!waitActive || QTest::qWaitFor(active, 5000));
    }

    QVector<Triple> received;
    QVector<qint64> arrivals;

protected:
    bool nativeEvent(const QByteArray &eventType, void *message, long *result) override
    {
        if (const auto hook = decodeHookMessage(eventType, message)) {
            received.append({hook->message, hook->wParam, hook->lParam});
            arrivals.append(QDateTime::currentMSecsSinceEpoch());
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
    void initTestCase()
    {
        QVERIFY2(QFile::exists(kLibrary), "libExtension.so not built");
        Extension::reloadForTesting(SNAPLARK_BIN_DIR);
        QCOMPARE(Extension::videoFileExtension(), QStringLiteral("mp4"));
    }
    void cleanupTestCase()
    {
        Extension::setHooks(false, kHooked);
        Extension::reloadForTesting(QString());
    }

    // The frame and id of the active window; without the window manager's hint
    // the input focus tells, and a window manager saying "none" is trusted.
    void activeWindowRect()
    {
        const auto reported = [] {
            QRect rect(1, 1, 1, 1);
            int handle = 0;
            const bool found = Extension::getActiveWindowRect(&rect, &handle);
            return std::make_tuple(found, rect, qulonglong(handle));
        };
        const auto frame = [](QWidget &w) { return std::make_tuple(true, frameOf(w.winId()), qulonglong(w.winId())); };
        Target frameless("SnaplarkFrameless", Qt::FramelessWindowHint, QRect(137, 91, 320, 200));
        QVERIFY(frameless.showActive());
        QCOMPARE(reported(), frame(frameless));
        Target decorated("SnaplarkDecorated", {}, QRect(137, 91, 320, 200));
        QVERIFY(decorated.showActive() && frameOf(decorated.winId()).height() > decorated.height());
        QCOMPARE(reported(), frame(decorated));

        Display *display = QX11Info::display();
        const Atom hint = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
        XDeleteProperty(display, QX11Info::appRootWindow(), hint);
        XSync(display, False);
        QCOMPARE(reported(), frame(decorated));
        const unsigned long none = 0;
        XChangeProperty(display, QX11Info::appRootWindow(), hint, XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(&none), 1);
        XSync(display, False);
        QCOMPARE(reported(), std::make_tuple(false, QRect(), qulonglong(0)));
    }

    void withoutDisplayNothingHappens()
    {
        const int threads = threadCount();
        const QByteArray ours = qgetenv("DISPLAY");
        auto restore = qScopeGuard([&] { qputenv("DISPLAY", ours); });
        for (const QByteArray &display : {QByteArray(), QByteArray(":4093")}) {
            qputenv("DISPLAY", display);
            QRect rect(1, 1, 1, 1);
            int handle = 5;
            QVERIFY(!Extension::getActiveWindowRect(&rect, &handle));
            QVERIFY(rect.isNull() && handle == 0);
            QVERIFY(!Extension::sendSignal("anything", SNAPLARK_WM_CLOSE, 0, 0));
            QVERIFY(!Extension::sendFocus(100, 100));
            QVERIFY(!Extension::setHooks(true, kHooked));
            QCOMPARE(threadCount(), threads);
        }
    }

    void sendSignalDrivesWindowsByTitle()
    {
        // a title beyond Latin-1 and the basic plane matches exactly, every window carrying it
        const QString title = QStringLiteral("SnaplarkSignalTarget ä ") + QString::fromUcs4(U"\U0001F600");
        Target window(title);
        Target twin(title, {}, QRect(400, 300, 320, 200));
        Target bystander(title + " 2", {}, QRect(600, 100, 320, 200));
        QVERIFY(bystander.showActive() && twin.showActive() && window.showActive());
        const auto state = [](const Target &w) { return x("xprop", {"-id", QString::number(w.winId()), "WM_STATE"}); };
        const auto states = [&](const QString &both) {
            return state(window).contains("state: " + both) && state(twin).contains("state: " + both)
                   && state(bystander).contains("state: Normal");
        };

        QVERIFY(!Extension::sendSignal("SnaplarkNoSuchWindow", SNAPLARK_WM_SYSCOMMAND, SNAPLARK_SC_MINIMIZE, 0));
        QVERIFY(Extension::sendSignal(title, SNAPLARK_WM_SYSCOMMAND, SNAPLARK_SC_MINIMIZE, 0));
        QTRY_VERIFY(states("Iconic"));
        QVERIFY(Extension::sendSignal(title, SNAPLARK_WM_SYSCOMMAND, SNAPLARK_SC_RESTORE, 0));
        QTRY_VERIFY(states("Normal"));
        QTRY_VERIFY(QVector<qulonglong>({window.winId(), twin.winId()}).contains(xdotoolWindow("getactivewindow")));

        // messages without an X11 meaning arrive as hook messages
        QVERIFY(Extension::sendSignal(title, HookMessage::Keystroke, 0x1B, 0xFFFFFFFFu));
        const QVector<Triple> expected = {{HookMessage::Keystroke, 0x1B, 0xFFFFFFFFu}};
        QTRY_VERIFY(window.received == expected && twin.received == expected);

        QVERIFY(Extension::sendSignal(title, SNAPLARK_WM_CLOSE, 0, 0));
        QTRY_VERIFY(!window.isVisible() && !twin.isVisible());
        QVERIFY(bystander.isVisible() && bystander.received.isEmpty());
    }

    // A window that was never shown, or was hidden again, is in no window
    // manager list, yet is found by its title as a shown one is.
    void sendSignalFindsUnmappedWindows()
    {
        const QString title = QStringLiteral("SnaplarkUnmapped ü");
        Target never(title);
        never.winId(); // exists on the display, never mapped
        Target withdrawn(title, {}, QRect(400, 300, 320, 200));
        QVERIFY(withdrawn.showActive());
        withdrawn.hide();
        QTRY_VERIFY(!x("xprop", {"-root", "_NET_CLIENT_LIST"}).contains(QString::number(withdrawn.winId(), 16)));
        Target shown(title, {}, QRect(700, 300, 320, 200));
        QVERIFY(shown.showActive());

        QVERIFY(Extension::sendSignal(title, HookMessage::Keystroke, 0x41, 7));
        const QVector<Triple> expected = {{HookMessage::Keystroke, 0x41, 7}};
        QTRY_VERIFY(never.received == expected && withdrawn.received == expected && shown.received == expected);
        QVERIFY(!never.isVisible() && !withdrawn.isVisible());
    }

    // Every other copy of the caller's executable ends; one ignoring SIGTERM by
    // the SIGKILL after the grace time.
    void killOldProcesses()
    {
        QProcess copies[2];
        copies[0].start(kSleeper, QStringList());
        copies[1].start(kSleeper, {"stubborn"});
        for (QProcess &copy : copies)
            QVERIFY(copy.waitForReadyRead(5000) && copy.readAllStandardOutput() == "ready\n");
        QProcess caller;
        const qint64 started = QDateTime::currentMSecsSinceEpoch();
        caller.start(kSleeper, {"kill", kLibrary});
        QVERIFY(caller.waitForFinished(10000) && caller.readAllStandardOutput() == "done\n");
        const qint64 took = QDateTime::currentMSecsSinceEpoch() - started;
        QVERIFY2(took >= 1900 && took <= 5000, QByteArray::number(took));
        for (QProcess &copy : copies)
            QVERIFY(copy.waitForFinished(1000) && copy.exitStatus() == QProcess::CrashExit);
    }

    void sendFocusSkipsClickThrough()
    {
        Target below("SnaplarkFocusBelow", {}, QRect(100, 120, 400, 300));
        Target elsewhere("SnaplarkFocusElsewhere", {}, QRect(700, 450, 300, 200));
        // a frame letting clicks through its inside, as the recorders' frame does
        Target ring("SnaplarkRing", Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint,
                    below.geometry().adjusted(-20, -20, 20, 20));
        ring.setMask(QRegion(ring.rect()) - QRegion(ring.rect().adjusted(6, 6, -6, -6)));
        QVERIFY(below.showActive() && ring.showActive(false) && elsewhere.showActive());
        QTRY_COMPARE(xdotoolWindow("getwindowfocus"), qulonglong(elsewhere.winId()));

        const QPoint centre = below.geometry().center();
        QVERIFY(Extension::sendFocus(centre.x(), centre.y()));
        QTRY_COMPARE(xdotoolWindow("getwindowfocus"), qulonglong(below.winId()));
        QVERIFY(Extension::sendFocus(ring.geometry().left() + 2, centre.y()));
        QTRY_COMPARE(xdotoolWindow("getwindowfocus"), qulonglong(ring.winId()));
        // the bare desktop and points off the screen have nobody to focus
        QVERIFY(!Extension::sendFocus(1270, 10));
        QVERIFY(!Extension::sendFocus(-50, 5000));
        QCOMPARE(xdotoolWindow("getwindowfocus"), qulonglong(ring.winId()));
    }

    void jumpMenuEntry()
    {
        QTemporaryDir dir;
        // characters that mean something to the entry's quoting
        const QString appDir = dir.filePath(R"(app $HOME "q" `x` \ end)");
        const QString launched = dir.filePath("launched");
        QFile program(appDir + "/snaplark");
        QVERIFY(dir.isValid() && QDir().mkpath(appDir) && program.open(QIODevice::WriteOnly));
        program.write("#!/bin/sh\nprintf '%s' \"$0\" > '" + QFile::encodeName(launched) + "'\n");
        program.close();
        QVERIFY(program.setPermissions(program.permissions() | QFileDevice::ExeOwner));
        const QString entry = qEnvironmentVariable("XDG_DATA_HOME") + "/applications/snaplark.desktop";
        QFile::remove(entry);
        // what the folder action hands to xdg-open, with the entry's doubled percent signs undone
        const auto openedAddress = [&entry] {
            const QString exec = readText(entry).section("\n[Desktop Action OpenCaptures]\n", 1).section("\nExec=", 1);
            return exec.section('\n', 0, 0).section("xdg-open \"", 1).chopped(1).replace("%%", "%");
        };

        // a name a URL must escape: a space, a percent sign (also a field code unless doubled),
        // '#' (else the rest is a fragment) and a letter beyond ASCII
        const QString captures = dir.filePath(QStringLiteral("100% Snaplark #1 Captures \u00e9"));
        QVERIFY(QDir().mkpath(captures));
        const QString address = QUrl::fromLocalFile(captures).toString(QUrl::FullyEncoded);
        // pasted after "file:///" unescaped, as the interface's callers may do, or already a URL
        for (const QString &given : {"file:///" + captures, address}) {
            QVERIFY(Extension::createJumpMenu(appDir, given));
            QCOMPARE(openedAddress(), address);
            // a desktop finds the folder there
            QVERIFY(x("gio", {"info", openedAddress()}).contains("local path: " + captures + "\n"));
        }
        QVERIFY(readText(entry).contains("%%25%%20Snaplark%%20%%231"));
        // unchanged: the file is left alone (an old stamp stays)
        QVERIFY(!Desktop::tool("touch", {"-d", "2001-02-03 04:05:06", entry}).isNull());
        const QDateTime stamp = QFileInfo(entry).lastModified();
        QVERIFY(Extension::createJumpMenu(appDir, address));
        QCOMPARE(QFileInfo(entry).lastModified(), stamp);

        // a desktop reads the program back exactly
        x("gio", {"launch", entry});
        QTRY_COMPARE(readText(launched), appDir + "/snaplark");
        // changed: written anew
        QVERIFY(Extension::createJumpMenu(appDir, "file:///home/me/Other%20Captures"));
        QCOMPARE(openedAddress(), QStringLiteral("file:///home/me/Other%20Captures"));
    }

    // Keys and wheel turns made by xdotool reach the window with the hooked title.
    void hooks()
    {
        Target first(kHooked, {}, QRect(900, 500, 320, 200));
        QVERIFY(first.showActive(false));
        const int threads = threadCount();
        QVERIFY(Extension::setHooks(true, kHooked));
        QCOMPARE(threadCount(), threads + 1);

        // the key's code whatever the modifiers make of it; modifiers and
        // unmapped keys alone say nothing
        QVERIFY(xdotool(QString("key --delay 5 a shift+q 0 9 Caps_Lock Caps_Lock F1 F12 Left Up Right Down KP_Up Menu "
                                "Escape Return Tab space Home End Prior Next Insert Delete BackSpace")
                            .split(' ')));
        QTRY_COMPARE(first.received, keys({0x41, 0x51, 0x30, 0x39, 0x70, 0x7B, 0x25, 0x26, 0x27, 0x28, 0x26, 0x1B, 0x0D,
                                           0x09, 0x20, 0x24, 0x23, 0x21, 0x22, 0x2D, 0x2E, 0x08}));

        // over the window, as a user scrolls what is under the capture frame: a
        // key comes at once, the wheel turns after settling
        first.received.clear();
        first.arrivals.clear();
        const QPoint over = first.geometry().center();
        QVERIFY(xdotool({"mousemove", QString::number(over.x()), QString::number(over.y()), "key", "a", "click", "4",
                         "click", "5"}));
        const unsigned mouse = HookMessage::Mouse, wheel = HookMessage::MouseWheel;
        QTRY_COMPARE(first.received, (keys({0x41}) + QVector<Triple>{{mouse, wheel, HookMessage::WheelUp},
                                                                      {mouse, wheel, HookMessage::WheelDown}}));
        const qint64 gap = first.arrivals[1] - first.arrivals[0];
        QVERIFY2(gap >= 50, QByteArray::number(gap));

        // on for a window that does not exist yet replaces the title
        first.received.clear();
        const QString later = QStringLiteral("SnaplarkLaterWindow ü");
        QVERIFY(Extension::setHooks(true, later));
        QCOMPARE(threadCount(), threads + 1);
        Target window(later, {}, QRect(500, 300, 320, 200));
        QVERIFY(window.showActive(false));
        QVERIFY(xdotool({"key", "b"}));
        QTRY_COMPARE(window.received, keys({0x42}));

        // off (twice is harmless): no thread, and nothing typed meanwhile arrives
        QVERIFY(Extension::setHooks(false, kHooked));
        QCOMPARE(threadCount(), threads);
        QVERIFY(Extension::setHooks(false, kHooked));
        QVERIFY(xdotool({"key", "d", "click", "4"}));
        // on again for the first title: "e" is the first thing it hears
        QVERIFY(Extension::setHooks(true, kHooked));
        QCOMPARE(threadCount(), threads + 1);
        QVERIFY(xdotool({"key", "e"}));
        QTRY_COMPARE(first.received, keys({0x45}));
        QCOMPARE(window.received.size(), 1);
        QVERIFY(!Extension::setHooks(true, QString()));
    }
};

QTEST_MAIN(TestNativeExtension)
#include "tst_nativeextension.moc"
