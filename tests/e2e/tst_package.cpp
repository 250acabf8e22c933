#include "desktopdriver.h"
#include "processdriver.h"
#include "testsupport.h"

#include <QDir>
#include <QImage>
#include <QtTest>

// The Debian package made from the build tree, unpacked into a folder: the
// program starts a capture from there with its own extension libraries, and
// the package and its desktop files pass Debian's and freedesktop's checks.
namespace {

struct Result
{
    int code = -1;
    QString output;
};

Result run(const QString &program, const QStringList &arguments, int timeoutMs = 180000)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Result result;
    if (!process.waitForStarted() || !process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.output = QString::fromLocal8Bit(process.readAll());
    result.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return result;
}

} // namespace

class TestPackage : public QObject
{
    Q_OBJECT

    QString m_scratch;
    QString m_package;
    QString m_root;

private slots:
    void initTestCase()
    {
        m_scratch = testScratchDir("package");
        QDir(m_scratch).removeRecursively();
        QVERIFY(QDir().mkpath(m_scratch + "/out"));
        // the build tree as it is: cpack installs it without building anything
        const Result made = run("cpack", {"-G", "DEB", "-B", m_scratch + "/out", "--config",
                                          SNAPLARK_BUILD_DIR "/CPackConfig.cmake"});
        QVERIFY2(made.code == 0, qPrintable(made.output));
        const QStringList debs = QDir(m_scratch + "/out").entryList({"*.deb"}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        m_package = m_scratch + "/out/" + debs[0];
        m_root = m_scratch + "/root";
        QCOMPARE(run("dpkg-deb", {"-x", m_package, m_root}).code, 0);
    }

    // Runtime packages only, the tools it starts among them.
    void dependsOnRuntimePackages()
    {
        const Result depends = run("dpkg-deb", {"--field", m_package, "Depends"});
        QCOMPARE(depends.code, 0);
        const QStringList packages = depends.output.simplified().split(", ");
        for (const char *wanted : {"ffmpeg", "xdg-utils", "libqt5widgets5", "libqt5webkit5", "libgif7"})
            QVERIFY2(std::any_of(packages.begin(), packages.end(), [&](const QString &p) { return p.startsWith(wanted); }),
                     qPrintable(QString(wanted) + " missing from " + depends.output));
        for (const QString &package : packages)
            QVERIFY2(!package.contains("-dev") && !package.startsWith("cmake") && !package.startsWith("build-essential"),
                     qPrintable(package));
    }

    void treeHoldsProgramsAndIcons()
    {
        for (const char *program : {"snaplark", "snaplarkTray", "snaplark-clipboard-keeper"})
            QVERIFY2(QFileInfo(m_root + "/usr/lib/snaplark/" + program).isExecutable(), program);
        // the extension libraries beside the program, where it loads them from
        for (const char *library : {"libExtension.so", "libWin7Extension.so", "libsnaplarkcore.so"})
            QVERIFY2(QFileInfo::exists(m_root + "/usr/lib/snaplark/" + library), library);
        for (const char *link : {"usr/bin/snaplark", "usr/bin/snaplarkTray"}) {
            const QFileInfo info(m_root + "/" + link);
            // relative, so the tree works wherever it is unpacked
            QVERIFY2(info.isSymLink() && run("readlink", {info.filePath()}).output.startsWith("../"), link);
            QVERIFY2(info.canonicalFilePath().startsWith(QFileInfo(m_root).canonicalFilePath() + "/usr/lib/snaplark/"),
                     link);
        }
        for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
            const QImage icon(m_root + QString("/usr/share/icons/hicolor/%1x%1/apps/snaplark.png").arg(size));
            QCOMPARE(icon.size(), QSize(size, size));
            QVERIFY(icon.pixelColor(size / 2, size / 2).alpha() > 0); // something is drawn
        }
        const QImage scalable(m_root + "/usr/share/icons/hicolor/scalable/apps/snaplark.svg");
        QVERIFY(!scalable.isNull());
    }

    // From the unpacked tree through its link in bin/, as a menu starts it.
    void programRunsFromTree()
    {
        ProgramRun program(m_root + "/usr/bin/snaplark", m_scratch + "/run.log");
        QVERIFY(program.start());
        auto stop = qScopeGuard([&] { program.waitForFinished(5000); });
        const qulonglong overlay = Desktop::waitForWindowOf(program.pid());
        QVERIFY(overlay && program.waitForLog("Pixmap size: 1280x800"));
        QFile maps(QString("/proc/%1/maps").arg(program.pid()));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        const QString mapped = QString::fromLocal8Bit(maps.readAll());
        const QString folder = QFileInfo(m_root + "/usr/lib/snaplark").canonicalFilePath();
        QVERIFY2(mapped.contains(folder + "/libExtension.so") && mapped.contains(folder + "/libsnaplarkcore.so"),
                 qPrintable(mapped));
        QVERIFY(waitUntil([&] { return Desktop::windowGeometry(overlay) == Desktop::screenRect(); }, 5000));
        QVERIFY(Desktop::keyInto(overlay, "Escape"));
        QVERIFY(program.waitForFinished(10000));
        QCOMPARE(program.exitCode(), 0);
    }

    void validators()
    {
        const Result desktop = run("desktop-file-validate", {m_root + "/usr/share/applications/snaplark.desktop"});
        QVERIFY2(desktop.code == 0 && desktop.output.trimmed().isEmpty(), qPrintable(desktop.output));
        const Result metainfo = run("appstreamcli", {"validate", "--no-net",
                                                     m_root + "/usr/share/metainfo/org.snaplark.Snaplark.metainfo.xml"});
        QVERIFY2(metainfo.code == 0, qPrintable(metainfo.output));
        const Result lintian = run("lintian", {"--no-cfg", m_package});
        const QStringList errors = lintian.output.split('\n').filter(QRegularExpression("^E: "));
        QVERIFY2(errors.isEmpty(), qPrintable(lintian.output));
    }
};

QTEST_MAIN(TestPackage)
#include "tst_package.moc"
