#include "extension/extension.h"
#include "extension/hookmessage.h"
#include "snaplarkextension.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QWidget>
#include <QtTest>

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
    void sendSignalDrivesWindowsByTitle();
    void killOldProcesses_data();
    void killOldProcesses();
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

QTEST_MAIN(TestNativeExtension)
#include "tst_nativeextension.moc"
