#include "extension/extension.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The program's side of the extension interface, against stand-in libraries
// that record each call with its arguments.
class TestExtension : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void forwardsArgumentsInOrder();
    void mapsResults();
    void failedCallsDegrade();
    void missingLibrariesDegrade();
    void missingFunctionsLeaveOnlyTheirEntriesEmpty();

private:
    QStringList calls() const;

    QTemporaryDir scratch;
    QString logPath;
};

namespace {

const QString fullFolder = QStringLiteral(SNAPLARK_BUILD_DIR "/tests/standin/full");
const QString partialFolder = QStringLiteral(SNAPLARK_BUILD_DIR "/tests/standin/partial");

// Beyond Latin-1 and beyond the basic plane, so surrogate pairs must survive.
const QString awkwardText = QStringLiteral("Snaplark Ä ж 文 ") + QString::fromUcs4(U"\U0001F600");

QString line(const QStringList &fields)
{
    return fields.join(QLatin1Char('\t'));
}

} // namespace

void TestExtension::initTestCase()
{
    QVERIFY(scratch.isValid());
    QVERIFY2(QFile::exists(fullFolder + "/libExtension.so"), "stand-in library not built");
    logPath = scratch.filePath("calls.log");
    qputenv("SNAPLARK_STANDIN_LOG", QFile::encodeName(logPath));
}

void TestExtension::init()
{
    QFile::remove(logPath);
    qunsetenv("SNAPLARK_STANDIN_RESULT");
    qunsetenv("SNAPLARK_STANDIN_RECT");
    qunsetenv("SNAPLARK_STANDIN_EXTENSION");
    Extension::reloadForTesting(fullFolder);
}

void TestExtension::cleanupTestCase()
{
    Extension::reloadForTesting(QString());
}

