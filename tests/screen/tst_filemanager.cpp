#include "fakefilemanager.h"
#include "platform/platform.h"
#include "testsupport.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QtTest>

#include <optional>

// Showing a file in the file manager over the private session bus, and the
// fall-back to opening its folder when the file manager fails or is missing.
class TestFileManager : public QObject
{
    Q_OBJECT

private slots:
    void showFileInFolder_data()
    {
        QTest::addColumn<int>("behaviour"); // -1: no file manager on the bus
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("absolute");

        const QString scratch = testScratchDir(QStringLiteral("filemanager"));
        QVERIFY(QDir::setCurrent(scratch));
        const QString odd = scratch + QString::fromUtf8("/My Captures #1 100% ü/Bild 1 日本.png");
        QTest::newRow("selected") << int(FakeFileManager::Answers) << odd << odd;
        QTest::newRow("relative path") << int(FakeFileManager::Answers) << QStringLiteral("sub dir/shot.png")
                                       << scratch + QStringLiteral("/sub dir/shot.png");
        QTest::newRow("error reply") << int(FakeFileManager::Fails) << odd << odd;
        QTest::newRow("no reply") << int(FakeFileManager::Hangs) << odd << odd;
        QTest::newRow("no file manager") << -1 << odd << odd;
    }

    void showFileInFolder()
    {
        QFETCH(int, behaviour);
        QFETCH(QString, path);
        QFETCH(QString, absolute);
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "needs the private session bus of with-display");
        std::optional<FakeFileManagerService> service;
        if (behaviour >= 0) {
            service.emplace(FakeFileManager::Behaviour(behaviour));
            QVERIFY(service->registered());
        } else if (QDBusConnection::sessionBus().interface()->activatableServiceNames().value().contains(
                       QStringLiteral("org.freedesktop.FileManager1"))) {
            QSKIP("a file manager on this machine can be started by the bus");
        }
        RecordingLauncher launcher;
        QElapsedTimer clock;
        clock.start();

        Platform::showFileInFolder(path);

        // well below the bus's own 25 s default, so the run is not held up
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(launcher.started.isEmpty());
        if (behaviour == FakeFileManager::Answers) {
            // percent-encoded, so a receiver that parses strictly gets the same file
            QCOMPARE(service->receivedUris().size(), 1);
            const QString received = service->receivedUris().first();
            const QUrl uri(received, QUrl::StrictMode);
            QVERIFY2(uri.isValid() && !received.contains(QLatin1Char(' ')), qPrintable(received));
            QCOMPARE(uri.toLocalFile(), absolute);
            QVERIFY(launcher.opened.isEmpty());
        } else {
            QCOMPARE(service ? service->receivedUris().size() : 1, 1);
            QCOMPARE(launcher.opened, QList<QUrl>{QUrl::fromLocalFile(QFileInfo(absolute).absolutePath())});
        }
    }
};

QTEST_MAIN(TestFileManager)
#include "tst_filemanager.moc"
