#include "hotkeybinding.h"

#include "virtualkeys.h"

#include <X11/Xlib.h>

namespace Hotkey {

HotkeyBinding binding(int virtualKey, int attributes, const ModifierMasks &masks)
{
    HotkeyBinding result;
    // a negative code from a damaged store must not wrap to a valid one
    result.keysym = virtualKey > 0 ? snaplark_keysym_of_virtual_key(unsigned(virtualKey)) : NoSymbol;
    if (attributes & Win)
        result.modifiers |= masks.super;
    if (attributes & Shift)
        result.modifiers |= ShiftMask;
    if (attributes & Ctrl)
        result.modifiers |= ControlMask;
    if (attributes & Alt)
        result.modifiers |= masks.alt;
    return result;
}

QVector<unsigned> lockVariants(unsigned modifiers, const ModifierMasks &masks)
{
    QVector<unsigned> locks;
    for (unsigned lock : {unsigned(LockMask), masks.numLock, masks.scrollLock}) {
        // a lock on no modifier, or on one the hotkey uses, adds nothing
        if (lock && !(lock & modifiers) && !locks.contains(lock))
            locks.append(lock);
    }
    QVector<unsigned> variants;
    for (int subset = 0; subset < (1 << locks.size()); ++subset) {
        unsigned mask = modifiers;
        for (int i = 0; i < locks.size(); ++i) {
            if (subset & (1 << i))
                mask |= locks[i];
        }
        variants.append(mask);
    }
    return variants;
}

QString describe(int virtualKey, int attributes)
{
    QString text;
    if (attributes & Ctrl)
        text += QStringLiteral("Ctrl+");
    if (attributes & Alt)
        text += QStringLiteral("Alt+");
    if (attributes & Shift)
        text += QStringLiteral("Shift+");
    if (attributes & Win)
        text += QStringLiteral("Win+");
    const unsigned long keysym = virtualKey > 0 ? snaplark_keysym_of_virtual_key(unsigned(virtualKey)) : NoSymbol;
    const char *name = keysym != NoSymbol ? XKeysymToString(keysym) : nullptr;
    return text + (name ? QString::fromLatin1(name) : QStringLiteral("key code %1").arg(virtualKey));
}

} // namespace Hotkey