QStringList TestExtension::calls() const
{
    QFile log(logPath);
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void TestExtension::forwardsArgumentsInOrder()
{
    QRect rect;
    int handle = -1;
    Extension::getActiveWindowRect(&rect, &handle);
    Extension::videoFileExtension();
    Extension::startVideoCapture(false, QRect(10, 20, 300, 200), 0, "/tmp/" + awkwardText + ".mp4",
                                 30, true);
    Extension::startVideoCapture(true, QRect(), 0, "/tmp/full.mp4", 15, false);
    Extension::startVideoCapture(false, QRect(), 0x2a00007, "/tmp/window.mp4", 25, true);
    Extension::stopVideoCapture();
    Extension::killOldProcesses();
    Extension::createJumpMenu("/opt/" + awkwardText, "file:///home/u/Snaplark Captures");
    Extension::sendSignal("SnaplarkFloatingButton", 0x0112, 0xF020, 0);
    Extension::sendSignal(awkwardText, 0x0010, 0, 0xFFFFFFFFu);
    Extension::setHooks(true, "SnaplarkGifCapture");
    Extension::setHooks(false, awkwardText);
    Extension::sendFocus(640, -5);

    const QStringList expected = {
        line({"Extension", "GetActiveWindowRect"}),
        line({"Extension", "GetVideoFileExtension", "1000"}),
        line({"Extension", "StartVideoCapture", "0", "10", "20", "300", "200", "0",
              "/tmp/" + awkwardText + ".mp4", "30", "1"}),
        // QRect() is the null rectangle, whose width and height are 0
        line({"Extension", "StartVideoCapture", "1", "0", "0", "0", "0", "0", "/tmp/full.mp4",
              "15", "0"}),
        line({"Extension", "StartVideoCapture", "0", "0", "0", "0", "0", "44040199",
              "/tmp/window.mp4", "25", "1"}),
        line({"Extension", "StopVideoCapture"}),
        line({"Extension", "KillOldProcesses"}),
        // the jump menu is the one function of the second library
        line({"Win7Extension", "CreateJumpMenu", "/opt/" + awkwardText,
              "file:///home/u/Snaplark Captures"}),
        line({"Extension", "SendSignal", "SnaplarkFloatingButton", "0x112", "0xf020", "0"}),
        line({"Extension", "SendSignal", awkwardText, "0x10", "0", "0xffffffff"}),
        line({"Extension", "SetHooks", "1", "0", "SnaplarkGifCapture"}),
        line({"Extension", "SetHooks", "0", "0", awkwardText}),
        line({"Extension", "SendFocus", "640", "-5"}),
    };
    QCOMPARE(calls(), expected);
}

void TestExtension::mapsResults()
{
    qputenv("SNAPLARK_STANDIN_RECT", "-8,12,640,480,77");
    qputenv("SNAPLARK_STANDIN_EXTENSION", awkwardText.toUtf8());

    QRect rect;
    int handle = 0;
    QVERIFY(Extension::getActiveWindowRect(&rect, &handle));
    QCOMPARE(rect, QRect(-8, 12, 640, 480));
    QCOMPARE(rect.right(), 631);
    QCOMPARE(handle, 77);

    QCOMPARE(Extension::videoFileExtension(), awkwardText);
    QVERIFY(Extension::startVideoCapture(false, QRect(0, 0, 10, 10), 0, "a.mp4", 30, false));
    QVERIFY(Extension::createJumpMenu("/opt", "file:///x"));
    QVERIFY(Extension::sendSignal("w", 1, 2, 3));
    QVERIFY(Extension::setHooks(true, "w"));
    QVERIFY(Extension::sendFocus(1, 2));
    QVERIFY(Extension::videoAvailable());

    // the text is cut to the 1000-unit buffer, NUL included
    qputenv("SNAPLARK_STANDIN_EXTENSION", QByteArray(1500, 'x'));
    QCOMPARE(Extension::videoFileExtension(), QString(999, 'x'));
}

void TestExtension::failedCallsDegrade()
{
    qputenv("SNAPLARK_STANDIN_RESULT", "0");
    qputenv("SNAPLARK_STANDIN_RECT", "1,2,3,4,5");

    QRect rect(1, 1, 1, 1);
    int handle = 9;
    QVERIFY(!Extension::getActiveWindowRect(&rect, &handle));
    QVERIFY(rect.isNull());
    QCOMPARE(handle, 0);
    QVERIFY(!Extension::startVideoCapture(true, QRect(), 0, "a.mp4", 30, true));
    QVERIFY(!Extension::createJumpMenu("/opt", "file:///x"));
    QVERIFY(!Extension::sendSignal("w", 1, 2, 3));
    QVERIFY(!Extension::setHooks(true, "w"));
    QVERIFY(!Extension::sendFocus(1, 2));
}

void TestExtension::missingLibrariesDegrade()
{
    Extension::reloadForTesting(scratch.filePath("no-libraries-here"));

    QRect rect(1, 1, 1, 1);
    int handle = 9;
    QVERIFY(!Extension::getActiveWindowRect(&rect, &handle));
    QVERIFY(rect.isNull());
    QCOMPARE(handle, 0);
    QVERIFY(Extension::videoFileExtension().isEmpty());
    QVERIFY(!Extension::startVideoCapture(true, QRect(), 0, "a.mp4", 30, true));
    Extension::stopVideoCapture();
    Extension::killOldProcesses();
    QVERIFY(!Extension::createJumpMenu("/opt", "file:///x"));
    QVERIFY(!Extension::sendSignal("w", 1, 2, 3));
    QVERIFY(!Extension::setHooks(true, "w"));
    QVERIFY(!Extension::sendFocus(1, 2));
    QVERIFY(!Extension::videoAvailable());
    QVERIFY(calls().isEmpty());
}

void TestExtension::missingFunctionsLeaveOnlyTheirEntriesEmpty()
{
    Extension::reloadForTesting(partialFolder);

    QVERIFY(!Extension::sendFocus(1, 2));
    Extension::stopVideoCapture();
    Extension::killOldProcesses();
    // the first library also exports CreateJumpMenu, but the entry comes
    // only from the missing second library
    QVERIFY(!Extension::createJumpMenu("/opt", "file:///x"));
    QVERIFY(calls().isEmpty());

    // recording needs both ends, even though starting alone is possible
    QVERIFY(!Extension::videoAvailable());
    QVERIFY(Extension::startVideoCapture(true, QRect(), 0, "a.mp4", 30, true));
    QVERIFY(Extension::sendSignal("w", 1, 2, 3));
    QVERIFY(Extension::setHooks(true, "w"));
    QRect rect;
    int handle = 0;
    QVERIFY(Extension::getActiveWindowRect(&rect, &handle));
    QCOMPARE(calls().size(), 4);
}

QTEST_GUILESS_MAIN(TestExtension)
#include "tst_extension.moc"
