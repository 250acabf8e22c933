// What `make run` does once the build is done (scripts/run-capture): start
// the local service when nothing listens on its address, reuse it on the
// next run, and point the program at it, so that an upload succeeds.
#include "processdriver.h"
#include "serverprocess.h"
#include "settings/settings.h"
#include "standinopener.h"
#include "testsupport.h"

#include <QDir>
#include <QHostAddress>
#include <QImage>
#include <QTcpServer>
#include <QtTest>

#include <csignal>

class TestMakeRun : public QObject
{
    Q_OBJECT

    QString m_scratch, m_data;
    qint64 m_serverPid = 0;

    QString readText(const QString &path) const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
    }

private slots:
    void cleanup()
    {
        // the server started by the script, even when the test failed before reading its id
        if (m_serverPid == 0)
            m_serverPid = readText(m_data + QStringLiteral("/server.pid")).toLongLong();
        if (m_serverPid > 0)
            ::kill(pid_t(m_serverPid), SIGTERM);
        waitUntil([&] { return !QFile::exists(QStringLiteral("/proc/%1").arg(m_serverPid)); }, 5000);
    }

    void startsTheServiceOnceAndUploads()
    {
        m_scratch = testScratchDir(QStringLiteral("makerun"));
        m_data = m_scratch + QStringLiteral("/share/snaplark-server");
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close();

        const StandinOpener opener(m_scratch);
        QVERIFY(opener.isValid());
        QProcessEnvironment environment = opener.environment();
        environment.remove(QStringLiteral("SNAPLARK_SERVICE_URL"));
        environment.insert(QStringLiteral("SNAPLARK_LOCAL_SERVICE"), QStringLiteral("127.0.0.1:%1").arg(port));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_scratch + QStringLiteral("/share"));
        // no login reminder before the upload
        Settings::setLastRequest(QDateTime::currentDateTime().toString(Qt::ISODate));
        const QString shot = m_scratch + QStringLiteral("/shot.png");
        QVERIFY(QImage(32, 24, QImage::Format_RGB32).save(shot));

        QStringList pages;
        for (int run = 0; run < 2; ++run) {
            QProcess capture;
            capture.setProcessEnvironment(environment);
            capture.setProcessChannelMode(QProcess::MergedChannels);
            capture.start(QStringLiteral(SNAPLARK_SOURCE_DIR "/scripts/run-capture"),
                          QStringList{QStringLiteral(SNAPLARK_BUILD_DIR), shot});
            QVERIFY(capture.waitForFinished(30000));
            const QString output = QString::fromUtf8(capture.readAll());
            QVERIFY2(capture.exitCode() == 0, qPrintable(output));
            QCOMPARE(output.contains(QStringLiteral("snaplark-server started")), run == 0);
            if (run == 0)
                m_serverPid = readText(m_data + QStringLiteral("/server.pid")).toLongLong();
            QVERIFY(m_serverPid > 0 && QFile::exists(QStringLiteral("/proc/%1").arg(m_serverPid)));
            const auto opened = [&] { return opener.opened().trimmed(); };
            QVERIFY2(waitUntil([&] { return opened().split(QLatin1Char('\n')).size() == run + 1 && !opened().isEmpty(); }, 5000), qPrintable(output));
            pages = opened().split(QLatin1Char('\n'));
        }
        // one server, which served both uploads
        QCOMPARE(readText(m_data + QStringLiteral("/server.log")).count(QStringLiteral("listening on")), 1);
        QCOMPARE(pages.size(), 2);
        for (const QString &page : pages) {
            QVERIFY2(page.startsWith(QStringLiteral("http://127.0.0.1:%1/").arg(port)), qPrintable(page));
            const QByteArray id = page.section(QLatin1Char('/'), -1).section(QLatin1Char('.'), 0, 0).toLatin1();
            QFile original(shot);
            QVERIFY(original.open(QIODevice::ReadOnly));
            QCOMPARE(Http::get(port, "/" + id + ".png").body, original.readAll());
        }
    }
};

QTEST_MAIN(TestMakeRun)
#include "tst_makerun.moc"
