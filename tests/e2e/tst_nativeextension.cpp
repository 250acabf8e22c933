#include "extension/extension.h"
#include "extension/hookmessage.h"
#include "snaplarkextension.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLibrary>
#include <QProcess>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QWidget>
#include <QtTest>

#include <QX11Info>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <sys/stat.h>

// The real extension library, loaded by name from the program's folder and
// driven through the program's wrappers, against an X server with a window
// manager; the X tools are the independent witnesses.
class TestNativeExtension : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void videoFileExtension();
    void activeWindowRect_data();
    void activeWindowRect();
    void noDisplayMeansNoWindow();
    void windowManagerSaysNoneIsActive();
    void sendSignalDrivesWindowsByTitle();
    void killOldProcesses_data();
    void killOldProcesses();
    void sendFocusSkipsClickThrough();
    void jumpMenuEntry();
    void hotkeyIsNotOurs();
};

namespace {

const QString sleeper = QStringLiteral(SNAPLARK_BUILD_DIR "/tests/standin/sleeper");
const QString library = QStringLiteral(SNAPLARK_BIN_DIR "/libExtension.so");

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000))
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

qulonglong activeWindow()
{
    return run("xdotool", {"getactivewindow"}).trimmed().toULongLong();
}

int field(const QString &text, const QString &label)
{
    const QRegularExpression pattern(QRegularExpression::escape(label) + R"(:\s*(-?\d+))");
    return pattern.match(text).captured(1).toInt();
}

qulonglong windowId(const QString &text, const QString &label)
{
    const QRegularExpression pattern(QRegularExpression::escape(label) + R"(:\s*0x([0-9a-f]+))");
    return pattern.match(text).captured(1).toULongLong(nullptr, 16);
}

// The outer edge as the window manager built it: the window's ancestor that
// is a child of the root window.
QRect frameGeometry(qulonglong window)
{
    for (int depth = 0; depth < 16; ++depth) {
        const QString tree = run("xwininfo", {"-tree", "-id", QString::number(window)});
        const qulonglong parent = windowId(tree, "Parent window id");
        if (parent == 0)
            return QRect();
        if (parent == windowId(tree, "Root window id"))
            break;
        window = parent;
    }
    const QString info = run("xwininfo", {"-id", QString::number(window)});
    const int border = field(info, "Border width");
    return QRect(field(info, "Absolute upper-left X"), field(info, "Absolute upper-left Y"),
                 field(info, "Width") + 2 * border, field(info, "Height") + 2 * border);
}

QString windowProperty(qulonglong window, const QString &name)
{
    return run("xprop", {"-id", QString::number(window), name});
}

class Target : public QWidget
{
public:
    explicit Target(const QString &title, Qt::WindowFlags flags = {})
        : QWidget(nullptr, flags)
    {
        setWindowTitle(title);
        resize(320, 200);
    }

    QVector<QVector<unsigned>> received;
    int closeRequests = 0;

protected:
    bool nativeEvent(const QByteArray &eventType, void *message, long *result) override
    {
        if (const auto hook = decodeHookMessage(eventType, message)) {
            received.append({hook->message, hook->wParam, hook->lParam});
            return true;
        }
        return QWidget::nativeEvent(eventType, message, result);
    }
    void closeEvent(QCloseEvent *event) override
    {
        ++closeRequests;
        QWidget::closeEvent(event);
    }
};

qulonglong focusedWindow()
{
    return run("xdotool", {"getwindowfocus"}).trimmed().toULongLong();
}

// A frame that lets clicks through its inside, as the recorders' frame does.
class Ring : public QWidget
{
public:
    explicit Ring(const QRect &geometry)
        : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    {
        setWindowTitle("SnaplarkRing");
        setGeometry(geometry);
        setStyleSheet("background: red;");
        setMask(QRegion(rect()) - QRegion(rect().adjusted(6, 6, -6, -6)));
    }
};

struct FileIdentity
{
    ino_t inode = 0;
    qint64 modified = 0;
    bool operator==(const FileIdentity &other) const
    {
        return inode == other.inode && modified == other.modified;
    }
};

