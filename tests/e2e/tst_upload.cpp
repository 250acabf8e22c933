// Uploads by the real program against the test service, from the command line
// and from a capture run, answered with the mouse and keys in its real windows.
#include "desktopdriver.h"
#include "fakefilemanager.h"
#include "processdriver.h"
#include "settings/settings.h"
#include "standinopener.h"
#include "testservice.h"
#include "testsupport.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSettings>
#include <QtTest>

using Reply = TestService::Reply;

class TestUpload : public QObject
{
    Q_OBJECT

    QString m_scratch;
    std::unique_ptr<ProgramCopy> m_copy;
    std::unique_ptr<StandinOpener> m_opener;
    std::unique_ptr<TestService> m_service;
    std::unique_ptr<ProgramRun> m_run;
    QProcessEnvironment m_environment;

    QString makeFile(const QString &name, int size)
    {
        QFile file(m_scratch + QLatin1Char('/') + name);
        return file.open(QIODevice::WriteOnly) && file.write(QByteArray(size, '\x5a')) == size ? file.fileName() : QString();
    }
    bool start(const QString &path)
    {
        m_run = m_copy->newRun(m_environment);
        return m_run->start(path.isEmpty() ? QStringList() : QStringList{path}); // none: a capture run
    }
    QString openedRecord() const { return m_opener->opened(); }

private slots:
    void initTestCase()
    {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "needs the private session bus of with-display");
        m_scratch = testScratchDir(QStringLiteral("upload"));
        m_copy = std::make_unique<ProgramCopy>(m_scratch + QStringLiteral("/bin"));
        QVERIFY(m_copy->isValid());

