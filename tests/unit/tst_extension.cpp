#include "extension/extension.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString fullFolder = QStringLiteral(SNAPLARK_BUILD_DIR "/tests/standin/full");
const QString partialFolder = QStringLiteral(SNAPLARK_BUILD_DIR "/tests/standin/partial");

// Beyond Latin-1 and beyond the basic plane, so surrogate pairs must survive.
const QString awkwardText = QStringLiteral("Snaplark Ä ж 文 ") + QString::fromUcs4(U"\U0001F600");

} // namespace

// The program's side of the extension interface, against stand-in libraries
// that record each call with its arguments.
class TestExtension : public QObject
{
    Q_OBJECT

    QTemporaryDir m_scratch;
    QString m_log;

    QStringList calls() const
    {
        QFile log(m_log);
        if (!log.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(log.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(fullFolder + "/libExtension.so"), "stand-in library not built");
        m_log = m_scratch.filePath("calls.log");
        qputenv("SNAPLARK_STANDIN_LOG", QFile::encodeName(m_log));
    }
    void init()
    {
        QFile::remove(m_log);
        qunsetenv("SNAPLARK_STANDIN_RESULT");
        qunsetenv("SNAPLARK_STANDIN_RECT");
        qunsetenv("SNAPLARK_STANDIN_EXTENSION");
        Extension::reloadForTesting(fullFolder);
    }
    void cleanupTestCase() { Extension::reloadForTesting(QString()); }

    // The real library is driven through the same table end to end; here the
    // marshalling it cannot show: text beyond Latin-1 both ways, every
    // argument in its place, the second library's one function, and the
    // 1000-unit text buffer.
    void marshalsArgumentsAndResults()
    {
        qputenv("SNAPLARK_STANDIN_RECT", "-8,12,640,480,77");
        qputenv("SNAPLARK_STANDIN_EXTENSION", awkwardText.toUtf8());
        QRect rect;
        int handle = 0;
        QVERIFY(Extension::getActiveWindowRect(&rect, &handle));
        QCOMPARE(rect, QRect(-8, 12, 640, 480));
        QCOMPARE(handle, 77);
        QCOMPARE(Extension::videoFileExtension(), awkwardText);
        QVERIFY(Extension::videoAvailable());
        Extension::startVideoCapture(false, QRect(10, 20, 300, 200), 0x2a00007, "/tmp/" + awkwardText + ".mp4", 30, true);
        Extension::createJumpMenu("/opt/" + awkwardText, "file:///home/u/Snaplark Captures");
        Extension::sendSignal(awkwardText, 0x0112, 0xF020, 0xFFFFFFFFu);
        Extension::setHooks(false, awkwardText);
        Extension::sendFocus(640, -5);
        QCOMPARE(calls(), QStringList({
            "Extension\tGetActiveWindowRect",
            "Extension\tGetVideoFileExtension\t1000",
            "Extension\tStartVideoCapture\t0\t10\t20\t300\t200\t44040199\t/tmp/" + awkwardText + ".mp4\t30\t1",
            "Win7Extension\tCreateJumpMenu\t/opt/" + awkwardText + "\tfile:///home/u/Snaplark Captures",
            "Extension\tSendSignal\t" + awkwardText + "\t0x112\t0xf020\t0xffffffff",
            "Extension\tSetHooks\t0\t0\t" + awkwardText,
            "Extension\tSendFocus\t640\t-5",
        }));
        // the text is cut to the buffer, NUL included
        qputenv("SNAPLARK_STANDIN_EXTENSION", QByteArray(1500, 'x'));
        QCOMPARE(Extension::videoFileExtension(), QString(999, 'x'));
    }

    void failuresDegrade_data()
    {
        QTest::addColumn<bool>("librariesMissing");
        QTest::newRow("calls fail") << false;
        QTest::newRow("libraries missing") << true;
    }
    void failuresDegrade()
    {
        QFETCH(bool, librariesMissing);
        qputenv("SNAPLARK_STANDIN_RESULT", "0");
        qputenv("SNAPLARK_STANDIN_RECT", "1,2,3,4,5");
        if (librariesMissing)
            Extension::reloadForTesting(m_scratch.filePath("no-libraries-here"));

        QRect rect(1, 1, 1, 1);
        int handle = 9;
        QVERIFY(!Extension::getActiveWindowRect(&rect, &handle));
        QVERIFY(rect.isNull());
        QCOMPARE(handle, 0);
        QVERIFY(!Extension::startVideoCapture(true, QRect(), 0, "a.mp4", 30, true));
        Extension::stopVideoCapture();
        Extension::killOldProcesses();
        QVERIFY(!Extension::createJumpMenu("/opt", "file:///x"));
        QVERIFY(!Extension::sendSignal("w", 1, 2, 3));
        QVERIFY(!Extension::setHooks(true, "w"));
        QVERIFY(!Extension::sendFocus(1, 2));
        if (librariesMissing) {
            QVERIFY(Extension::videoFileExtension().isEmpty());
            QVERIFY(!Extension::videoAvailable());
            QVERIFY(calls().isEmpty());
        }
    }

    void missingFunctionsLeaveOnlyTheirEntriesEmpty()
    {
        Extension::reloadForTesting(partialFolder);
        QVERIFY(!Extension::sendFocus(1, 2));
        Extension::stopVideoCapture();
        // the first library also exports CreateJumpMenu, but the entry comes
        // only from the missing second library
        QVERIFY(!Extension::createJumpMenu("/opt", "file:///x"));
        QVERIFY(calls().isEmpty());

        // recording needs both ends, even though starting alone is possible
        QVERIFY(!Extension::videoAvailable());
        QVERIFY(Extension::startVideoCapture(true, QRect(), 0, "a.mp4", 30, true));
        QVERIFY(Extension::sendSignal("w", 1, 2, 3));
        QCOMPARE(calls().size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestExtension)
#include "tst_extension.moc"
