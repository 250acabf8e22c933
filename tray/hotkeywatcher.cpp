#include "hotkeywatcher.h"

#include <QDebug>
#include <QSocketNotifier>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>
#include <X11/keysym.h>

#include <cstring>

namespace {

// A tray program being replaced lets the key go when it has processed its
// close message; wait that long before calling the key taken.
constexpr int kGrabRetryMs = 250;
constexpr int kGrabRetries = 16;

// Set by the error handler while grabbing: XGrabKey reports a key held by
// another client only as an asynchronous BadAccess.
bool g_grabRefused = false;

int recordGrabError(Display *, XErrorEvent *error)
{
    if (error->error_code == BadAccess)
        g_grabRefused = true;
    return 0;
}

ModifierMasks readModifierMasks(Display *display, QHash<unsigned, unsigned> *maskOfKeycode)
{
    ModifierMasks masks;
    masks.scrollLock = 0;
    XModifierKeymap *map = XGetModifierMapping(display);
    if (!map)
        return masks;
    for (int modifier = 0; modifier < 8; ++modifier) {
        const unsigned mask = 1u << modifier;
        for (int i = 0; i < map->max_keypermod; ++i) {
            const KeyCode keycode = map->modifiermap[modifier * map->max_keypermod + i];
            if (!keycode)
                continue;
            const KeySym keysym = XkbKeycodeToKeysym(display, keycode, 0, 0);
            if (keysym == XK_Num_Lock)
                masks.numLock = mask;
            else if (keysym == XK_Scroll_Lock)
                masks.scrollLock = mask;
            else if (keysym == XK_Alt_L || keysym == XK_Alt_R || keysym == XK_Meta_L)
                masks.alt = mask;
            else if (keysym == XK_Super_L || keysym == XK_Super_R)
                masks.super = mask;
        }
    }
    for (int modifier = 0; modifier < 8; ++modifier) {
        const unsigned mask = 1u << modifier;
        // lock keys toggle a state; the hotkey ignores them
        if (mask == LockMask || mask == masks.numLock || mask == masks.scrollLock)
            continue;
        for (int i = 0; i < map->max_keypermod; ++i) {
            const KeyCode keycode = map->modifiermap[modifier * map->max_keypermod + i];
            if (keycode)
                maskOfKeycode->insert(keycode, maskOfKeycode->value(keycode) | mask);
        }
    }
    XFreeModifiermap(map);
    return masks;
}

// Every key whose unshifted symbol is the keysym.
QVector<unsigned> keycodesOf(Display *display, unsigned long keysym)
{
    int low = 0, high = 0;
    XDisplayKeycodes(display, &low, &high);
    QVector<unsigned> keycodes;
    for (int keycode = low; keycode <= high; ++keycode) {
        if (XkbKeycodeToKeysym(display, KeyCode(keycode), 0, 0) == keysym)
            keycodes.append(unsigned(keycode));
    }
    return keycodes;
}

QSet<unsigned> keysDown(Display *display)
{
    char keys[32];
    XQueryKeymap(display, keys);
    QSet<unsigned> down;
    for (unsigned keycode = 0; keycode < 256; ++keycode) {
        if (keys[keycode / 8] & (1 << (keycode % 8)))
            down.insert(keycode);
    }
    return down;
}

} // namespace

HotkeyWatcher::HotkeyWatcher(QObject *parent)
    : QObject(parent)
{
    m_retry.setInterval(kGrabRetryMs);
    connect(&m_retry, &QTimer::timeout, this, &HotkeyWatcher::retryGrab);
}

HotkeyWatcher::~HotkeyWatcher()
{
    if (!m_display)
        return;
    delete m_notifier;
    ungrab();
    XCloseDisplay(m_display);
}

