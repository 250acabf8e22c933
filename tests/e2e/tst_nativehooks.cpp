#include "desktopdriver.h"
#include "extension/extension.h"
#include "extension/hookmessage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QWidget>
#include <QtTest>

// The real extension library's hooks, loaded as the program loads it: keys
// and wheel turns that xdotool makes reach a window found by its title as
// hook messages, and nothing is left behind when they are switched off.
using Triple = QVector<unsigned>;

namespace {

const QString kTitle = QStringLiteral("SnaplarkHookTarget");

class Receiver : public QWidget
{
public:
    explicit Receiver(const QString &title, const QPoint &position = QPoint(100, 100))
    {
        setWindowTitle(title);
        setGeometry(QRect(position, QSize(240, 160)));
        clock.start();
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

// Long enough for a message that would come, settle delay included.
constexpr int kQuietMs = 400;

} // namespace

class TestNativeHooks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void keysArriveAsVirtualKeys_data();
    void keysArriveAsVirtualKeys();
    void wheelTurnsArriveAfterSettling();
    void titleIsLookedUpAtDelivery();
    void offMeansSilentAndNoThread();
    void noDisplayMeansNoHooks();
    void lostDisplayEndsTheThread();

private:
    Receiver *m_window = nullptr;
    int m_threadsBefore = 0;
};

void TestNativeHooks::initTestCase()
{
    QVERIFY2(QFile::exists(SNAPLARK_BIN_DIR "/libExtension.so"), "libExtension.so not built");
    Extension::reloadForTesting(SNAPLARK_BIN_DIR);
    m_window = new Receiver(kTitle);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window));
    m_threadsBefore = threadCount();
    QVERIFY(Extension::setHooks(true, kTitle));
    QCOMPARE(threadCount(), m_threadsBefore + 1);
}

void TestNativeHooks::cleanupTestCase()
{
    Extension::setHooks(false, kTitle);
    delete m_window;
    Extension::reloadForTesting(QString());
}

void TestNativeHooks::keysArriveAsVirtualKeys_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QVector<Triple>>("expected");

    QTest::newRow("letters") << "a z" << QVector<Triple>{key(0x41), key(0x5A)};
    // the key's code, whatever the modifiers make of it; modifiers alone say nothing
    QTest::newRow("shifted letter") << "shift+q" << QVector<Triple>{key(0x51)};
    QTest::newRow("digits") << "0 9" << QVector<Triple>{key(0x30), key(0x39)};
    QTest::newRow("function keys") << "F1 F12" << QVector<Triple>{key(0x70), key(0x7B)};
    QTest::newRow("arrows") << "Left Up Right Down"
                            << QVector<Triple>{key(0x25), key(0x26), key(0x27), key(0x28)};
    QTest::newRow("keypad arrows") << "KP_Up KP_Down" << QVector<Triple>{key(0x26), key(0x28)};
    QTest::newRow("escape enter tab space")
        << "Escape Return Tab space"
        << QVector<Triple>{key(0x1B), key(0x0D), key(0x09), key(0x20)};
    QTest::newRow("navigation")
        << "Home End Prior Next Insert Delete BackSpace"
        << QVector<Triple>{key(0x24), key(0x23), key(0x21), key(0x22), key(0x2D), key(0x2E),
                           key(0x08)};
    QTest::newRow("unreported keys") << "Caps_Lock Caps_Lock Menu" << QVector<Triple>{};
}

void TestNativeHooks::keysArriveAsVirtualKeys()
{
    QFETCH(QString, keys);
    QFETCH(QVector<Triple>, expected);

    m_window->received.clear();
    // a marker key after the keys tells when everything has come
    QVERIFY(xdotool(QStringList{"key", "--delay", "5"} + keys.split(' ') + QStringList{"x"}));
    QTRY_VERIFY(!m_window->received.isEmpty() && m_window->received.last() == key(0x58));
    m_window->received.removeLast();
    QCOMPARE(m_window->received, expected);
}

