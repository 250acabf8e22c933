#include "platform/platform.h"
#include "testsupport.h"

#include <QDir>
#include <QNetworkProxyFactory>
#include <QtTest>

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void systemProxyFollowsEnvironment_data()
    {
        QTest::addColumn<QStringList>("variables");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("nothing set") << QStringList() << false;
        QTest::newRow("http_proxy") << QStringList{"http_proxy=http://proxy:3128"} << true;
        QTest::newRow("ALL_PROXY") << QStringList{"ALL_PROXY=socks5://proxy:1080"} << true;
        QTest::newRow("set but empty or blank") << QStringList{"http_proxy=", "all_proxy=  "} << false;
        QTest::newRow("exceptions only") << QStringList{"no_proxy=localhost", "NO_PROXY=*"} << false;
        QTest::newRow("empty lower, set upper") << QStringList{"http_proxy=", "HTTP_PROXY=http://proxy:8080"} << true;
    }
    void systemProxyFollowsEnvironment()
    {
        QFETCH(QStringList, variables);
        QFETCH(bool, enabled);
        for (const QByteArray &name : QByteArrayList{"http_proxy", "https_proxy", "all_proxy", "no_proxy"}) {
            qunsetenv(name);
            qunsetenv(name.toUpper());
        }
        QNetworkProxyFactory::setUseSystemConfiguration(false);
        for (const QString &assignment : variables)
            qputenv(assignment.section('=', 0, 0).toLatin1(), assignment.section('=', 1).toLatin1());
        QCOMPARE(Platform::systemProxyEnabled(), enabled);
        Platform::applySystemProxyIfEnabled();
        QCOMPARE(QNetworkProxyFactory::usesSystemConfiguration(), enabled);
    }

    void showFileWithoutSessionBusOpensFolder()
    {
        // A bus that leads nowhere: no file manager, and no real desktop is ever asked to open anything.
        const QString scratch = testScratchDir(QStringLiteral("platform"));
        qputenv("DBUS_SESSION_BUS_ADDRESS", QFile::encodeName(QStringLiteral("unix:path=%1/no-bus").arg(scratch)));
        QVERIFY(QDir::setCurrent(scratch));
        RecordingLauncher launcher;
        Platform::showFileInFolder(QString::fromUtf8("My Captures #1 日本/Bild 1 ü.png")); // relative, URL-escaped
        QCOMPARE(launcher.opened, QList<QUrl>{QUrl::fromLocalFile(scratch + QString::fromUtf8("/My Captures #1 日本"))});
        QVERIFY(launcher.started.isEmpty());
    }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
