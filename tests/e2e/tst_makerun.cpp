// What `make run` does once the build is done (scripts/run-capture): start
// the local service when nothing listens on its address, reuse it on the
// next run, and point the program at it, so that an upload succeeds.
#include "processdriver.h"
#include "serverprocess.h"
#include "settings/settings.h"
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

    QString m_scratch, m_data, m_record;
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
        m_record = m_scratch + QStringLiteral("/opened.txt");
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 port = probe.serverPort();
        probe.close();

        const QString standins = m_scratch + QStringLiteral("/standin");
        QVERIFY(QDir().mkpath(standins));
        QFile opener(standins + QStringLiteral("/xdg-open"));
        QVERIFY(opener.open(QIODevice::WriteOnly));
        opener.write("#!/bin/sh\nprintf '%s\\n' \"$@\" >> '" + QFile::encodeName(m_record) + "'\n");
        QVERIFY(opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        opener.close();

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("SNAPLARK_SERVICE_URL"));
        environment.insert(QStringLiteral("SNAPLARK_LOCAL_SERVICE"), QStringLiteral("127.0.0.1:%1").arg(port));
        environment.insert(QStringLiteral("XDG_DATA_HOME"), m_scratch + QStringLiteral("/share"));
        environment.insert(QStringLiteral("PATH"), standins + QLatin1Char(':') + environment.value(QStringLiteral("PATH")));
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
            QVERIFY2(waitUntil([&] { return readText(m_record).split(QLatin1Char('\n')).size() == run + 1 && !readText(m_record).isEmpty(); }, 5000), qPrintable(output));
            pages = readText(m_record).split(QLatin1Char('\n'));
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
