// "snaplark /config" on a real display, driven through the X tools: what the
// user picks is stored, the tray program follows its box, and the next
// capture run does what was picked.
#include "desktopdriver.h"
#include "processdriver.h"
#include "settings/settings.h"
#include "settingsdialog/wndsettings.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QtTest>

#include <memory>

using namespace Desktop;

namespace {

QString autostartEntry()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart/Snaplark.desktop");
}

bool pressKeys(const QStringList &keys)
{
    QTest::qWait(300); // the popup opens
    return !tool(QStringLiteral("xdotool"), QStringList{QStringLiteral("key"), QStringLiteral("--delay"),
                                                        QStringLiteral("100")} + keys).isNull();
}

} // namespace

class TestSettingsRun : public QObject
{
    Q_OBJECT

    QString m_scratch;
    std::unique_ptr<ProgramCopy> m_copy;
    // Where each widget sits in the dialog: the same form, laid out by the
    // test on the same display.
    QMap<QString, QPoint> m_spots;
    int m_runs = 0;

    std::unique_ptr<ProgramRun> run(const QStringList &arguments)
    {
        auto program = std::make_unique<ProgramRun>(m_copy->program(),
                                                    m_scratch + QStringLiteral("/run%1.log").arg(++m_runs));
        return program->start(arguments) ? std::move(program) : nullptr;
    }

    // Clicks the named widget of the program's settings window, which the
    // window manager frames: its inside's corner as the server has it.
    bool clickIn(qulonglong window, const QString &name)
    {
        const QByteArray info = tool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), QString::number(window)});
        const QRegularExpression corner(QStringLiteral("Absolute upper-left X:\\s*(-?\\d+)\\s*Absolute upper-left Y:\\s*(-?\\d+)"));
        const QRegularExpressionMatch match = corner.match(QString::fromLatin1(info));
        if (!match.hasMatch() || !m_spots.contains(name))
            return false;
        return click(QPoint(match.captured(1).toInt(), match.captured(2).toInt()) + m_spots.value(name));
    }

private slots:
    void initTestCase()
    {
        m_scratch = testScratchDir("settingsrun");
        QVERIFY(QDir().mkpath(m_scratch + "/bin"));
        m_copy = std::make_unique<ProgramCopy>(m_scratch + "/bin");
        QVERIFY(m_copy->isValid());
        // A tray program beside the copy that only says it was started.
        QFile tray(m_scratch + "/bin/snaplarkTray");
        QVERIFY(tray.open(QIODevice::WriteOnly));
        tray.write("#!/bin/sh\necho started >> '" + QFile::encodeName(m_scratch) + "/tray.log'\n");
        tray.close();
        QVERIFY(tray.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));

        WndSettings form;
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (const char *name : {"cbAction", "cbClipboard", "cbEnableTray", "btnOk"}) {
            auto *widget = form.findChild<QWidget *>(QLatin1String(name));
            QVERIFY(widget);
            m_spots.insert(QLatin1String(name), widget->mapTo(&form, widget->rect().center()));
        }
        QVERIFY(moveMouse(QPoint(5, 5)));
    }

    void init()
    {
        QSettings("Snaplark", "Snaplark").clear();
        QFile::remove(autostartEntry());
        QFile::remove(m_scratch + "/tray.log");
        QDir(capturesFolder()).removeRecursively();
    }

    void pickedActionIsStoredAndUsed()
    {
        std::unique_ptr<ProgramRun> settings = run({QStringLiteral("/config")});
        QVERIFY(settings);
        const qulonglong window = waitForWindowNamed(QStringLiteral("SnaplarkSettings"));
        QVERIFY(window);
        QTest::qWait(300);
        QVERIFY(clickIn(window, "cbAction"));
        QVERIFY(pressKeys({"End", "Return"})); // "Save only"
        QVERIFY(clickIn(window, "cbClipboard"));
        QVERIFY(pressKeys({"Down", "Return"})); // "Bitmap (for images only)", after the path
        QVERIFY(clickIn(window, "btnOk"));
        QVERIFY(settings->waitForFinished());
        QCOMPARE(settings->exitStatus(), QProcess::NormalExit);
        QCOMPARE(settings->exitCode(), 0);
        QCOMPARE(Settings::defAction(), int(Settings::ActionSaveOnly));
        QCOMPARE(Settings::defClipboard(), int(Settings::ClipboardBitmap));

        // The next capture saves only, and puts the picture on the clipboard.
        std::unique_ptr<ProgramRun> capture = run({});
        QVERIFY(capture);
        const qulonglong overlay = waitForWindowOf(capture->pid());
        QVERIFY(overlay);
        QVERIFY(capture->waitForLog(QStringLiteral("Pixmap size:"), 10000));
        QVERIFY(drag(QPoint(100, 120), QPoint(400, 320)));
        QVERIFY(capture->waitForFinished());
        QCOMPARE(capture->exitCode(), 0);
        const QStringList files = QDir(capturesFolder()).entryList({QStringLiteral("*.png")}, QDir::Files);
        QCOMPARE(files.size(), 1);
        QImage copied;
        QVERIFY(copied.loadFromData(clipboard(QStringLiteral("image/png")), "PNG"));
        QCOMPARE(copied.size(), QSize(300, 200));
    }

    // Tray on: the tray program is started and starts with the session, by
    // an entry the desktop accepts.  Tray off: the entry is gone.
    void trayFollowsItsBox()
    {
        std::unique_ptr<ProgramRun> on = run({QStringLiteral("/config")});
        QVERIFY(on);
        qulonglong window = waitForWindowNamed(QStringLiteral("SnaplarkSettings"));
        QVERIFY(window);
        QTest::qWait(300);
        QVERIFY(clickIn(window, "btnOk")); // the tray is on by default
        QVERIFY(on->waitForFinished());
        QCOMPARE(on->exitCode(), 0);
        QVERIFY(QFile::exists(autostartEntry()));
        QProcess validate;
        validate.start(QStringLiteral("desktop-file-validate"), {autostartEntry()});
        QVERIFY(validate.waitForFinished());
        const QByteArray complaints = validate.readAll();
        QVERIFY2(validate.exitCode() == 0 && complaints.isEmpty(), complaints.constData());
        QVERIFY(waitUntil([&] { return QFile::exists(m_scratch + "/tray.log"); }, 5000));

        std::unique_ptr<ProgramRun> off = run({QStringLiteral("/config")});
        QVERIFY(off);
        QVERIFY(waitUntil([&] { return windowsNamed(QStringLiteral("SnaplarkSettings")).size() == 1; }, 15000));
        window = windowsNamed(QStringLiteral("SnaplarkSettings")).first();
        QTest::qWait(300);
        QVERIFY(clickIn(window, "cbEnableTray"));
        QVERIFY(clickIn(window, "btnOk"));
        QVERIFY(off->waitForFinished());
        QCOMPARE(off->exitCode(), 0);
        QVERIFY(!QFile::exists(autostartEntry()));
        QCOMPARE(Settings::trayEnabled(), false);
    }
};

QTEST_MAIN(TestSettingsRun)
#include "tst_settingsrun.moc"
