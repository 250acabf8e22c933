// The program's side of the extension table, against stand-in libraries that record each call.
#include "extension/extension.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

static const QString kStandins = QStringLiteral(SNAPLARK_BUILD_DIR "/tests/standin/");
// Beyond Latin-1 and beyond the basic plane, so surrogate pairs must survive.
static const QString kAwkward = QStringLiteral("Snaplark Ä ж 文 ") + QString::fromUcs4(U"\U0001F600");

class TestExtension : public QObject
{
    Q_OBJECT

    QTemporaryDir m_scratch;
    const QString m_log = m_scratch.filePath(QStringLiteral("calls.log"));

    QStringList calls() const
    {
        QFile log(m_log);
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()).split('\n', Qt::SkipEmptyParts) : QStringList();
    }

private slots:
    void initTestCase() { qputenv("SNAPLARK_STANDIN_LOG", QFile::encodeName(m_log)); }

    // The marshalling the real library's end-to-end tests cannot show: text beyond Latin-1 both
    // ways, every argument in its place, the second library's function, the 1000-unit buffer.
    void marshalsArgumentsAndResults()
    {
        Extension::reloadForTesting(kStandins + "full");
        qunsetenv("SNAPLARK_STANDIN_RESULT");
        qputenv("SNAPLARK_STANDIN_RECT", "-8,12,640,480,77");
        qputenv("SNAPLARK_STANDIN_EXTENSION", kAwkward.toUtf8());
        QRect rect;
        int handle = 0;
        QVERIFY(Extension::getActiveWindowRect(&rect, &handle));
        QCOMPARE(qMakePair(rect, handle), qMakePair(QRect(-8, 12, 640, 480), 77));
        QCOMPARE(Extension::videoFileExtension(), kAwkward);
        QVERIFY(Extension::videoAvailable());
        QVERIFY(Extension::startVideoCapture(false, QRect(10, 20, 300, 200), 0x2a00007, "/tmp/" + kAwkward + ".mp4", 30, true));
        QVERIFY(Extension::createJumpMenu("/opt/" + kAwkward, "file:///home/u/Snaplark Captures"));
        QVERIFY(Extension::sendSignal(kAwkward, 0x0112, 0xF020, 0xFFFFFFFFu));
        QVERIFY(Extension::setHooks(false, kAwkward));
        QVERIFY(Extension::sendFocus(640, -5));
        QCOMPARE(calls(), QStringList({
            "Extension\tGetActiveWindowRect",
            "Extension\tGetVideoFileExtension\t1000",
            "Extension\tStartVideoCapture\t0\t10\t20\t300\t200\t44040199\t/tmp/" + kAwkward + ".mp4\t30\t1",
            "Win7Extension\tCreateJumpMenu\t/opt/" + kAwkward + "\tfile:///home/u/Snaplark Captures",
            "Extension\tSendSignal\t" + kAwkward + "\t0x112\t0xf020\t0xffffffff",
            "Extension\tSetHooks\t0\t0\t" + kAwkward,
            "Extension\tSendFocus\t640\t-5",
        }));
        qputenv("SNAPLARK_STANDIN_EXTENSION", QByteArray(1500, 'x'));
        QCOMPARE(Extension::videoFileExtension(), QString(999, 'x')); // cut to the buffer, NUL included
    }

    // Missing libraries, then missing functions and failing calls: wrappers degrade, only what exists is reached.
    void failuresDegrade()
    {
        qputenv("SNAPLARK_STANDIN_RESULT", "0");
        qputenv("SNAPLARK_STANDIN_RECT", "1,2,3,4,5");
        qputenv("SNAPLARK_STANDIN_EXTENSION", "mp4");
        // without the second library its CreateJumpMenu is not taken from the first, which has one too
        const QString partial = "GetActiveWindowRect GetVideoFileExtension StartVideoCapture SendSignal SetHooks";
        for (const QString &reached : {QString(), partial}) {
            QFile::remove(m_log);
            Extension::reloadForTesting(reached.isEmpty() ? m_scratch.filePath("no-libraries") : kStandins + "partial");
            QRect rect(1, 1, 1, 1);
            int handle = 9;
            QVERIFY(!Extension::getActiveWindowRect(&rect, &handle) && rect.isNull() && handle == 0);
            QCOMPARE(Extension::videoFileExtension(), reached.isEmpty() ? QString() : QStringLiteral("mp4"));
            Extension::stopVideoCapture();
            Extension::killOldProcesses();
            QVERIFY(!Extension::startVideoCapture(true, QRect(), 0, "a.mp4", 30, true));
            QVERIFY(!Extension::createJumpMenu("/opt", "file:///x") && !Extension::sendSignal("w", 1, 2, 3));
            QVERIFY(!Extension::setHooks(true, "w") && !Extension::sendFocus(1, 2));
            QVERIFY(!Extension::videoAvailable()); // recording needs both ends, though starting alone is possible
            QStringList functions;
            for (const QString &call : calls())
                functions << call.section('\t', 1, 1);
            QCOMPARE(functions.join(' '), reached);
        }
    }
};

QTEST_GUILESS_MAIN(TestExtension)
#include "tst_extension.moc"
