#include "hotkeybinding.h"
#include "hotkeytracker.h"
#include "testsupport.h"
#include "trayactions.h"

#include <QDir>
#include <QtTest>

// after Qt: the X headers define names Qt uses
#include "virtualkeys.h"
#include <X11/Xlib.h>
#include <X11/keysym.h>

// The stored hotkey as the X server grabs it, the decision made from raw key
// events, and what the tray's actions start.
namespace {

// The settings dialog's key table: every code it can store.
QVector<int> dialogKeyCodes()
{
    QVector<int> codes;
    for (int c = 0x41; c <= 0x5A; ++c)
        codes << c;
    for (int c = 0x30; c <= 0x39; ++c)
        codes << c;
    for (int c = 0x70; c <= 0x7B; ++c)
        codes << c;
    codes << 0xBB << 0xBC << 0xBD << 0xBE << 0xBF << 0xBA << 0xDB << 0xDD << 0xDC << 0xDE << 0xC0 << 0x1B << 0x0D
          << 0x09 << 0x14 << 0x2C << 0x91 << 0x90 << 0x13 << 0x2D << 0x2E << 0x24 << 0x23 << 0x21 << 0x22 << 0x26
          << 0x28 << 0x25 << 0x27;
    return codes;
}

// Key codes of the rows below: 50 Shift, 37 Control, 64 Alt, 77 Num Lock, 107 Print, 38 "a".
constexpr unsigned kShiftKey = 50, kCtrlKey = 37, kAltKey = 64, kPrintKey = 107;

} // namespace

Q_DECLARE_METATYPE(ModifierMasks)

class TestTrayHotkey : public QObject
{
    Q_OBJECT

private slots:
    void binding_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("attributes");
        QTest::addColumn<ModifierMasks>("masks");
        QTest::addColumn<qulonglong>("keysym");
        QTest::addColumn<unsigned>("modifiers");

