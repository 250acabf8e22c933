#include "desktopdriver.h"
#include "processdriver.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QtTest>

#include <memory>

// A second launch while a capture run is active, answered with the mouse in
// the real force-start box.  The test runs its own copy of the program:
// stopping the old instance ends every process of the executable file.
class TestForceStart : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void leaveKeepsRunningInstance();
    void stopRestartsWithSameArguments();

private:
    std::unique_ptr<ProgramRun> launch(const QStringList &arguments);
    void startCaptureRun();
    void answerBox(const QPoint &button);

    QString m_scratch;
    std::unique_ptr<ProgramCopy> m_copy;
    std::unique_ptr<ProgramRun> m_first;
    std::unique_ptr<ProgramRun> m_second;
    qulonglong m_overlay = 0;
    int m_runs = 0;
};

namespace {

const QString kBoxTitle = QStringLiteral("Snaplark Start Exception");
const QSize kBoxSize(430, 150);
// the middles of the box's two buttons
const QPoint kLeave = QPoint(310, 33) + QPoint(55, 20);
const QPoint kStop = QPoint(310, 85) + QPoint(55, 20);

// A file that is not there, with blanks and non-ASCII characters, so any
// splitting or re-encoding on the way shows.
QString missingFile()
{
    return QDir::homePath() + QString::fromUtf8("/no such dir/Bild 1 ü.png");
}

} // namespace

void TestForceStart::initTestCase()
{
    m_scratch = testScratchDir(QStringLiteral("forcestart"));
    QVERIFY(QDir().mkpath(m_scratch + QStringLiteral("/bin")));
    m_copy = std::make_unique<ProgramCopy>(m_scratch + QStringLiteral("/bin"));
    QVERIFY(m_copy->isValid());
    QVERIFY(!QFileInfo::exists(missingFile()));
    QVERIFY(Desktop::moveMouse(QPoint(5, 5)));
}

void TestForceStart::cleanup()
{
    m_second.reset();
    m_first.reset();
    // the restarted instance is nobody's child here
    QVERIFY(m_copy->killAll());
}

std::unique_ptr<ProgramRun> TestForceStart::launch(const QStringList &arguments)
{
    auto run = std::make_unique<ProgramRun>(m_copy->program(), m_scratch + QStringLiteral("/run%1.log").arg(++m_runs));
    return run->start(arguments) ? std::move(run) : nullptr;
}

void TestForceStart::startCaptureRun()
{
    m_first = launch(QStringList());
    QVERIFY(m_first);
    m_overlay = Desktop::waitForWindowOf(m_first->pid());
    QVERIFY2(m_overlay, qPrintable(m_first->log()));
    QVERIFY(m_first->log().contains(QStringLiteral("Pixmap size:")));
}

// Waits for the force-start box of the second launch and clicks a button.
void TestForceStart::answerBox(const QPoint &button)
{
    const qulonglong box = Desktop::waitForWindowNamed(kBoxTitle);
    QVERIFY2(box, qPrintable(m_second->log()));
    QCOMPARE(Desktop::windowsOf(m_second->pid()), QList<qulonglong>{box});
    const QRect geometry = Desktop::windowGeometry(box);
    QCOMPARE(geometry.size(), kBoxSize);
    // centred on the primary screen
    QCOMPARE(geometry.center(), QGuiApplication::primaryScreen()->geometry().center());
    QVERIFY(Desktop::click(geometry.topLeft() + button));
}

void TestForceStart::leaveKeepsRunningInstance()
{
    startCaptureRun();
    if (QTest::currentTestFailed())
        return;

    m_second = launch({missingFile()});
    QVERIFY(m_second);
    answerBox(kLeave);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(m_second->waitForFinished(10000), qPrintable(m_second->log()));
    QCOMPARE(m_second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_second->exitCode(), 0);

    const QString log = m_second->log();
    QVERIFY2(log.contains(QStringLiteral("Already running!")), qPrintable(log));
    // the argument is not acted upon, nothing is stopped or started
    QVERIFY2(!log.contains(QStringLiteral("Uploading file")), qPrintable(log));
    QVERIFY2(!log.contains(QStringLiteral("Closing old running instance")), qPrintable(log));
    QVERIFY(Desktop::windowsNamed(kBoxTitle).isEmpty());
    QTest::qWait(500);
    QCOMPARE(m_copy->running(), QList<qint64>{m_first->pid()});

    // the first instance is untouched: its overlay still covers the screen
    // and answers the keyboard
    QVERIFY(m_first->isRunning());
    QCOMPARE(Desktop::windowsOf(m_first->pid()), QList<qulonglong>{m_overlay});
    QCOMPARE(Desktop::windowGeometry(m_overlay), QGuiApplication::primaryScreen()->geometry());
    QVERIFY(Desktop::keyInto(m_overlay, QStringLiteral("Escape")));
    QVERIFY2(m_first->waitForFinished(10000), qPrintable(m_first->log()));
    QCOMPARE(m_first->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_first->exitCode(), 0);
}

void TestForceStart::stopRestartsWithSameArguments()
{
    startCaptureRun();
    if (QTest::currentTestFailed())
        return;

    // only the first argument is looked at; the rest must travel all the same
    const QStringList arguments{missingFile(), QStringLiteral("second argument"), QString()};
    m_second = launch(arguments);
    QVERIFY(m_second);
    answerBox(kStop);
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(m_second->waitForFinished(10000), qPrintable(m_second->log()));
    QCOMPARE(m_second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_second->exitCode(), 0);
    const QString log = m_second->log();
    const int asked = log.indexOf(QStringLiteral("Already running!"));
    const int closing = log.indexOf(QStringLiteral("Closing old running instance"));
    const int restarting = log.indexOf(QStringLiteral("Restarting"));
    QVERIFY2(asked >= 0 && closing > asked && restarting > closing, qPrintable(log));

    // the old instance was ended from outside
    QVERIFY(m_first->waitForFinished(5000));
    QCOMPARE(m_first->exitStatus(), QProcess::CrashExit);

    // exactly one new instance, started with the same arguments
    QList<qint64> restarted;
    QVERIFY(waitUntil(
        [&] {
            restarted = m_copy->running();
            return !restarted.isEmpty();
        },
        5000));
    QCOMPARE(restarted.size(), 1);
    const QStringList commandLine = ProcessTable::commandLine(restarted.first());
    QVERIFY(!commandLine.isEmpty());
    QCOMPARE(QFileInfo(commandLine.first()).canonicalFilePath(), m_copy->program());
    QCOMPARE(commandLine.mid(1), arguments);

    // and it runs as the only instance: it takes the first argument as the
    // file to upload and reports it missing, rather than asking again
    const qulonglong errorBox = Desktop::waitForWindowOf(restarted.first());
    QVERIFY(errorBox);
    QVERIFY(Desktop::windowsNamed(kBoxTitle).isEmpty());
    QVERIFY2(m_second->waitForLog(QStringLiteral("Uploading file doesn't exists ") + missingFile()),
             qPrintable(m_second->log()));
    QVERIFY(ProcessTable::killAndWait(restarted));
}

QTEST_MAIN(TestForceStart)
#include "tst_forcestart.moc"
