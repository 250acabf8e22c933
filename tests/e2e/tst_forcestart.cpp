#include "desktopdriver.h"
#include "processdriver.h"
#include "testsupport.h"

#include <QtTest>

#include <memory>

// A second launch while a capture run is active, answered with the mouse in
// the real force-start box.  The test runs its own copy of the program:
// stopping the old instance ends every process of the executable file.
namespace {
const QString kBoxTitle = QStringLiteral("Snaplark Start Exception");
// the middles of the box's two buttons
const QPoint kLeave = QPoint(310, 33) + QPoint(55, 20);
const QPoint kStop = QPoint(310, 85) + QPoint(55, 20);
} // namespace

class TestForceStart : public QObject
{
    Q_OBJECT

    QString m_scratch;
    // A file that is not there, with blanks and non-ASCII characters, so any
    // splitting or re-encoding on the way shows.
    QString m_missing;
    std::unique_ptr<ProgramCopy> m_copy;
    std::unique_ptr<ProgramRun> m_first;
    std::unique_ptr<ProgramRun> m_second;
    qulonglong m_overlay = 0;

    std::unique_ptr<ProgramRun> launch(const QStringList &arguments)
    {
        auto run = m_copy->newRun();
        return run->start(arguments) ? std::move(run) : nullptr;
    }

    // Starts a capture run, then a second launch, and answers its box.
    void secondLaunchAnswered(const QStringList &arguments, const QPoint &button)
    {
        m_first = launch(QStringList());
        QVERIFY(m_first);
        m_overlay = Desktop::waitForWindowOf(m_first->pid());
        QVERIFY2(m_overlay && m_first->log().contains("Pixmap size:"), qPrintable(m_first->log()));

        m_second = launch(arguments);
        QVERIFY(m_second);
        const qulonglong box = Desktop::waitForWindowNamed(kBoxTitle);
        QVERIFY2(box, qPrintable(m_second->log()));
        QCOMPARE(Desktop::windowsOf(m_second->pid()), QList<qulonglong>{box});
        // 430 x 150, centred on the 1280 x 800 screen
        QCOMPARE(Desktop::windowGeometry(box), QRect(425, 325, 430, 150));
        QVERIFY(Desktop::click(QPoint(425, 325) + button));
        QVERIFY2(m_second->waitForFinished(10000) && m_second->log().contains("Already running!"),
                 qPrintable(m_second->log()));
        QCOMPARE(m_second->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_second->exitCode(), 0);
    }

private slots:
    void initTestCase()
    {
        m_scratch = testScratchDir("forcestart");
        m_missing = m_scratch + QString::fromUtf8("/no such dir/Bild 1 ü.png");
        m_copy = std::make_unique<ProgramCopy>(m_scratch + "/bin");
        QVERIFY(m_copy->isValid());
        QVERIFY(Desktop::moveMouse(QPoint(5, 5)));
    }

    void cleanup()
    {
        m_second.reset();
        m_first.reset();
        // the restarted instance is nobody's child here
        QVERIFY(m_copy->killAll());
    }

    void leaveKeepsRunningInstance()
    {
        secondLaunchAnswered({m_missing}, kLeave);
        if (QTest::currentTestFailed())
            return;
        // the argument is not acted upon, nothing is stopped or started
        QVERIFY2(!m_second->log().contains("Uploading file"), qPrintable(m_second->log()));
        QCOMPARE(m_copy->running(), QList<qint64>{m_first->pid()});
        // the first instance is untouched: its overlay still covers the screen and answers the keyboard
        QCOMPARE(Desktop::windowsOf(m_first->pid()), QList<qulonglong>{m_overlay});
        QCOMPARE(Desktop::windowGeometry(m_overlay), Desktop::screenRect());
        QVERIFY(Desktop::keyInto(m_overlay, "Escape"));
        QVERIFY2(m_first->waitForFinished(10000), qPrintable(m_first->log()));
        QCOMPARE(m_first->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_first->exitCode(), 0);
    }

    void stopRestartsWithSameArguments()
    {
        // only the first argument is looked at; the rest must travel all the same
        const QStringList arguments{m_missing, "second argument", QString()};
        secondLaunchAnswered(arguments, kStop);
        if (QTest::currentTestFailed())
            return;
        const QString log = m_second->log();
        const int closing = log.indexOf("Closing old running instance");
        QVERIFY2(closing > log.indexOf("Already running!") && log.indexOf("Restarting") > closing, qPrintable(log));
        // the old instance was ended from outside
        QVERIFY(m_first->waitForFinished(5000));
        QCOMPARE(m_first->exitStatus(), QProcess::CrashExit);

        // exactly one new instance, started with the same arguments
        QList<qint64> restarted;
        QVERIFY(waitUntil([&] { return !(restarted = m_copy->running()).isEmpty(); }, 5000));
        QCOMPARE(restarted.size(), 1);
        const QStringList commandLine = ProcessTable::commandLine(restarted.first());
        QCOMPARE(QFileInfo(commandLine.value(0)).canonicalFilePath(), m_copy->program());
        QCOMPARE(commandLine.mid(1), arguments);
        // and it runs as the only instance: it takes the first argument as the
        // file to upload and reports it missing, rather than asking again
        QVERIFY(Desktop::waitForWindowOf(restarted.first()));
        QVERIFY(Desktop::windowsNamed(kBoxTitle).isEmpty());
        QVERIFY2(m_second->waitForLog("Uploading file doesn't exists " + m_missing), qPrintable(m_second->log()));
    }
};

QTEST_MAIN(TestForceStart)
#include "tst_forcestart.moc"
