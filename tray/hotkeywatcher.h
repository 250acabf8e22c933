#pragma once

#include "hotkeybinding.h"
#include "hotkeytracker.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

#include <memory>

class QSocketNotifier;
struct _XDisplay;

// Owns the global hotkey on the X display.  The key is grabbed passively on
// the root window under every lock combination, so it reaches no other
// program; the press itself is read from XInput2 raw key events, which
// arrive even while another program (an open menu) holds the keyboard grab,
// when a passive grab does not fire.  Uses a connection of its own.
class HotkeyWatcher : public QObject
{
    Q_OBJECT

public:
    explicit HotkeyWatcher(QObject *parent = nullptr);
    ~HotkeyWatcher() override;

    // Grabs the hotkey from the stored codes.  A key another program holds
    // is tried again for a while (a tray program that is just ending still
    // holds it) before it is reported, once.  False when there is no display
    // or the code names no key; the reason goes to `unavailable`.
    bool start(int virtualKey, int attributes);

signals:
    void triggered();
    // The hotkey is grabbed and active; the text names it.
    void active(const QString &hotkey);
    // The hotkey cannot work; the text says why, for the user.
    void unavailable(const QString &reason);

private:
    void readEvents();
    void setUp();
    bool grab();
    void ungrab();
    void retryGrab();

    _XDisplay *m_display = nullptr;
    QSocketNotifier *m_notifier = nullptr;
    int m_xinputOpcode = -1;
    int m_virtualKey = 0;
    int m_attributes = 0;
    HotkeyBinding m_binding;
    ModifierMasks m_masks;
    QVector<unsigned> m_keycodes;
    QVector<unsigned> m_grabbed; // key codes grabbed under every variant
    HotkeyTracker m_tracker;
    QTimer m_retry;
    int m_retriesLeft = 0;
    bool m_reported = false;
};
