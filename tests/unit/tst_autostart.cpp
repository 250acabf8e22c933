// Starting the tray program with the session: the XDG autostart entry.
#include "platform/platform.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

class TestAutostart : public QObject
{
    Q_OBJECT

    const QString m_entry = QStringLiteral("Snaplark");
    QString m_scratch;
    QString m_config;
    QString entryFile() const { return m_config + QStringLiteral("/autostart/Snaplark.desktop"); }

    QByteArray entryContents() const
    {
        QFile file(entryFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void init()
    {
        m_scratch = testScratchDir(QStringLiteral("autostart"));
        m_config = m_scratch + QStringLiteral("/config");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config));
    }

    void entryStartsProgram_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("relative");
        QTest::newRow("shell characters, tab and newline")
            << QStringLiteral("it's \"quoted\" $HOME `id` a\\\\b ;&|*?#()<>~\ta\nend") << false;
        QTest::newRow("relative path") << QStringLiteral("rel dir") << true;
    }
    // The entry is checked by the consumer that matters: a desktop that reads
    // it and starts the program it names (a stand-in that leaves a mark).
    void entryStartsProgram()
    {
        QFETCH(QString, folder);
        QFETCH(bool, relative);
        const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
        if (gio.isEmpty())
            QSKIP("gio (libglib2.0-bin) is not installed");
        QVERIFY(QDir().mkpath(m_scratch + QLatin1Char('/') + folder));
        const QString program = m_scratch + QLatin1Char('/') + folder + QStringLiteral("/snaplarkTray");
        QFile file(program);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\ntouch \"$0.ran\"\n");
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        file.close();
        QVERIFY(QDir::setCurrent(m_scratch));

        QVERIFY(Platform::setStartWithSession(m_entry, relative ? QDir(m_scratch).relativeFilePath(program) : program, true));
        QProcess launch;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent"));
        launch.setProcessEnvironment(env);
        launch.setWorkingDirectory(QDir::rootPath());
        launch.start(gio, {QStringLiteral("launch"), entryFile()});
        QVERIFY(launch.waitForFinished(10000));
        QVERIFY2(launch.exitCode() == 0, launch.readAllStandardError().constData());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(program + QStringLiteral(".ran")), 10000);
    }

    // Desktop tools that parse field codes would swallow a single '%'.  (gio
    // looks for the program without undoing the doubling, so it cannot judge.)
    void percentSignIsNotAFieldCode()
    {
        QVERIFY(Platform::setStartWithSession(m_entry, m_scratch + QStringLiteral("/100% done/snaplarkTray"), true));
        QVERIFY2(entryContents().split('\n').contains("Exec=\"" + QFile::encodeName(m_scratch) + "/100%% done/snaplarkTray\""),
                 entryContents().constData());
    }

    void onOffAndSwitchedOffBySessionTools()
    {
        const QString program = m_scratch + QStringLiteral("/bin/snaplarkTray");
        QVERIFY(!Platform::isStartWithSessionEnabled(m_entry));
        QVERIFY(Platform::setStartWithSession(m_entry, program, false));
        QVERIFY(Platform::setStartWithSession(m_entry, program, true));
        QVERIFY(Platform::setStartWithSession(m_entry, program, true));
        QVERIFY(Platform::isStartWithSessionEnabled(m_entry));

        // a session tool that hides the entry switches it off; switching on
        // again from the program wins over the edit
        const QByteArray hidden = entryContents().replace("Type=Application", "Type=Application\nHidden=true");
        QFile file(entryFile());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(hidden);
        file.close();
        QVERIFY(!Platform::isStartWithSessionEnabled(m_entry));
        QVERIFY(Platform::setStartWithSession(m_entry, program, true));
        QVERIFY(Platform::isStartWithSessionEnabled(m_entry));

        for (int round = 0; round < 2; ++round) {
            QVERIFY(Platform::setStartWithSession(m_entry, program, false));
            QVERIFY(!QFile::exists(entryFile()));
            QVERIFY(!Platform::isStartWithSessionEnabled(m_entry));
        }
    }

    void refusesNamesOutsideTheFolder()
    {
        QVERIFY(!Platform::setStartWithSession(QStringLiteral("../escaped"), QStringLiteral("/opt/snaplark/snaplarkTray"), true));
        QVERIFY(!QFile::exists(m_config + QStringLiteral("/escaped.desktop")));
    }
};

QTEST_GUILESS_MAIN(TestAutostart)
#include "tst_autostart.moc"
