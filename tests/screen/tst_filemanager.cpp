#include "fakefilemanager.h"
#include "platform/platform.h"
#include "testsupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QtTest>

namespace {
const QString kService = QStringLiteral("org.freedesktop.FileManager1");
} // namespace

class TestFileManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void serviceSelectsFile_data();
    void serviceSelectsFile();
    void failingServiceFallsBackToFolder_data();
    void failingServiceFallsBackToFolder();
    void missingServiceFallsBackToFolder();

private:
    QString m_scratch;
};

void TestFileManager::initTestCase()
{
    QVERIFY2(QDBusConnection::sessionBus().isConnected(), "needs the private session bus of with-display");
    m_scratch = testScratchDir(QStringLiteral("filemanager"));
    QVERIFY(QDir::setCurrent(m_scratch));
}

void TestFileManager::serviceSelectsFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("absolute");

    const QString plain = m_scratch + QStringLiteral("/shot.png");
    QTest::newRow("plain") << plain << plain;
    const QString odd = m_scratch + QString::fromUtf8("/My Captures #1 100% ü/Bild 1 日本.png");
    QTest::newRow("spaces and unicode") << odd << odd;
    QTest::newRow("relative") << QStringLiteral("sub dir/shot.png") << m_scratch + QStringLiteral("/sub dir/shot.png");
}

void TestFileManager::serviceSelectsFile()
{
    QFETCH(QString, path);
    QFETCH(QString, absolute);
    FakeFileManagerService service(FakeFileManager::Answers);
    QVERIFY(service.registered());
    RecordingLauncher launcher;

    Platform::showFileInFolder(path);

    const QStringList uris = service.receivedUris();
    QCOMPARE(uris.size(), 1);
    // Percent-encoded, so a receiver that parses strictly gets the same file.
    QVERIFY2(!uris.first().contains(QLatin1Char(' ')), qPrintable(uris.first()));
    const QUrl uri(uris.first(), QUrl::StrictMode);
    QVERIFY(uri.isValid());
    QCOMPARE(uri.scheme(), QStringLiteral("file"));
    QCOMPARE(uri.toLocalFile(), absolute);
    QVERIFY(launcher.opened.isEmpty());
    QVERIFY(launcher.started.isEmpty());
}

void TestFileManager::failingServiceFallsBackToFolder_data()
{
    QTest::addColumn<int>("behaviour");
    QTest::newRow("error reply") << int(FakeFileManager::Fails);
    QTest::newRow("no reply") << int(FakeFileManager::Hangs);
}

void TestFileManager::failingServiceFallsBackToFolder()
{
    QFETCH(int, behaviour);
    FakeFileManagerService service{FakeFileManager::Behaviour(behaviour)};
    QVERIFY(service.registered());
    RecordingLauncher launcher;
    const QString folder = m_scratch + QString::fromUtf8("/Captures ü");
    QElapsedTimer clock;
    clock.start();

    Platform::showFileInFolder(folder + QStringLiteral("/shot.png"));

    // Well below the bus's own 25 s default, so the run is not held up.
    QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(service.receivedUris().size(), 1);
    QCOMPARE(launcher.opened, QList<QUrl>{QUrl::fromLocalFile(folder)});
}

void TestFileManager::missingServiceFallsBackToFolder()
{
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    QVERIFY(!bus->isServiceRegistered(kService));
    if (bus->activatableServiceNames().value().contains(kService))
        QSKIP("a file manager on this machine can be started by the bus");
    RecordingLauncher launcher;
    QElapsedTimer clock;
    clock.start();

    Platform::showFileInFolder(m_scratch + QStringLiteral("/a b/shot.png"));

    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(launcher.opened, QList<QUrl>{QUrl::fromLocalFile(m_scratch + QStringLiteral("/a b"))});
}

QTEST_MAIN(TestFileManager)
#include "tst_filemanager.moc"
