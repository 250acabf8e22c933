#pragma once

#include <QString>
#include <QVector>

// The global hotkey as the settings store keeps it ("HotkeyKey", a Windows
// virtual-key code; "HotkeyAttr", the Win/Shift/Ctrl/Alt bits) turned into
// what the X server grabs: a keysym and a modifier mask.

// Which X modifier bits the keyboard's Alt, Super and lock keys set; read from
// the server's modifier map, with the usual layout as the default.
struct ModifierMasks
{
    unsigned alt = 1u << 3;     // Mod1
    unsigned super = 1u << 6;   // Mod4
    unsigned numLock = 1u << 4; // Mod2
    unsigned scrollLock = 0;    // often on no modifier at all
};

struct HotkeyBinding
{
    unsigned long keysym = 0; // 0 (NoSymbol): the stored code names no key
    unsigned modifiers = 0;   // X modifier masks
    bool isValid() const { return keysym != 0; }
};

namespace Hotkey {

// "HotkeyAttr" bits, as the settings dialog stores them.
enum Attribute { Win = 1, Shift = 2, Ctrl = 4, Alt = 8 };

HotkeyBinding binding(int virtualKey, int attributes, const ModifierMasks &masks);

// The modifier masks under which the key must be grabbed so that Caps Lock,
// Num Lock and Scroll Lock, on or off, never hide the hotkey: the mask with
// every combination of the lock bits added, each combination once.
QVector<unsigned> lockVariants(unsigned modifiers, const ModifierMasks &masks);

// How the hotkey reads in messages to the user, for example "Ctrl+Alt+Print".
QString describe(int virtualKey, int attributes);

} // namespace Hotkey