FileIdentity identity(const QString &path)
{
    struct stat status;
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return FileIdentity();
    return {status.st_ino, qint64(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec};
}

QString readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool showActive(Target &window)
{
    window.show();
    window.activateWindow();
    if (!QTest::qWaitForWindowExposed(&window))
        return false;
    QElapsedTimer timer;
    timer.start();
    while (activeWindow() != window.winId()) {
        if (timer.hasExpired(5000))
            return false;
        QTest::qWait(50);
    }
    return true;
}

} // namespace

void TestNativeExtension::initTestCase()
{
    QVERIFY2(QFile::exists(library), "libExtension.so not built");
    Extension::reloadForTesting(SNAPLARK_BIN_DIR);
}

void TestNativeExtension::cleanupTestCase()
{
    Extension::reloadForTesting(QString());
}

void TestNativeExtension::videoFileExtension()
{
    QCOMPARE(Extension::videoFileExtension(), QString("mp4"));
}

void TestNativeExtension::activeWindowRect_data()
{
    QTest::addColumn<Qt::WindowFlags>("flags");
    QTest::addColumn<bool>("withoutActiveWindowHint");

    QTest::newRow("decorated") << Qt::WindowFlags() << false;
    QTest::newRow("frameless") << Qt::WindowFlags(Qt::FramelessWindowHint) << false;
    // without the window manager's hint, the input focus tells
    QTest::newRow("focus fallback") << Qt::WindowFlags() << true;
}

void TestNativeExtension::activeWindowRect()
{
    QFETCH(Qt::WindowFlags, flags);
    QFETCH(bool, withoutActiveWindowHint);

    Target window(QTest::currentDataTag(), flags);
    window.move(137, 91);
    QVERIFY(showActive(window));
    const qulonglong id = window.winId();
    const QRect expected = frameGeometry(id);
    QVERIFY(expected.isValid());
    if (!(flags & Qt::FramelessWindowHint))
        QVERIFY2(expected.height() > window.height(), "the frame should add a title bar");
    if (withoutActiveWindowHint)
        run("xprop", {"-root", "-remove", "_NET_ACTIVE_WINDOW"});

    QRect rect;
    int handle = 0;
    QVERIFY(Extension::getActiveWindowRect(&rect, &handle));
    QCOMPARE(rect, expected);
    QCOMPARE(qulonglong(handle), id);
}

void TestNativeExtension::windowManagerSaysNoneIsActive()
{
    // The window manager's own focus holder is not a capture target.
    Target window("none active", Qt::WindowFlags());
    QVERIFY(showActive(window));
    Display *display = QX11Info::display();
    const unsigned long none = 0;
    XChangeProperty(display, QX11Info::appRootWindow(), XInternAtom(display, "_NET_ACTIVE_WINDOW", False),
                    XA_WINDOW, 32, PropModeReplace, reinterpret_cast<const unsigned char *>(&none), 1);
    XSync(display, False);

    QRect rect(1, 1, 1, 1);
    int handle = 5;
    QVERIFY(!Extension::getActiveWindowRect(&rect, &handle));
    QVERIFY(rect.isNull());
}

void TestNativeExtension::noDisplayMeansNoWindow()
{
    const QByteArray display = qgetenv("DISPLAY");
    for (const QByteArray &broken : {QByteArray(), QByteArray(":4093")}) {
        qputenv("DISPLAY", broken);
        QRect rect(1, 1, 1, 1);
        int handle = 5;
        const bool found = Extension::getActiveWindowRect(&rect, &handle);
        const bool signalled = Extension::sendSignal("anything", SNAPLARK_WM_CLOSE, 0, 0);
        qputenv("DISPLAY", display);
        QVERIFY(!found);
        QVERIFY(rect.isNull());
        QCOMPARE(handle, 0);
        QVERIFY(!signalled);
    }
}

