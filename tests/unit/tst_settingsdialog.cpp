// The settings dialog as the user meets it: the real form, offscreen, over a
// throw-away store.
#include "platform/platform.h"
#include "settings/settings.h"
#include "settingsdialog/settingslogic.h"
#include "settingsdialog/traysetting.h"
#include "settingsdialog/wndsettings.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTabWidget>
#include <QUrlQuery>
#include <QtTest>

namespace {

void setStored(const char *key, const QVariant &value)
{
    QSettings("Snaplark", "Snaplark").setValue(QLatin1String(key), value);
}

QVariant stored(const char *key)
{
    return QSettings("Snaplark", "Snaplark").value(QLatin1String(key));
}

QStringList items(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i)
        texts << box->itemText(i);
    return texts;
}

template <typename T>
T *child(const QWidget &dialog, const char *name)
{
    T *found = dialog.findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no %s in the dialog", name);
    return found;
}

// The dialog shown (so it loads) and ready to be clicked.
struct OpenDialog
{
    OpenDialog()
    {
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    }
    ~OpenDialog() { dialog.hide(); }
    template <typename T>
    T *operator()(const char *name) const { return child<T>(dialog, name); }

    WndSettings dialog;
};

} // namespace

class TestSettingsDialog : public QObject
{
    Q_OBJECT

    RunObserver *m_run = nullptr;
    RecordingLauncher *m_launcher = nullptr;

private slots:
    void init()
    {
        QSettings("Snaplark", "Snaplark").clear();
        QCoreApplication::setApplicationName(QStringLiteral("Snaplark"));
        QFile::remove(autostartEntry());
        m_run = new RunObserver;
        m_launcher = new RecordingLauncher;
    }
    void cleanup()
    {
        delete m_launcher;
        delete m_run;
    }

    void keyTable()
    {
        const auto &table = SettingsLogic::hotkeyTable();
        QCOMPARE(table.size(), 77);
        QSet<int> codes;
        for (const auto &key : table)
            codes.insert(key.code);
        QCOMPARE(codes.size(), 77); // a code listed twice could never be chosen by its second name
        QCOMPARE(table.at(SettingsLogic::hotkeyIndex(44)).name, QStringLiteral("PrntScrn")); // the store's default
        QCOMPARE(table.last().name, QStringLiteral("Right"));
    }

