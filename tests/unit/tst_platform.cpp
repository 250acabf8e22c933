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
        for (const char *name : {"http_proxy", "https_proxy", "all_proxy", "no_proxy", "HTTP_PROXY", "HTTPS_PROXY",
                                 "ALL_PROXY", "NO_PROXY"})
            qunsetenv(name);
        QNetworkProxyFactory::setUseSystemConfiguration(false);
        for (const QString &assignment : variables) {
            const int equals = assignment.indexOf(QLatin1Char('='));
            qputenv(assignment.left(equals).toLatin1().constData(), assignment.mid(equals + 1).toLatin1());
        }

        QCOMPARE(Platform::systemProxyEnabled(), enabled);
        Platform::applySystemProxyIfEnabled();
        QCOMPARE(QNetworkProxyFactory::usesSystemConfiguration(), enabled);
    }

    void showFileWithoutSessionBusOpensFolder()
    {
        // A bus address that leads nowhere: the file manager service is
        // unreachable and no real desktop is ever asked to open anything.
        const QString scratch = testScratchDir(QStringLiteral("platform"));
        qputenv("DBUS_SESSION_BUS_ADDRESS", QFile::encodeName(QStringLiteral("unix:path=%1/no-bus").arg(scratch)));
        QVERIFY(QDir::setCurrent(scratch));
        RecordingLauncher launcher;

        // a relative path, with characters a URL must escape
        Platform::showFileInFolder(QString::fromUtf8("My Captures #1 日本/Bild 1 ü.png"));

        QCOMPARE(launcher.opened, QList<QUrl>{QUrl::fromLocalFile(scratch + QString::fromUtf8("/My Captures #1 日本"))});
        QVERIFY(launcher.started.isEmpty());
    }
};

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