void TestNativeHooks::wheelTurnsArriveAfterSettling()
{
    m_window->received.clear();
    m_window->arrivals.clear();
    // over the window, as a user scrolls what is under the capture frame
    QVERIFY(xdotool({"mousemove", "200", "180", "click", "4", "click", "5"}));
    QTRY_COMPARE(m_window->received, (QVector<Triple>{kWheelUp, kWheelDown}));

    // a key typed together with a wheel turn comes at once, the turn later
    m_window->received.clear();
    m_window->arrivals.clear();
    QVERIFY(xdotool({"key", "a", "click", "5"}));
    QTRY_COMPARE(m_window->received, (QVector<Triple>{key(0x41), kWheelDown}));
    const qint64 gap = m_window->arrivals[1] - m_window->arrivals[0];
    QVERIFY2(gap >= 50, QByteArray::number(gap));
}

void TestNativeHooks::titleIsLookedUpAtDelivery()
{
    // switched on for a window that does not exist yet
    const QString later = QStringLiteral("SnaplarkLaterWindow ü");
    QVERIFY(Extension::setHooks(true, later));
    QCOMPARE(threadCount(), m_threadsBefore + 1);
    Receiver window(later, QPoint(500, 300));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    m_window->received.clear();

    QVERIFY(xdotool({"key", "b"}));
    QTRY_COMPARE(window.received, QVector<Triple>{key(0x42)});
    // the title was replaced: the first window hears nothing now
    QTest::qWait(kQuietMs);
    QVERIFY(m_window->received.isEmpty());

    QVERIFY(Extension::setHooks(true, kTitle));
    QVERIFY(xdotool({"key", "c"}));
    QTRY_COMPARE(m_window->received, QVector<Triple>{key(0x43)});
    QCOMPARE(window.received.size(), 1);
}

void TestNativeHooks::offMeansSilentAndNoThread()
{
    QVERIFY(Extension::setHooks(false, kTitle));
    QCOMPARE(threadCount(), m_threadsBefore);
    // switching off twice is harmless
    QVERIFY(Extension::setHooks(false, kTitle));
    m_window->received.clear();
    QVERIFY(xdotool({"key", "d", "click", "4"}));
    QTest::qWait(kQuietMs);
    QVERIFY(m_window->received.isEmpty());

    // and on again
    QVERIFY(Extension::setHooks(true, kTitle));
    QCOMPARE(threadCount(), m_threadsBefore + 1);
    QVERIFY(xdotool({"key", "e"}));
    QTRY_COMPARE(m_window->received, QVector<Triple>{key(0x45)});
    QVERIFY(!Extension::setHooks(true, QString()));
}

void TestNativeHooks::noDisplayMeansNoHooks()
{
    QVERIFY(Extension::setHooks(false, kTitle));
    const QByteArray display = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":4093");
    const bool enabled = Extension::setHooks(true, kTitle);
    qputenv("DISPLAY", display);
    QVERIFY(!enabled);
    QCOMPARE(threadCount(), m_threadsBefore);
}

void TestNativeHooks::lostDisplayEndsTheThread()
{
    QProcess server;
    server.start("Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "320x200x24",
                          "+extension", "XInputExtension"});
    auto stopServer = qScopeGuard([&] {
        server.kill();
        server.waitForFinished(5000);
    });
    QVERIFY(server.waitForStarted(5000));
    QTRY_VERIFY_WITH_TIMEOUT(server.canReadLine(), 10000);
    const QByteArray display = ":" + server.readLine().trimmed();
    const QByteArray ours = qgetenv("DISPLAY");
    qputenv("DISPLAY", display);
    const bool enabled = Extension::setHooks(true, kTitle);
    qputenv("DISPLAY", ours);
    QVERIFY(enabled);
    QCOMPARE(threadCount(), m_threadsBefore + 1);

    server.kill();
    QVERIFY(server.waitForFinished(5000));
    // the thread notices and ends; enabling again starts one on our display
    QTRY_COMPARE(threadCount(), m_threadsBefore);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(Extension::setHooks(true, kTitle));
    QVERIFY(timer.elapsed() < 2000);
    QCOMPARE(threadCount(), m_threadsBefore + 1);
    m_window->received.clear();
    QVERIFY(xdotool({"key", "f"}));
    QTRY_COMPARE(m_window->received, QVector<Triple>{key(0x46)});
    QVERIFY(Extension::setHooks(false, kTitle));
    QCOMPARE(threadCount(), m_threadsBefore);
}

QTEST_MAIN(TestNativeHooks)
#include "tst_nativehooks.moc"
