// "snaplark /config" on a real display, driven through the X tools: what the
// user picks is stored, the tray program follows its box, and the next
// capture run does what was picked.
#include "desktopdriver.h"
#include "formspots.h"
#include "processdriver.h"
#include "settings/settings.h"
#include "settingsdialog/wndsettings.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

#include <memory>

using namespace Desktop;

class TestSettingsRun : public QObject
{
    Q_OBJECT

    QString m_scratch;
    std::unique_ptr<ProgramCopy> m_copy;
    FormSpots m_spots;

    std::unique_ptr<ProgramRun> run(const QStringList &arguments)
    {
        auto program = m_copy->newRun();
        return program->start(arguments) ? std::move(program) : nullptr;
    }

private slots:
    void initTestCase()
    {
        m_scratch = testScratchDir("settingsrun");
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
        QVERIFY(m_spots.record(&form, {"cbAction", "cbClipboard", "cbEnableTray", "btnOk"}));
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
        QVERIFY(m_spots.choose(window, "cbAction", {"End", "Return"})); // "Save only"
        // "Bitmap (for images only)", after the path
        QVERIFY(m_spots.choose(window, "cbClipboard", {"Down", "Return"}));
        QVERIFY(m_spots.click(window, "btnOk"));
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
        QVERIFY(m_spots.click(window, "btnOk")); // the tray is on by default
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
        QVERIFY(m_spots.click(window, "cbEnableTray"));
        QVERIFY(m_spots.click(window, "btnOk"));
        QVERIFY(off->waitForFinished());
        QCOMPARE(off->exitCode(), 0);
        QVERIFY(!QFile::exists(autostartEntry()));
        QCOMPARE(Settings::trayEnabled(), false);
    }
};

QTEST_MAIN(TestSettingsRun)
#include "tst_settingsrun.moc"
