#include "platform/platform.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

namespace {
const QString kEntry = QStringLiteral("Snaplark");

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A stand-in for the tray program that leaves a mark next to itself when run.
QString makeProgram(const QString &folder)
{
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/snaplarkTray");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QString();
    file.write("#!/bin/sh\ntouch \"$0.ran\"\n");
    file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
    return path;
}
} // namespace

class TestAutostart : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void entryStartsProgram_data();
    void entryStartsProgram();
    void percentSignIsNotAFieldCode();
    void onAndOffAreIdempotent();
    void entrySwitchedOffBySessionTools_data();
    void entrySwitchedOffBySessionTools();
    void refusesNamesOutsideTheFolder_data();
    void refusesNamesOutsideTheFolder();

private:
    QString entryFile() const { return m_config + QStringLiteral("/autostart/Snaplark.desktop"); }

    QString m_scratch;
    QString m_config;
};

void TestAutostart::init()
{
    m_scratch = testScratchDir(QStringLiteral("autostart"));
    m_config = m_scratch + QStringLiteral("/config");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config));
}

void TestAutostart::entryStartsProgram_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("relative");

    QTest::newRow("plain") << QStringLiteral("bin") << false;
    QTest::newRow("spaces") << QStringLiteral("Program Files/Snap lark") << false;
    QTest::newRow("shell characters")
        << QStringLiteral("it's \"quoted\" $HOME `id` a\\\\b ;&|*?#()<>~ end") << false;
    QTest::newRow("unicode") << QString::fromUtf8("Schnappschüsse 日本") << false;
    QTest::newRow("tab and newline") << QStringLiteral("a\tb\nc") << false;
    QTest::newRow("relative path") << QStringLiteral("rel dir") << true;
}

// The entry is checked by the consumer that matters: a desktop that reads it
// and starts the program it names.
void TestAutostart::entryStartsProgram()
{
    QFETCH(QString, folder);
    QFETCH(bool, relative);
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty())
        QSKIP("gio (libglib2.0-bin) is not installed");

    const QString program = makeProgram(m_scratch + QLatin1Char('/') + folder);
    QVERIFY(!program.isEmpty());
    QVERIFY(QDir::setCurrent(m_scratch));
    const QString given = relative ? QDir(m_scratch).relativeFilePath(program) : program;

    QVERIFY(Platform::setStartWithSession(kEntry, given, true));
    QVERIFY(Platform::isStartWithSessionEnabled(kEntry));

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

// Desktop tools that parse field codes would swallow a single '%'.
void TestAutostart::percentSignIsNotAFieldCode()
{
    const QString folder = m_scratch + QStringLiteral("/100% done");
    QVERIFY(Platform::setStartWithSession(kEntry, folder + QStringLiteral("/snaplarkTray"), true));
    const QList<QByteArray> lines = readFile(entryFile()).split('\n');
    const QByteArray expected = "Exec=\"" + QFile::encodeName(m_scratch) + "/100%% done/snaplarkTray\"";
    QVERIFY2(lines.contains(expected), readFile(entryFile()).constData());
}

void TestAutostart::onAndOffAreIdempotent()
{
    const QString program = m_scratch + QStringLiteral("/bin/snaplarkTray");
    QVERIFY(!Platform::isStartWithSessionEnabled(kEntry));
    QVERIFY(Platform::setStartWithSession(kEntry, program, false));

    QVERIFY(Platform::setStartWithSession(kEntry, program, true));
    const QByteArray first = readFile(entryFile());
    QVERIFY(first.startsWith("[Desktop Entry]\n"));
    for (const char *line : {"Type=Application", "Name=Snaplark", "X-GNOME-Autostart-enabled=true"})
        QVERIFY2(first.split('\n').contains(line), line);
    QVERIFY(Platform::setStartWithSession(kEntry, program, true));
    QCOMPARE(readFile(entryFile()), first);
    QCOMPARE(QDir(m_config + QStringLiteral("/autostart")).entryList(QDir::Files), QStringList{"Snaplark.desktop"});

    QVERIFY(Platform::setStartWithSession(kEntry, program, false));
    QVERIFY(!QFile::exists(entryFile()));
    QVERIFY(!Platform::isStartWithSessionEnabled(kEntry));
    QVERIFY(Platform::setStartWithSession(kEntry, program, false));
}

void TestAutostart::entrySwitchedOffBySessionTools_data()
{
    QTest::addColumn<QByteArray>("from");
    QTest::addColumn<QByteArray>("to");

    QTest::newRow("GNOME switch") << QByteArray("X-GNOME-Autostart-enabled=true")
                                  << QByteArray("X-GNOME-Autostart-enabled=false");
    QTest::newRow("hidden") << QByteArray("Type=Application") << QByteArray("Type=Application\nHidden=true");
}

void TestAutostart::entrySwitchedOffBySessionTools()
{
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    const QString program = m_scratch + QStringLiteral("/bin/snaplarkTray");
    QVERIFY(Platform::setStartWithSession(kEntry, program, true));
    QFile file(entryFile());
    QVERIFY(file.open(QIODevice::ReadWrite));
    const QByteArray edited = file.readAll().replace(from, to);
    QVERIFY(file.resize(0));
    file.write(edited);
    file.close();

    QVERIFY(!Platform::isStartWithSessionEnabled(kEntry));
    // Switching on again from the program wins over the edit.
    QVERIFY(Platform::setStartWithSession(kEntry, program, true));
    QVERIFY(Platform::isStartWithSessionEnabled(kEntry));
}

void TestAutostart::refusesNamesOutsideTheFolder_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("empty") << QString();
    QTest::newRow("parent folder") << QStringLiteral("../escaped");
}

void TestAutostart::refusesNamesOutsideTheFolder()
{
    QFETCH(QString, name);
    QVERIFY(!Platform::setStartWithSession(name, QStringLiteral("/opt/snaplark/snaplarkTray"), true));
    QVERIFY(!Platform::isStartWithSessionEnabled(name));
    QVERIFY(!QFile::exists(m_config + QStringLiteral("/escaped.desktop")));
    QVERIFY(!QFile::exists(m_config + QStringLiteral("/autostart/.desktop")));
}

QTEST_GUILESS_MAIN(TestAutostart)
#include "tst_autostart.moc"