bool HotkeyWatcher::start(int virtualKey, int attributes)
{
    m_virtualKey = virtualKey;
    m_attributes = attributes;
    const QString name = Hotkey::describe(virtualKey, attributes);
    if (!m_display)
        m_display = XOpenDisplay(nullptr);
    if (!m_display) {
        emit unavailable(QStringLiteral("No X display: the hotkey %1 is off.").arg(name));
        return false;
    }
    int event = 0, error = 0, major = 2, minor = 2;
    if (!XQueryExtension(m_display, "XInputExtension", &m_xinputOpcode, &event, &error)
        || XIQueryVersion(m_display, &major, &minor) != Success) {
        emit unavailable(QStringLiteral("The X server lacks XInput 2: the hotkey %1 is off.").arg(name));
        return false;
    }
    setUp();
    // the raw events tell every later change
    m_tracker.setPressed(keysDown(m_display));
    if (!m_binding.isValid()) {
        emit unavailable(QStringLiteral("The stored hotkey (%1) names no key: capture from the tray icon.").arg(name));
        return false;
    }
    if (m_keycodes.isEmpty()) {
        emit unavailable(QStringLiteral("This keyboard has no key for the hotkey %1: capture from the tray icon, "
                                        "or choose another hotkey in the settings.")
                             .arg(name));
        return false;
    }
    unsigned char bits[XIMaskLen(XI_LASTEVENT)];
    std::memset(bits, 0, sizeof bits);
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawKeyRelease);
    XIEventMask mask = {XIAllMasterDevices, int(sizeof bits), bits};
    XISelectEvents(m_display, DefaultRootWindow(m_display), &mask, 1);

    m_notifier = new QSocketNotifier(ConnectionNumber(m_display), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &HotkeyWatcher::readEvents);
    m_retriesLeft = kGrabRetries;
    if (grab())
        emit active(name);
    else
        m_retry.start();
    readEvents();
    return true;
}

void HotkeyWatcher::setUp()
{
    QHash<unsigned, unsigned> maskOfKeycode;
    m_masks = readModifierMasks(m_display, &maskOfKeycode);
    m_binding = Hotkey::binding(m_virtualKey, m_attributes, m_masks);
    m_keycodes = m_binding.isValid() ? keycodesOf(m_display, m_binding.keysym) : QVector<unsigned>();
    m_tracker.setModifierKeys(maskOfKeycode);
    m_tracker.setHotkey(m_keycodes, m_binding.modifiers);
}

bool HotkeyWatcher::grab()
{
    if (m_keycodes.isEmpty())
        return false;
    const Window root = DefaultRootWindow(m_display);
    XSync(m_display, False);
    g_grabRefused = false;
    const XErrorHandler previous = XSetErrorHandler(recordGrabError);
    for (unsigned keycode : m_keycodes) {
        for (unsigned modifiers : Hotkey::lockVariants(m_binding.modifiers, m_masks))
            XGrabKey(m_display, int(keycode), modifiers, root, False, GrabModeAsync, GrabModeAsync);
    }
    XSync(m_display, False);
    XSetErrorHandler(previous);
    m_grabbed = m_keycodes;
    if (g_grabRefused)
        ungrab(); // the variants we did get would only block the key
    return !g_grabRefused;
}

void HotkeyWatcher::ungrab()
{
    const Window root = DefaultRootWindow(m_display);
    for (unsigned keycode : qAsConst(m_grabbed)) {
        for (unsigned modifiers : Hotkey::lockVariants(m_binding.modifiers, m_masks))
            XUngrabKey(m_display, int(keycode), modifiers, root);
    }
    m_grabbed.clear();
    XFlush(m_display);
}

void HotkeyWatcher::retryGrab()
{
    if (grab()) {
        m_retry.stop();
        emit active(Hotkey::describe(m_virtualKey, m_attributes));
        return;
    }
    if (--m_retriesLeft > 0)
        return;
    m_retry.stop();
    if (!m_reported) {
        m_reported = true;
        emit unavailable(QStringLiteral("The hotkey %1 is held by another program: capture from the tray icon, "
                                        "or choose another hotkey in the settings.")
                             .arg(Hotkey::describe(m_virtualKey, m_attributes)));
    }
}

void HotkeyWatcher::readEvents()
{
    while (XPending(m_display) > 0) {
        XEvent event;
        XNextEvent(m_display, &event);
        if (event.type == MappingNotify) {
            // a new keyboard map may move the key or the modifiers
            XRefreshKeyboardMapping(&event.xmapping);
            const bool held = !m_grabbed.isEmpty();
            if (held)
                ungrab();
            setUp();
            if (held)
                grab();
            continue;
        }
        XGenericEventCookie *cookie = &event.xcookie;
        if (event.type != GenericEvent || cookie->extension != m_xinputOpcode || !XGetEventData(m_display, cookie))
            continue; // the grab's own key events: the raw ones below stand for them
        const auto *raw = static_cast<const XIRawEvent *>(cookie->data);
        const unsigned keycode = unsigned(raw->detail);
        bool fire = false;
        if (cookie->evtype == XI_RawKeyPress)
            fire = m_tracker.press(keycode);
        else if (cookie->evtype == XI_RawKeyRelease)
            m_tracker.release(keycode);
        XFreeEventData(m_display, cookie);
        // only a key we hold is ours: one held by another program is its
        if (fire && !m_grabbed.isEmpty())
            emit triggered();
    }
}
