#define _GNU_SOURCE
#include "snaplarkextension.h"
#include "snaplarkhookmessage.h"
#include "timing.h"
#include "utf16.h"
#include "virtualkeys.h"
#include "xsession.h"

#include <X11/XKBlib.h>
#include <X11/extensions/XInput2.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <stdatomic.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

/* A wheel turn is passed on only after the scrolled application has had time
 * to repaint, because the receiver grabs the screen as soon as it arrives. */
enum { WHEEL_SETTLE_MS = 100 };
enum { QUEUE_CAPACITY = 256 };
enum { WHEEL_UP_BUTTON = 4, WHEEL_DOWN_BUTTON = 5 };

typedef struct {
    unsigned msg, wParam, lParam;
    long long due_ms;
} PendingMessage;

/* The listening thread and everything it owns.  Its X connection is used by
 * that thread only, until it has been joined. */
typedef struct {
    pthread_t thread;
    XSession session;
    int xinput_opcode;
    int wake[2]; /* a byte in wake[1] ends the thread */
    atomic_int finished;
    PendingMessage queue[QUEUE_CAPACITY]; /* delivered in arrival order */
    size_t head, count;
} Hooks;

static pthread_mutex_t hooks_lock = PTHREAD_MUTEX_INITIALIZER;
static Hooks *hooks;

/* The receiving window's title, looked up at each delivery; replaced while
 * the thread runs, hence its own lock. */
static pthread_mutex_t title_lock = PTHREAD_MUTEX_INITIALIZER;
static char *target_title;

static void replace_title(char *title)
{
    pthread_mutex_lock(&title_lock);
    free(target_title);
    target_title = title;
    pthread_mutex_unlock(&title_lock);
}

static char *copy_title(void)
{
    pthread_mutex_lock(&title_lock);
    char *title = target_title ? strdup(target_title) : NULL;
    pthread_mutex_unlock(&title_lock);
    return title;
}

static void enqueue(Hooks *h, unsigned msg, unsigned wParam, unsigned lParam, long long due_ms)
{
    if (h->count == QUEUE_CAPACITY)
        return;
    PendingMessage *slot = &h->queue[(h->head + h->count) % QUEUE_CAPACITY];
    *slot = (PendingMessage){msg, wParam, lParam, due_ms};
    ++h->count;
}

static void handle_event(Hooks *h, XEvent *event)
{
    Display *display = h->session.display;
    if (event->type == MappingNotify) {
        XRefreshKeyboardMapping(&event->xmapping);
        return;
    }
    XGenericEventCookie *cookie = &event->xcookie;
    if (event->type != GenericEvent || cookie->extension != h->xinput_opcode
        || !XGetEventData(display, cookie))
        return;
    const XIRawEvent *raw = cookie->data;
    const long long now = monotonic_ms();
    if (cookie->evtype == XI_RawKeyPress) {
        const unsigned code =
            virtual_key_of(XkbKeycodeToKeysym(display, (KeyCode)raw->detail, 0, 0));
        if (code)
            enqueue(h, SNAPLARK_HOOK_KEYSTROKE_MESSAGE, code, 0, now);
    } else if (cookie->evtype == XI_RawButtonPress
               && (raw->detail == WHEEL_UP_BUTTON || raw->detail == WHEEL_DOWN_BUTTON)) {
        enqueue(h, SNAPLARK_HOOK_MOUSE_MESSAGE, SNAPLARK_HOOK_WHEEL_WPARAM,
                raw->detail == WHEEL_UP_BUTTON ? SNAPLARK_HOOK_WHEEL_UP_LPARAM
                                               : SNAPLARK_HOOK_WHEEL_DOWN_LPARAM,
                now + WHEEL_SETTLE_MS);
    }
    XFreeEventData(display, cookie);
}

static void deliver_due(Hooks *h)
{
    const long long now = monotonic_ms();
    if (h->count == 0 || h->queue[h->head].due_ms > now)
        return;
    char *title = copy_title();
    Window *windows = NULL;
    const size_t found = title ? xsession_windows_titled(&h->session, title, &windows) : 0;
    while (h->count > 0 && h->queue[h->head].due_ms <= now) {
        const PendingMessage *message = &h->queue[h->head];
        for (size_t i = 0; i < found; ++i)
            xsession_post_window_message(&h->session, windows[i], message->msg,
                                         message->wParam, message->lParam);
        h->head = (h->head + 1) % QUEUE_CAPACITY;
        --h->count;
    }
    free(windows);
    free(title);
}

