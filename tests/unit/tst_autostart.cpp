// Starting the tray program with the session: the XDG autostart entry.
#include "platform/platform.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

class TestAutostart : public QObject
{
    Q_OBJECT

    QString m_scratch;
    QFile m_file;

private slots:
    void init()
    {
        m_scratch = testScratchDir(QStringLiteral("autostart"));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_scratch + "/config"));
        m_file.setFileName(m_scratch + "/config/autostart/Snaplark.desktop");
    }

    void entryStartsProgram_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("relative");
        QTest::newRow("shell characters") << "it's \"quoted\" $HOME `id` a\\\\b ;&|*?#()<>~\ta\nend" << false;
        QTest::newRow("relative path") << "rel dir" << true;
    }
    // Checked by the consumer that matters: a desktop (gio) starts the stand-in the entry names.
    void entryStartsProgram()
    {
        QFETCH(QString, folder);
        QFETCH(bool, relative);
        const QString program = m_scratch + '/' + folder + "/snaplarkTray";
        QFile script(program);
        QVERIFY(QDir().mkpath(m_scratch + '/' + folder) && script.open(QIODevice::WriteOnly));
        QVERIFY(script.write("#!/bin/sh\ntouch \"$0.ran\"\n") && script.setPermissions(script.permissions() | QFile::ExeOwner));
        script.close();
        QVERIFY(QDir::setCurrent(m_scratch));
        QVERIFY(Platform::setStartWithSession("Snaplark", relative ? QDir(m_scratch).relativeFilePath(program) : program, true));
        QVERIFY(QDir::setCurrent(QDir::rootPath())); // the entry must not depend on where it is started
        QCOMPARE(QProcess::execute(QStringLiteral("gio"), {QStringLiteral("launch"), m_file.fileName()}), 0);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(program + ".ran"), 10000);
    }

    void onOffAndSwitchedOffBySessionTools()
    {
        QVERIFY(!Platform::setStartWithSession("../escaped", "/opt/snaplark/snaplarkTray", true)); // stays in its folder
        QVERIFY(!QFile::exists(m_scratch + "/config/escaped.desktop"));
        QVERIFY(!Platform::isStartWithSessionEnabled("Snaplark"));
        const QString program = m_scratch + "/100% done/snaplarkTray";
        for (const bool on : {false, true, true})
            QVERIFY(Platform::setStartWithSession("Snaplark", program, on));
        QVERIFY(Platform::isStartWithSessionEnabled("Snaplark"));
        QVERIFY(m_file.open(QIODevice::ReadOnly));
        const QByteArray contents = m_file.readAll();
        m_file.close();
        // a single '%' would be swallowed as a field code (gio cannot judge: it does not undo the doubling)
        QVERIFY(contents.contains("\nExec=\"" + QFile::encodeName(m_scratch) + "/100%% done/snaplarkTray\"\n"));
        // a session tool that hides the entry switches it off; switching on again wins over the edit
        QVERIFY(m_file.open(QIODevice::WriteOnly));
        m_file.write(QByteArray(contents).replace("Type=Application", "Type=Application\nHidden=true"));
        m_file.close();
        QVERIFY(!Platform::isStartWithSessionEnabled("Snaplark"));
        QVERIFY(Platform::setStartWithSession("Snaplark", program, true) && Platform::isStartWithSessionEnabled("Snaplark"));
        QVERIFY(Platform::setStartWithSession("Snaplark", program, false));
        QVERIFY(!m_file.exists() && !Platform::isStartWithSessionEnabled("Snaplark"));
    }
};

QTEST_GUILESS_MAIN(TestAutostart)
#include "tst_autostart.moc"
