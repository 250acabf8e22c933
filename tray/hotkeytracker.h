#pragma once

#include <QHash>
#include <QSet>
#include <QVector>

// Decides from the stream of raw key presses and releases whether the hotkey
// was just pressed.  Raw key events carry no modifier state, so the state is
// kept here from the modifier keys themselves; lock keys are left out, the
// hotkey works with any lock on or off.
class HotkeyTracker
{
public:
    // The key codes that produce the hotkey's key and the modifiers it wants.
    void setHotkey(const QVector<unsigned> &keycodes, unsigned modifiers);
    // Which modifier bit each modifier key sets (Shift, Control, Alt, Super).
    void setModifierKeys(const QHash<unsigned, unsigned> &maskOfKeycode);
    // The keys already down when watching begins.
    void setPressed(const QSet<unsigned> &keycodes);

    // True when this press is the hotkey: its key going down with exactly the
    // wanted modifiers held.  A key held down (auto-repeat) counts once.
    bool press(unsigned keycode);
    void release(unsigned keycode);

    unsigned heldModifiers() const;

private:
    QVector<unsigned> m_keycodes;
    unsigned m_modifiers = 0;
    QHash<unsigned, unsigned> m_maskOfKeycode;
    QSet<unsigned> m_pressed;
};
