#include "platform/platform.h"
#include "testsupport.h"

#include <QDir>
#include <QNetworkProxyFactory>
#include <QtTest>

namespace {
const char *const kProxyVariables[] = {"http_proxy", "https_proxy", "all_proxy", "no_proxy",
                                       "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY", "NO_PROXY"};
}

class TestPlatform : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void systemProxyFollowsEnvironment_data();
    void systemProxyFollowsEnvironment();

    void showFileWithoutSessionBusOpensFolder_data();
    void showFileWithoutSessionBusOpensFolder();

private:
    QString m_scratch;
};

void TestPlatform::initTestCase()
{
    m_scratch = testScratchDir(QStringLiteral("platform"));
    // A bus address that leads nowhere: the file manager service is unreachable
    // and no real desktop is ever asked to open anything.
    qputenv("DBUS_SESSION_BUS_ADDRESS", QFile::encodeName(QStringLiteral("unix:path=%1/no-bus").arg(m_scratch)));
}

void TestPlatform::init()
{
    for (const char *name : kProxyVariables)
        qunsetenv(name);
    QNetworkProxyFactory::setUseSystemConfiguration(false);
}

void TestPlatform::systemProxyFollowsEnvironment_data()
{
    QTest::addColumn<QStringList>("variables");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("nothing set") << QStringList() << false;
    QTest::newRow("http_proxy") << QStringList{"http_proxy=http://proxy:3128"} << true;
    QTest::newRow("https_proxy") << QStringList{"https_proxy=http://proxy:3128"} << true;
    QTest::newRow("all_proxy") << QStringList{"all_proxy=socks5://proxy:1080"} << true;
    QTest::newRow("HTTP_PROXY") << QStringList{"HTTP_PROXY=http://proxy:3128"} << true;
    QTest::newRow("HTTPS_PROXY") << QStringList{"HTTPS_PROXY=http://proxy:3128"} << true;
    QTest::newRow("ALL_PROXY") << QStringList{"ALL_PROXY=socks5://proxy:1080"} << true;
    QTest::newRow("set but empty") << QStringList{"http_proxy=", "HTTPS_PROXY="} << false;
    QTest::newRow("blanks only") << QStringList{"all_proxy=  "} << false;
    QTest::newRow("exceptions only") << QStringList{"no_proxy=localhost", "NO_PROXY=*"} << false;
    QTest::newRow("empty lower, set upper") << QStringList{"http_proxy=", "HTTP_PROXY=http://proxy:8080"}
                                            << true;
}

void TestPlatform::systemProxyFollowsEnvironment()
{
    QFETCH(QStringList, variables);
    QFETCH(bool, enabled);
    for (const QString &assignment : variables) {
        const int equals = assignment.indexOf(QLatin1Char('='));
        qputenv(assignment.left(equals).toLatin1().constData(), assignment.mid(equals + 1).toLatin1());
    }

    QCOMPARE(Platform::systemProxyEnabled(), enabled);
    Platform::applySystemProxyIfEnabled();
    QCOMPARE(QNetworkProxyFactory::usesSystemConfiguration(), enabled);
}

void TestPlatform::showFileWithoutSessionBusOpensFolder_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("folder");

    QTest::newRow("plain") << m_scratch + "/shot.png" << m_scratch;
    const QString odd = m_scratch + QString::fromUtf8("/My Captures #1 Schnappschüsse 日本");
    QTest::newRow("spaces and unicode") << odd + QString::fromUtf8("/Bild 1 ü.png") << odd;
    QTest::newRow("relative") << QStringLiteral("sub dir/shot.png") << m_scratch + "/sub dir";
}

void TestPlatform::showFileWithoutSessionBusOpensFolder()
{
    QFETCH(QString, path);
    QFETCH(QString, folder);
    QVERIFY(QDir::setCurrent(m_scratch));
    RecordingLauncher launcher;

    Platform::showFileInFolder(path);

    QCOMPARE(launcher.opened, QList<QUrl>{QUrl::fromLocalFile(folder)});
    QVERIFY(launcher.started.isEmpty());
}

QTEST_MAIN(TestPlatform)
#include "tst_platform.moc"