void TestNativeExtension::sendSignalDrivesWindowsByTitle()
{
    // a title beyond Latin-1 and the basic plane must match exactly
    const QString title = QStringLiteral("SnaplarkSignalTarget ä ") + QString::fromUcs4(U"\U0001F600");
    Target window(title);
    Target twin(title);
    Target bystander(title + " 2");
    twin.move(400, 300);
    bystander.move(600, 100);
    QVERIFY(showActive(bystander));
    QVERIFY(showActive(twin));
    QVERIFY(showActive(window));
    const qulonglong id = window.winId();

    QVERIFY(!Extension::sendSignal("SnaplarkNoSuchWindow", SNAPLARK_WM_SYSCOMMAND,
                                   SNAPLARK_SC_MINIMIZE, 0));

    QVERIFY(Extension::sendSignal(title, SNAPLARK_WM_SYSCOMMAND, SNAPLARK_SC_MINIMIZE, 0));
    QTRY_VERIFY(windowProperty(id, "WM_STATE").contains("window state: Iconic"));
    QVERIFY(windowProperty(id, "_NET_WM_STATE").contains("_NET_WM_STATE_HIDDEN"));
    QTRY_VERIFY(windowProperty(twin.winId(), "WM_STATE").contains("window state: Iconic"));
    QVERIFY(windowProperty(bystander.winId(), "WM_STATE").contains("window state: Normal"));

    QVERIFY(Extension::sendSignal(title, SNAPLARK_WM_SYSCOMMAND, SNAPLARK_SC_RESTORE, 0));
    QTRY_VERIFY(windowProperty(id, "WM_STATE").contains("window state: Normal"));
    QVERIFY(!windowProperty(id, "_NET_WM_STATE").contains("_NET_WM_STATE_HIDDEN"));
    QTRY_VERIFY(windowProperty(twin.winId(), "WM_STATE").contains("window state: Normal"));
    QTRY_VERIFY(activeWindow() == id || activeWindow() == twin.winId());

    // messages without an X11 meaning arrive as hook messages
    QVERIFY(Extension::sendSignal(title, HookMessage::Keystroke, 0x1B, 0xFFFFFFFFu));
    const QVector<QVector<unsigned>> expected = {{HookMessage::Keystroke, 0x1B, 0xFFFFFFFFu}};
    QTRY_COMPARE(window.received, expected);
    QTRY_COMPARE(twin.received, expected);

    QVERIFY(Extension::sendSignal(title, SNAPLARK_WM_CLOSE, 0, 0));
    QTRY_VERIFY(!window.isVisible());
    QTRY_VERIFY(!twin.isVisible());
    QCOMPARE(window.closeRequests, 1);
    QVERIFY(bystander.isVisible());
    QCOMPARE(bystander.closeRequests, 0);
    QVERIFY(bystander.received.isEmpty());
    QTRY_VERIFY(!windowProperty(id, "WM_STATE").contains("window state: Normal"));
}

void TestNativeExtension::killOldProcesses_data()
{
    QTest::addColumn<QStringList>("modes");
    QTest::addColumn<int>("minimumMs");
    QTest::addColumn<int>("maximumMs");

    QTest::newRow("two copies") << QStringList{QString(), QString()} << 0 << 1500;
    // SIGTERM is ignored, so only the SIGKILL after the grace time ends it
    QTest::newRow("one ignores SIGTERM") << QStringList{QString(), "stubborn"} << 1900 << 5000;
}

void TestNativeExtension::killOldProcesses()
{
    QFETCH(QStringList, modes);
    QFETCH(int, minimumMs);
    QFETCH(int, maximumMs);

    QVector<QProcess *> copies;
    auto cleanup = qScopeGuard([&] { qDeleteAll(copies); });
    for (const QString &mode : modes) {
        auto *copy = new QProcess;
        copies.append(copy);
        copy->start(sleeper, mode.isEmpty() ? QStringList() : QStringList{mode});
        QVERIFY(copy->waitForReadyRead(5000));
        QCOMPARE(copy->readAllStandardOutput(), QByteArray("ready\n"));
    }

    QProcess caller;
    QElapsedTimer timer;
    timer.start();
    caller.start(sleeper, {"kill", library});
    QVERIFY(caller.waitForFinished(10000));
    const qint64 elapsed = timer.elapsed();
    QCOMPARE(caller.exitStatus(), QProcess::NormalExit);
    QCOMPARE(caller.exitCode(), 0);
    QCOMPARE(caller.readAllStandardOutput(), QByteArray("done\n"));
    QVERIFY2(elapsed >= minimumMs && elapsed <= maximumMs, QByteArray::number(elapsed));

    for (QProcess *copy : copies) {
        QVERIFY(copy->waitForFinished(1000));
        QCOMPARE(copy->exitStatus(), QProcess::CrashExit);
    }
}