static int poll_timeout(const Hooks *h)
{
    if (h->count == 0)
        return -1;
    const long long wait = h->queue[h->head].due_ms - monotonic_ms();
    return wait < 0 ? 0 : (int)wait;
}

static void *listen_for_input(void *data)
{
    Hooks *h = data;
    Display *display = h->session.display;
    struct pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {h->wake[0], POLLIN, 0}};
    for (;;) {
        while (!h->session.broken && XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            handle_event(h, &event);
        }
        if (!h->session.broken) {
            deliver_due(h);
            XFlush(display);
        }
        if (h->session.broken)
            break;
        /* round trips made while delivering may have queued events already */
        const int timeout = XQLength(display) > 0 ? 0 : poll_timeout(h);
        if (poll(fds, 2, timeout) < 0 && errno != EINTR)
            break;
        if (fds[1].revents)
            break;
        /* a hang-up that Xlib has not noticed yet would wake us forever */
        if ((fds[0].revents & (POLLERR | POLLHUP | POLLNVAL)) && !XPending(display))
            break;
    }
    atomic_store(&h->finished, 1);
    return NULL;
}

static int select_raw_input(Hooks *h)
{
    Display *display = h->session.display;
    int event_base = 0, error_base = 0;
    if (!XQueryExtension(display, "XInputExtension", &h->xinput_opcode, &event_base,
                         &error_base))
        return 0;
    /* from 2.1 on, raw events arrive even while another client holds a grab */
    int major = 2, minor = 2;
    if (XIQueryVersion(display, &major, &minor) != Success)
        return 0;
    unsigned char bits[XIMaskLen(XI_LASTEVENT)];
    memset(bits, 0, sizeof bits);
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawButtonPress);
    XIEventMask mask = {XIAllMasterDevices, (int)sizeof bits, bits};
    XISelectEvents(display, h->session.root, &mask, 1);
    XSync(display, False);
    return !h->session.broken;
}

static void free_hooks(Hooks *h)
{
    xsession_close(&h->session);
    for (int i = 0; i < 2; ++i) {
        if (h->wake[i] >= 0)
            close(h->wake[i]);
    }
    free(h);
}

static Hooks *start_hooks(void)
{
    Hooks *h = calloc(1, sizeof *h);
    if (!h)
        return NULL;
    h->wake[0] = h->wake[1] = -1;
    if (!xsession_open(&h->session) || !select_raw_input(h)
        || pipe2(h->wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        free_hooks(h);
        return NULL;
    }
    /* the program's signals stay with the program's own threads */
    sigset_t all, previous;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &previous);
    const int started = pthread_create(&h->thread, NULL, listen_for_input, h) == 0;
    pthread_sigmask(SIG_SETMASK, &previous, NULL);
    if (!started) {
        free_hooks(h);
        return NULL;
    }
    return h;
}

static void stop_hooks(void)
{
    if (!hooks)
        return;
    const char byte = 1;
    while (write(hooks->wake[1], &byte, 1) < 0 && errno == EINTR)
        ;
    pthread_join(hooks->thread, NULL);
    free_hooks(hooks);
    hooks = NULL;
}

bool SetHooks(bool enable, int reserved, const char16_t *windowTitle)
{
    (void)reserved;
    if (!enable) {
        pthread_mutex_lock(&hooks_lock);
        stop_hooks();
        replace_title(NULL);
        pthread_mutex_unlock(&hooks_lock);
        return true;
    }
    char *title = snaplark_utf16_to_utf8(windowTitle);
    if (!title || !*title) {
        free(title);
        return false;
    }
    pthread_mutex_lock(&hooks_lock);
    /* a thread whose display went away is replaced by a fresh one */
    if (hooks && atomic_load(&hooks->finished))
        stop_hooks();
    replace_title(title);
    if (!hooks)
        hooks = start_hooks();
    const bool running = hooks != NULL;
    if (!running)
        replace_title(NULL);
    pthread_mutex_unlock(&hooks_lock);
    return running;
}

/* The thread must not outlive the code it runs when the library is unloaded. */
__attribute__((destructor)) static void end_hooks_on_unload(void)
{
    pthread_mutex_lock(&hooks_lock);
    stop_hooks();
    replace_title(NULL);
    pthread_mutex_unlock(&hooks_lock);
}

/* The tray program owns the hotkey. */
bool SetHotkey(unsigned modifiers, unsigned key)
{
    (void)modifiers;
    (void)key;
    return false;
}
