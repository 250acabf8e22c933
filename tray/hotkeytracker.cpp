#include "hotkeytracker.h"

void HotkeyTracker::setHotkey(const QVector<unsigned> &keycodes, unsigned modifiers)
{
    m_keycodes = keycodes;
    m_modifiers = modifiers;
}

void HotkeyTracker::setModifierKeys(const QHash<unsigned, unsigned> &maskOfKeycode)
{
    m_maskOfKeycode = maskOfKeycode;
}

void HotkeyTracker::setPressed(const QSet<unsigned> &keycodes)
{
    m_pressed = keycodes;
}

bool HotkeyTracker::press(unsigned keycode)
{
    const bool repeat = m_pressed.contains(keycode);
    // the modifiers before this key: a hotkey on a modifier key itself
    // would otherwise always see its own bit
    const unsigned held = heldModifiers();
    m_pressed.insert(keycode);
    return !repeat && m_keycodes.contains(keycode) && held == m_modifiers;
}

void HotkeyTracker::release(unsigned keycode)
{
    m_pressed.remove(keycode);
}

unsigned HotkeyTracker::heldModifiers() const
{
    unsigned mask = 0;
    for (unsigned keycode : m_pressed)
        mask |= m_maskOfKeycode.value(keycode);
    return mask;
}