void TestNativeExtension::sendFocusSkipsClickThrough()
{
    Target below("SnaplarkFocusBelow");
    below.setGeometry(100, 120, 400, 300);
    Target elsewhere("SnaplarkFocusElsewhere");
    elsewhere.setGeometry(700, 450, 300, 200);
    Ring ring(below.geometry().adjusted(-20, -20, 20, 20));
    QVERIFY(showActive(below));
    ring.show();
    QVERIFY(QTest::qWaitForWindowExposed(&ring));
    QVERIFY(showActive(elsewhere));
    QTRY_COMPARE(focusedWindow(), qulonglong(elsewhere.winId()));

    // inside the ring the click would reach the window below
    const QPoint centre = below.geometry().center();
    QVERIFY(Extension::sendFocus(centre.x(), centre.y()));
    QTRY_COMPARE(focusedWindow(), qulonglong(below.winId()));
    QVERIFY(ring.isVisible());

    // on the ring itself, the ring takes it
    QVERIFY(Extension::sendFocus(ring.geometry().left() + 2, centre.y()));
    QTRY_COMPARE(focusedWindow(), qulonglong(ring.winId()));

    QVERIFY(Extension::sendFocus(elsewhere.geometry().center().x(),
                                 elsewhere.geometry().center().y()));
    QTRY_COMPARE(focusedWindow(), qulonglong(elsewhere.winId()));

    // the bare desktop and points off the screen have nobody to focus
    QVERIFY(!Extension::sendFocus(1270, 10));
    QVERIFY(!Extension::sendFocus(-50, 5000));
    QCOMPARE(focusedWindow(), qulonglong(elsewhere.winId()));

    const QByteArray display = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":4093");
    const bool withoutDisplay = Extension::sendFocus(centre.x(), centre.y());
    qputenv("DISPLAY", display);
    QVERIFY(!withoutDisplay);
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
    // a percent sign would be a field code unless doubled
    const QString captures = "file:///home/me/Documents/100% Snaplark Captures";
    QVERIFY(Extension::createJumpMenu(appDir, captures));
    const QString content = readAll(entry);
    QVERIFY(content.startsWith("[Desktop Entry]\n"));
    QVERIFY(content.contains("\nType=Application\n"));
    QVERIFY(content.contains("\nActions=OpenCaptures;\n"));
    QVERIFY(content.contains("\n[Desktop Action OpenCaptures]\n"));
    QVERIFY(content.contains("\nExec=xdg-open \"file:///home/me/Documents/100%% Snaplark "
                             "Captures\"\n"));
    const FileIdentity written = identity(entry);
    QVERIFY(written.inode != 0);

    // unchanged: the file is left alone
    QVERIFY(Extension::createJumpMenu(appDir, captures));
    QVERIFY(identity(entry) == written);

    // a desktop reads the program back exactly
    run("gio", {"launch", entry});
    QTRY_COMPARE(readAll(launched), appDir + "/snaplark");

    const QString moved = "file:///home/me/Other Captures";
    QVERIFY(Extension::createJumpMenu(appDir, moved));
    QVERIFY(!(identity(entry) == written));
    QVERIFY(readAll(entry).contains("\nExec=xdg-open \"" + moved + "\"\n"));

    QVERIFY(!Extension::createJumpMenu(QString(), captures));
    QVERIFY(!Extension::createJumpMenu(appDir, QString()));
}

void TestNativeExtension::hotkeyIsNotOurs()
{
    QLibrary extension(SNAPLARK_BIN_DIR "/Extension");
    const auto setHotkey = reinterpret_cast<SetHotkeyFn>(extension.resolve("SetHotkey"));
    QVERIFY(setHotkey);
    QVERIFY(!setHotkey(0x0002, 'S'));
}

QTEST_MAIN(TestNativeExtension)
#include "tst_nativeextension.moc"