        const ModifierMasks usual;
        ModifierMasks moved; // Alt and Super on other modifiers than usual
        moved.alt = Mod5Mask;
        moved.super = Mod3Mask;
        QTest::newRow("store default: Print Screen") << 44 << 0 << usual << qulonglong(XK_Print) << 0u;
        QTest::newRow("letter, unshifted") << 0x41 << 4 << usual << qulonglong(XK_a) << unsigned(ControlMask);
        QTest::newRow("digit") << 0x39 << 2 << usual << qulonglong(XK_9) << unsigned(ShiftMask);
        QTest::newRow("F12, all four") << 0x7B << 15 << usual << qulonglong(XK_F12)
                                       << unsigned(ShiftMask | ControlMask | Mod1Mask | Mod4Mask);
        QTest::newRow("plus is the equals key") << 0xBB << 8 << usual << qulonglong(XK_equal) << unsigned(Mod1Mask);
        QTest::newRow("tilde is the grave key") << 0xC0 << 0 << usual << qulonglong(XK_grave) << 0u;
        QTest::newRow("Alt and Win where the map puts them")
            << 0x50 << 9 << moved << qulonglong(XK_p) << unsigned(Mod5Mask | Mod3Mask);
        QTest::newRow("code without a key") << 0x07 << 4 << usual << qulonglong(NoSymbol) << unsigned(ControlMask);
        QTest::newRow("damaged store: negative") << -0xBF << 0 << usual << qulonglong(NoSymbol) << 0u;
    }
    void binding()
    {
        QFETCH(int, key);
        QFETCH(int, attributes);
        QFETCH(ModifierMasks, masks);
        QFETCH(qulonglong, keysym);
        QFETCH(unsigned, modifiers);
        const HotkeyBinding binding = Hotkey::binding(key, attributes, masks);
        QCOMPARE(qulonglong(binding.keysym), keysym);
        QCOMPARE(binding.modifiers, modifiers);
        QCOMPARE(binding.isValid(), keysym != NoSymbol);
    }

    // Every key the settings dialog offers can be grabbed, and the hooks read
    // it back as the same code (lock keys excepted: the hooks leave them out).
    void everyDialogKeyRoundTrips()
    {
        const QVector<int> codes = dialogKeyCodes();
        QCOMPARE(codes.size(), 77);
        for (int code : codes) {
            const KeySym keysym = snaplark_keysym_of_virtual_key(unsigned(code));
            QVERIFY2(keysym != NoSymbol, qPrintable(QString::number(code, 16)));
            const bool lock = keysym == XK_Caps_Lock || keysym == XK_Num_Lock || keysym == XK_Scroll_Lock;
            QCOMPARE(virtual_key_of(keysym), lock ? 0u : unsigned(code));
        }
        QCOMPARE(Hotkey::describe(0x2C, 12), QStringLiteral("Ctrl+Alt+Print"));
        QCOMPARE(Hotkey::describe(0x07, 1), QStringLiteral("Win+key code 7"));
    }

    void lockVariants_data()
    {
        QTest::addColumn<unsigned>("modifiers");
        QTest::addColumn<unsigned>("scrollLock");
        QTest::addColumn<unsigned>("numLock");
        QTest::addColumn<int>("count");
        QTest::newRow("Caps and Num Lock") << unsigned(ControlMask) << 0u << unsigned(Mod2Mask) << 4;
        QTest::newRow("Scroll Lock on a modifier too") << 0u << unsigned(Mod5Mask) << unsigned(Mod2Mask) << 8;
        QTest::newRow("Num Lock on the hotkey's own modifier") << unsigned(Mod2Mask) << 0u << unsigned(Mod2Mask) << 2;
        QTest::newRow("Scroll and Num Lock on one modifier") << 0u << unsigned(Mod2Mask) << unsigned(Mod2Mask) << 4;
    }
    void lockVariants()
    {
        QFETCH(unsigned, modifiers);
        QFETCH(unsigned, scrollLock);
        QFETCH(unsigned, numLock);
        QFETCH(int, count);
        ModifierMasks masks;
        masks.numLock = numLock;
        masks.scrollLock = scrollLock;
        const QVector<unsigned> variants = Hotkey::lockVariants(modifiers, masks);
        QCOMPARE(variants.size(), count);
        const unsigned locks = LockMask | numLock | scrollLock;
        for (unsigned variant : variants) {
            QCOMPARE(variant & ~locks, modifiers & ~locks); // the hotkey's own modifiers, unchanged
            QCOMPARE(variant & modifiers, modifiers);
            QCOMPARE(variants.count(variant), 1);
        }
        QVERIFY(variants.contains(modifiers | locks)); // every lock on at once
    }

    // Raw key events as they arrive: "+k" presses key code k, "-k" releases it.
    void tracker_data()
    {
        QTest::addColumn<unsigned>("wanted");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<int>("fired");
        const auto events = [](const QString &text) { return text.split(' '); };
        const unsigned ctrlAlt = ControlMask | Mod1Mask;
        QTest::newRow("the key alone") << 0u << events("+107 -107") << 1;
        QTest::newRow("held: auto-repeat counts once") << 0u << events("+107 +107 +107 -107") << 1;
        QTest::newRow("pressed twice") << 0u << events("+107 -107 +107 -107") << 2;
        QTest::newRow("another key") << 0u << events("+38 -38") << 0;
        QTest::newRow("with its modifiers") << ctrlAlt << events("+37 +64 +107 -107 -64 -37") << 1;
        QTest::newRow("a modifier missing") << ctrlAlt << events("+37 +107 -107 -37") << 0;
        QTest::newRow("a modifier too many") << 0u << events("+50 +107 -107 -50") << 0;
        QTest::newRow("modifier after the key") << unsigned(ControlMask) << events("+107 +37 -37 -107") << 0;
        QTest::newRow("modifier let go in between") << unsigned(ControlMask) << events("+37 -37 +107 -107") << 0;
        QTest::newRow("Num Lock does not count") << 0u << events("+77 -77 +107 -107") << 1;
    }
    void tracker()
    {
        QFETCH(unsigned, wanted);
        QFETCH(QStringList, events);
        QFETCH(int, fired);
        HotkeyTracker tracker;
        tracker.setHotkey({kPrintKey}, wanted);
        tracker.setModifierKeys({{kShiftKey, ShiftMask}, {kCtrlKey, ControlMask}, {kAltKey, Mod1Mask}});
        int count = 0;
        for (const QString &event : events) {
            const unsigned keycode = event.mid(1).toUInt();
            if (event.startsWith('+'))
                count += tracker.press(keycode) ? 1 : 0;
            else
                tracker.release(keycode);
        }
        QCOMPARE(count, fired);
    }

    // A key already held when watching begins is not a fresh press.
    void keysDownAtStart()
    {
        HotkeyTracker tracker;
        tracker.setHotkey({kPrintKey}, ControlMask);
        tracker.setModifierKeys({{kCtrlKey, ControlMask}});
        tracker.setPressed({kCtrlKey, kPrintKey});
        QVERIFY(!tracker.press(kPrintKey));
        tracker.release(kPrintKey);
        QVERIFY(tracker.press(kPrintKey));
    }

    // The menu's entries start the program beside the tray program; the
    // folder entry shows a captures folder that exists.
    void actions()
    {
        RecordingLauncher launcher;
        const TrayActions actions(QStringLiteral("/opt/snap lark"));
        QVERIFY(actions.capture() && actions.openSettings());
        const QList<QPair<QString, QStringList>> expected = {{"/opt/snap lark/snaplark", {}},
                                                            {"/opt/snap lark/snaplark", {"/config"}}};
        QCOMPARE(launcher.started, expected);
        QVERIFY(actions.openCapturesFolder());
        QCOMPARE(launcher.opened.size(), 1);
        QVERIFY(launcher.opened[0].isLocalFile());
        QVERIFY(launcher.opened[0].toLocalFile().endsWith("/Snaplark Captures"));
        QVERIFY(QFileInfo(launcher.opened[0].toLocalFile()).isDir());
    }
};

QTEST_MAIN(TestTrayHotkey)
#include "tst_trayhotkey.moc"