        // The desktop's default handler, first on the path.
        m_opener = std::make_unique<StandinOpener>(m_scratch);
        QVERIFY(m_opener->isValid());
        m_environment = m_opener->environment();
    }
    void init()
    {
        QSettings(QStringLiteral("Snaplark"), QStringLiteral("Snaplark")).clear();
        Settings::setAuthId(QStringLiteral("e2e-token"));
        m_opener->forget();
        m_service = std::make_unique<TestService>();
        m_environment.insert(QStringLiteral("SNAPLARK_SERVICE_URL"), QString::fromLatin1(m_service->serviceUrl()));
    }
    void cleanup()
    {
        m_run.reset();
        // a clipboard keeper left behind by a run
        QVERIFY(m_copy->killAll());
        m_service.reset();
    }

    void videoWhileLoggedInIsPostedAndOpened()
    {
        Settings::setSaveLocal(false);
        const QString path = makeFile(QStringLiteral("clip.mp4"), 300000);
        m_service->enqueue(Reply::fileName("v1.mp4#watch"));

        QVERIFY(start(path));
        QVERIFY2(m_run->waitForFinished(20000), qPrintable(m_run->log()));
        QCOMPARE(m_run->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_run->exitCode(), 0);
        QCOMPARE(m_service->requestCount(), 1);
        const TestService::Request request = m_service->requests().first();
        QCOMPARE(request.target, QByteArray("/api/upload"));
        QCOMPARE(request.header("Cookie"), QByteArray("snaplark-auth-id=e2e-token"));
        QVERIFY(request.body.contains("Content-Disposition: form-data; name=\"file\"; filename=\"clip.mp4\"\r\n"
                                        "Content-Type: video/mp4\r\n\r\n"));
        QVERIFY(request.bodySize > 300000);

        // the user's file stays; the page opens with its fragment, and its
        // address outlives the run on the clipboard
        QCOMPARE(QFileInfo(path).size(), qint64(300000));
        const QString page = m_service->baseUrl().toString() + QStringLiteral("v1.mp4");
        QVERIFY(waitUntil([&] { return !openedRecord().isEmpty(); }, 5000));
        QCOMPARE(openedRecord(), page + QStringLiteral("#watch\n"));
        QCOMPARE(QString::fromUtf8(Desktop::clipboard()), page);
    }

    // In a capture run, dismissing the login reminder by Escape or through the window manager only answers
    // it: the upload goes out and the run ends after the reply, with the page on the clipboard.
    void dismissedReminderStillUploads_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::newRow("Escape") << QStringLiteral("Escape");
        QTest::newRow("window manager's close") << QStringLiteral("alt+F4");
    }
    void dismissedReminderStillUploads()
    {
        QFETCH(QString, keys);
        Settings::setAuthId(QString());
        Settings::setDefAction(Settings::ActionUpload);
        QDir(Desktop::capturesFolder()).removeRecursively();
        m_service->enqueue(Reply::fileName("r1.png"));

        QVERIFY(start(QString()));
        QVERIFY2(Desktop::waitForOverlay(m_run->pid()), qPrintable(m_run->log()));
        QVERIFY(Desktop::drag(QPoint(100, 120), QPoint(300, 260)));
        const qulonglong box = Desktop::waitForWindowNamed(QStringLiteral("Snaplark Login Exception"));
        QVERIFY2(box, qPrintable(m_run->log()));
        QVERIFY(Desktop::keyInto(box, keys));
        QVERIFY2(m_run->waitForFinished(20000), qPrintable(m_run->log()));
        QCOMPARE(m_run->exitCode(), 0);
        QCOMPARE(m_service->completeCount(), 1);
        QCOMPARE(QImage(Desktop::capturesFolder() + QStringLiteral("/r1.png")).size(), QSize(200, 140));
        const QString page = m_service->baseUrl().toString() + QStringLiteral("r1.png");
        QVERIFY(waitUntil([&] { return !openedRecord().isEmpty(); }, 5000));
        QCOMPARE(openedRecord(), page + QLatin1Char('\n'));
        QCOMPARE(QString::fromUtf8(Desktop::clipboard()), page);
    }

    void failureThenSaveShowsTheFile()
    {
        FakeFileManagerService fileManager;
        QVERIFY(fileManager.registered());
        m_service->setFallback(Reply::httpError(500));
        const QString path = makeFile(QStringLiteral("shot.png"), 20000);

        QVERIFY(start(path));
        const qulonglong box = Desktop::waitForWindowNamed(QStringLiteral("Snaplark Upload Exception"));
        QVERIFY2(box, qPrintable(m_run->log()));
        // the middle of the Save button
        QVERIFY(Desktop::click(Desktop::windowGeometry(box).topLeft() + QPoint(365, 105)));
        QVERIFY2(m_run->waitForFinished(10000), qPrintable(m_run->log()));
        QCOMPARE(m_run->exitCode(), 0);
        QCOMPARE(fileManager.receivedUris(), QStringList{QUrl::fromLocalFile(path).toString()});
        QCOMPARE(QFileInfo(path).size(), qint64(20000));
        QVERIFY(openedRecord().isEmpty());
    }

    void escapeDuringProgressCancelsAfterAsking()
    {
        const QString question = QStringLiteral("Snaplark 1.24");
        m_service->enqueue(Reply::fileName("never.png").slow(64 * 1024));
        const QString path = makeFile(QStringLiteral("slow.png"), 8 * 1024 * 1024);

        QVERIFY(start(path));
        const qulonglong progress = Desktop::waitForWindowNamed(QStringLiteral("Snaplark Uploading Progress"));
        QVERIFY2(progress, qPrintable(m_run->log()));
        QCOMPARE(Desktop::windowGeometry(progress).size(), QSize(360, 150));

        // No: the upload goes on
        QVERIFY(Desktop::keyInto(progress, QStringLiteral("Escape")));
        qulonglong box = Desktop::waitForWindowNamed(question);
        QVERIFY2(box, qPrintable(m_run->log()));
        QVERIFY(Desktop::keyInto(box, QStringLiteral("Escape")));
        QVERIFY(waitUntil([&] { return Desktop::windowsNamed(question).isEmpty(); }, 5000));
        QVERIFY(!m_run->waitForFinished(500));

        // Yes (the default): the run ends, the file stays
        QVERIFY(Desktop::keyInto(progress, QStringLiteral("Escape")));
        box = Desktop::waitForWindowNamed(question);
        QVERIFY(box);
        QVERIFY(Desktop::keyInto(box, QStringLiteral("Return")));
        QVERIFY2(m_run->waitForFinished(10000), qPrintable(m_run->log()));
        QCOMPARE(m_run->exitCode(), 0);
        QCOMPARE(QFileInfo(path).size(), qint64(8 * 1024 * 1024));
        QVERIFY(openedRecord().isEmpty());
        QCOMPARE(m_service->completeCount(), 0);
    }
};

QTEST_MAIN(TestUpload)
#include "tst_upload.moc"