    // What each clipboard combo offers, on load, for its action.
    void clipboardLists_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<int>("directLink");
        QTest::addColumn<bool>("saveLocal");
        QTest::addColumn<QStringList>("offered");
        const QStringList noUpload{"Local file path", "Bitmap (for images only)", "None"};
        QTest::newRow("viewer") << 2 << 0 << true << noUpload;
        QTest::newRow("save only") << 3 << 1 << false << noUpload;
        QTest::newRow("editor, plain") << 0 << 0 << false
                                       << QStringList{"Web page url", "Code for embed on site", "Code for embed on forum",
                                                      "Bitmap (for images only)", "None"};
        QTest::newRow("upload, direct link, local copy")
            << 1 << 1 << true
            << QStringList{"Web page url", "Image/video direct url", "Code for embed on site", "Code for embed on forum",
                           "Local file path", "Bitmap (for images only)", "None"};
    }
    void clipboardLists()
    {
        QFETCH(int, action);
        QFETCH(int, directLink);
        QFETCH(bool, saveLocal);
        QFETCH(QStringList, offered);
        setStored("DefAction", action);
        setStored("AltAction", action);
        setStored("AllowDirectLink", directLink);
        Settings::setSaveLocal(saveLocal);
        OpenDialog open;
        QCOMPARE(items(open.operator()<QComboBox>("cbClipboard")), offered);
        QCOMPARE(items(open.operator()<QComboBox>("cbAltClipboard")), offered);
    }

    // Ticking the local copy adds the path before the bitmap and keeps the
    // chosen form; changing the action keeps it where it is still offered.
    void clipboardFollowsTheChoices()
    {
        Settings::setSaveLocal(false);
        Settings::setDefAction(0);
        Settings::setDefClipboard(Settings::ClipboardNone);
        Settings::setAltAction(1);
        Settings::setAltClipboard(Settings::ClipboardEmbedForum);
        OpenDialog open;
        auto *clipboard = open.operator()<QComboBox>("cbClipboard");
        auto *altClipboard = open.operator()<QComboBox>("cbAltClipboard");
        QCOMPARE(clipboard->currentText(), QStringLiteral("None"));
        QTest::mouseClick(open.operator()<QCheckBox>("cbSaveLocal"), Qt::LeftButton);
        QCOMPARE(items(clipboard).at(3), QStringLiteral("Local file path"));
        QCOMPARE(items(clipboard).at(4), QStringLiteral("Bitmap (for images only)"));
        QCOMPARE(clipboard->currentText(), QStringLiteral("None"));
        QCOMPARE(altClipboard->currentText(), QStringLiteral("Code for embed on forum"));

        open.operator()<QComboBox>("cbAction")->setCurrentIndex(Settings::ActionSaveOnly);
        QCOMPARE(clipboard->currentText(), QStringLiteral("None"));
        open.operator()<QComboBox>("cbAltAction")->setCurrentIndex(Settings::ActionSaveOnly);
        QCOMPARE(altClipboard->currentText(), QStringLiteral("Local file path")); // the forum code is gone
        QTest::mouseClick(open.operator()<QPushButton>("btnOk"), Qt::LeftButton);
        QCOMPARE(QVariantList({stored("DefAction"), stored("DefClipboard"), stored("AltAction"), stored("AltClipboard"),
                               stored("SaveLocal")}),
                 QVariantList({3, 6, 3, 2, 1}));
    }

    // A stored form the action does not offer shows the first one, and OK
    // stores what was shown.
    void storedClipboardNotOffered()
    {
        Settings::setDefAction(Settings::ActionSaveOnly);
        Settings::setDefClipboard(Settings::ClipboardWebPageUrl);
        OpenDialog open;
        QCOMPARE(open.operator()<QComboBox>("cbClipboard")->currentText(), QStringLiteral("Local file path"));
        QTest::mouseClick(open.operator()<QPushButton>("btnOk"), Qt::LeftButton);
        QCOMPARE(Settings::defClipboard(), int(Settings::ClipboardLocalPath));
    }

    void hotkeyModifiers_data()
    {
        QTest::addColumn<int>("attr");
        QTest::addColumn<QList<bool>>("ctrlAltShiftWin");
        QTest::newRow("none") << 0 << QList<bool>{false, false, false, false};
        QTest::newRow("Ctrl+Win") << 5 << QList<bool>{true, false, false, true};
        QTest::newRow("Alt+Shift") << 10 << QList<bool>{false, true, true, false};
        QTest::newRow("all") << 15 << QList<bool>{true, true, true, true};
    }
    // Stored bits tick the boxes, and the ticked boxes store the same bits.
    void hotkeyModifiers()
    {
        QFETCH(int, attr);
        QFETCH(QList<bool>, ctrlAltShiftWin);
        Settings::setHotkeyAttr(attr);
        {
            OpenDialog open;
            const QList<bool> shown{open.operator()<QCheckBox>("cbTrayCtrl")->isChecked(),
                                    open.operator()<QCheckBox>("cbTrayAlt")->isChecked(),
                                    open.operator()<QCheckBox>("cbTrayShift")->isChecked(),
                                    open.operator()<QCheckBox>("cbTrayWin")->isChecked()};
            QCOMPARE(shown, ctrlAltShiftWin);
        }
        Settings::setHotkeyAttr(0);
        OpenDialog open;
        const char *const boxes[] = {"cbTrayCtrl", "cbTrayAlt", "cbTrayShift", "cbTrayWin"};
        for (int i = 0; i < 4; ++i)
            open.operator()<QCheckBox>(boxes[i])->setChecked(ctrlAltShiftWin.at(i));
        QTest::mouseClick(open.operator()<QPushButton>("btnOk"), Qt::LeftButton);
        QCOMPARE(Settings::hotkeyAttr(), attr);
    }

    void hotkeyKey()
    {
        {
            OpenDialog open;
            auto *keys = open.operator()<QComboBox>("cmbTrayHotkey");
            QCOMPARE(keys->currentText(), QStringLiteral("PrntScrn"));
            keys->setCurrentIndex(keys->findText(QStringLiteral("F9")));
            QTest::mouseClick(open.operator()<QPushButton>("btnOk"), Qt::LeftButton);
            QCOMPARE(Settings::hotkeyKey(), 0x78);
        }
        // A code the table does not know: no key is shown, and OK keeps the code.
        Settings::setHotkeyKey(0xA5);
        OpenDialog open;
        QCOMPARE(open.operator()<QComboBox>("cmbTrayHotkey")->currentIndex(), -1);
        QTest::mouseClick(open.operator()<QPushButton>("btnOk"), Qt::LeftButton);
        QCOMPARE(Settings::hotkeyKey(), 0xA5);
    }

    // With the tray off only the floating button is disabled at first; the
    // tray box then switches the hotkey row and the floating button together.
    void trayBoxEnablesItsRow()
    {
        Settings::setTrayEnabled(false);
        OpenDialog open;
        auto *tray = open.operator()<QCheckBox>("cbEnableTray");
        auto *hotkey = open.operator()<QFrame>("frmHotkey");
        auto *floating = open.operator()<QCheckBox>("cbEnableFLB");
        QVERIFY(!floating->isEnabled());
        QVERIFY(hotkey->isEnabled());
        QTest::mouseClick(tray, Qt::LeftButton);
        QVERIFY(floating->isEnabled() && hotkey->isEnabled());
        QTest::mouseClick(tray, Qt::LeftButton);
        QVERIFY(!floating->isEnabled() && !hotkey->isEnabled());
    }

    // Every show reads the store afresh; closing saves nothing and the run goes on.
    void loadsOnEveryShowAndCloseKeepsTheStore()
    {
        WndSettings dialog;
        dialog.show();
        QCOMPARE(child<QComboBox>(dialog, "cbAction")->currentIndex(), 0);
        child<QComboBox>(dialog, "cbAction")->setCurrentIndex(2);
        QTest::keyClick(&dialog, Qt::Key_Escape);
        QVERIFY(!dialog.isVisible());
        QCOMPARE(Settings::defAction(), 0);
        QVERIFY(m_run->endCodes.isEmpty());
        Settings::setDefAction(Settings::ActionUpload);
        dialog.show();
        QCOMPARE(child<QComboBox>(dialog, "cbAction")->currentText(), QStringLiteral("Upload and open in web browser"));
        QCOMPARE(dialog.windowTitle(), QStringLiteral("SnaplarkSettings"));
    }

    void logOutAndLoginState()
    {
        Settings::setAuthId(QStringLiteral("token"));
        Settings::setUsername(QStringLiteral("<b>Ann</b>"));
        OpenDialog open;
        auto *state = open.operator()<QLabel>("lblLogin");
        auto *button = open.operator()<QPushButton>("btnLogIn");
        QCOMPARE(state->text(), QStringLiteral("You are logged in as <b>Ann</b>"));
        QCOMPARE(state->textFormat(), Qt::PlainText); // the service's name is never markup
        QVERIFY(button->isChecked());
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(Settings::authId(), QString());
        QCOMPARE(Settings::username(), QStringLiteral("Log in"));
        QCOMPARE(state->text(), QStringLiteral("Not logged in. Please log in to upload files."));
        QVERIFY(!button->isChecked());
    }

    // OK in the capture program restarts the tray program and sets its start
    // with the session; a companion program leaves that alone and ends
    // itself when its tray is switched off.
    void okAppliesTheTray_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<bool>("tray");
        QTest::addColumn<bool>("entry");
        QTest::addColumn<QList<int>>("endCodes");
        QTest::newRow("main, tray on") << "Snaplark" << true << true << QList<int>{};
        QTest::newRow("main, tray off") << "Snaplark" << false << false << QList<int>{};
        QTest::newRow("companion, tray on") << "snaplarkTray" << true << false << QList<int>{};
        QTest::newRow("companion, tray off") << "snaplarkTray" << false << false << QList<int>{0};
        QTest::newRow("executable's own name") << "snaplark" << false << false << QList<int>{0};
    }
    void okAppliesTheTray()
    {
        QFETCH(QString, program);
        QFETCH(bool, tray);
        QFETCH(bool, entry);
        QFETCH(QList<int>, endCodes);
        QVERIFY(Platform::setStartWithSession(QStringLiteral("Snaplark"), QStringLiteral("/old/snaplarkTray"), !tray));
        QCoreApplication::setApplicationName(program);
        Settings::setTrayEnabled(!tray);
        OpenDialog open;
        QSignalSpy floating(&open.dialog, &WndSettings::setFLBVisible);
        if (open.operator()<QCheckBox>("cbEnableTray")->isChecked() != tray)
            QTest::mouseClick(open.operator()<QCheckBox>("cbEnableTray"), Qt::LeftButton);
        QTest::mouseClick(open.operator()<QPushButton>("btnOk"), Qt::LeftButton);
        QCOMPARE(Settings::trayEnabled(), tray);
        QCOMPARE(floating.size(), 1);
        QCOMPARE(m_run->endCodes, endCodes);
        QVERIFY(!open.dialog.isVisible());
        const bool main = program == QLatin1String("Snaplark");
        if (main) {
            QCOMPARE(QFileInfo::exists(autostartEntry()), entry);
            if (entry) {
                QFile file(autostartEntry());
                QVERIFY(file.open(QIODevice::ReadOnly));
                QVERIFY(file.readAll().contains("Exec=\"" + QFile::encodeName(TraySetting::trayProgramPath()) + "\"\n"));
            }
        } else {
            // untouched: still as it was before the dialog
            QCOMPARE(QFileInfo::exists(autostartEntry()), !tray);
        }
        // The test runner has no tray program beside it: nothing is started.
        QVERIFY(m_launcher->started.isEmpty());
    }

    void links_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("campaign");
        QTest::addColumn<QList<int>>("endCodes");
        QTest::newRow("main") << "Snaplark" << "snaplark" << QList<int>{0};
        QTest::newRow("companion") << "snaplarkTray" << "tray" << QList<int>{};
    }
    // Both links save first; the main program's run ends after them, a
    // companion's dialog closes.
    void links()
    {
        QFETCH(QString, program);
        QFETCH(QString, campaign);
        QFETCH(QList<int>, endCodes);
        QCoreApplication::setApplicationName(program);
        OpenDialog open;
        open.operator()<QComboBox>("cbAction")->setCurrentIndex(Settings::ActionSaveOnly);
        QMetaObject::invokeMethod(open.operator()<QLabel>("lbMySnaplarks"), "linkActivated", Q_ARG(QString, "1"));
        QCOMPARE(Settings::defAction(), int(Settings::ActionSaveOnly));
        QCOMPARE(m_launcher->opened.size(), 1);
        const QUrl page = m_launcher->opened.first();
        QCOMPARE(page.path(), QStringLiteral("/my-snaplarks"));
        QCOMPARE(QUrlQuery(page).queryItemValue(QStringLiteral("utm_campaign")), campaign);
        QCOMPARE(QUrlQuery(page).queryItemValue(QStringLiteral("utm_medium")), QStringLiteral("preferences"));
        QCOMPARE(m_run->endCodes, endCodes);
        QCOMPARE(open.dialog.isVisible(), !endCodes.isEmpty());

        open.dialog.show();
        QMetaObject::invokeMethod(open.operator()<QLabel>("lbLocalCapturedFolder"), "linkActivated",
                                  Q_ARG(QString, "1"));
        QCOMPARE(m_launcher->opened.size(), 2);
        QVERIFY(m_launcher->opened.last().isLocalFile());
        QVERIFY(m_launcher->opened.last().toLocalFile().endsWith(QStringLiteral("/Snaplark Captures")));
    }
};

QTEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
