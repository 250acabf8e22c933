#pragma once

#include <QPair>
#include <QString>
#include <QVector>

// The decisions of the settings dialog, apart from its widgets.
namespace SettingsLogic {

// One entry of the hotkey table: the virtual-key code the tray program
// registers, and the name the dialog shows.
struct HotkeyKey
{
    int code;
    QString name;
};

// The 77 keys a hotkey may use, in the order the dialog lists them.
const QVector<HotkeyKey> &hotkeyTable();

// The table index of a stored key code; -1 when the table has no such key.
int hotkeyIndex(int code);

// The code OK stores for the combo's index: a key of the table, or, when the
// combo has no valid selection (the stored code was not in the table), the
// stored code unchanged.
int hotkeyCodeToStore(int index, int storedCode);

// "HotkeyAttr": bit 0 Win, bit 1 Shift, bit 2 Ctrl, bit 3 Alt.
struct HotkeyModifiers
{
    bool win = false;
    bool shift = false;
    bool ctrl = false;
    bool alt = false;
};
HotkeyModifiers modifiersFromAttr(int attr);
int attrFromModifiers(const HotkeyModifiers &modifiers);

// The actions both action combos offer: (label, action code), the index
// being the code.
QVector<QPair<QString, int>> actionChoices();

// The clipboard forms offered for an action, in order.  Uploading actions
// offer the links (the direct one only where the account allows it) and
// the local path only when a local copy is kept; saving actions only the
// path.  Every action offers the bitmap and nothing.
QVector<int> clipboardChoices(int action, bool allowDirectLink, bool saveLocal);

// Whether this process is the capture program itself rather than a
// companion that shows the same dialog (the tray program).
bool isMainProgram();

// "Login and " and the sign-in hint, the log-in button's tool tip.
QString loginToolTip();
// The profile tab's line for the login state.
QString loginStateText(const QString &authId, const QString &username);

} // namespace SettingsLogic
