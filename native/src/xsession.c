#include "xsession.h"

#include "snaplarkhookmessage.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <pthread.h>
#include <stdlib.h>
#include <string.h>

/* Xlib's default handlers end the process on an X error or a lost
 * connection.  Errors on our own connections are expected (windows vanish,
 * the server may go away), so while any of them is open our handlers ignore
 * them and pass those on other connections (the program's) to the handlers
 * they replaced.  The hook thread and the caller's thread may hold sessions
 * at the same time. */
enum { MAX_SESSIONS = 16 };
static pthread_mutex_t trap_lock = PTHREAD_MUTEX_INITIALIZER;
static Display *trapped[MAX_SESSIONS];
static int trapped_count;
static XErrorHandler previous_handler;
static XIOErrorHandler previous_io_handler;

static int is_trapped(Display *display)
{
    int ours = 0;
    for (int i = 0; i < trapped_count && !ours; ++i)
        ours = trapped[i] == display;
    return ours;
}

static int trap_error(Display *display, XErrorEvent *error)
{
    pthread_mutex_lock(&trap_lock);
    const int ours = is_trapped(display);
    const XErrorHandler previous = previous_handler;
    pthread_mutex_unlock(&trap_lock);
    if (ours)
        return 0;
    return previous ? previous(display, error) : 0;
}

/* For our connections Xlib goes on to the connection's exit handler
 * (connection_lost) instead of ending the process. */
static int trap_io_error(Display *display)
{
    pthread_mutex_lock(&trap_lock);
    const int ours = is_trapped(display);
    const XIOErrorHandler previous = previous_io_handler;
    pthread_mutex_unlock(&trap_lock);
    if (ours || !previous)
        return 0;
    return previous(display);
}

static int trap(Display *display)
{
    pthread_mutex_lock(&trap_lock);
    const int room = trapped_count < MAX_SESSIONS;
    if (room) {
        if (trapped_count == 0) {
            previous_handler = XSetErrorHandler(trap_error);
            previous_io_handler = XSetIOErrorHandler(trap_io_error);
        }
        trapped[trapped_count++] = display;
    }
    pthread_mutex_unlock(&trap_lock);
    return room;
}

static void untrap(Display *display)
{
    pthread_mutex_lock(&trap_lock);
    for (int i = 0; i < trapped_count; ++i) {
        if (trapped[i] == display) {
            trapped[i] = trapped[--trapped_count];
            break;
        }
    }
    if (trapped_count == 0) {
        XSetErrorHandler(previous_handler);
        XSetIOErrorHandler(previous_io_handler);
        previous_handler = NULL;
        previous_io_handler = NULL;
    }
    pthread_mutex_unlock(&trap_lock);
}

/* Called instead of exit() when the connection breaks; Xlib then fails every
 * further request on it. */
static void connection_lost(Display *display, void *data)
{
    (void)display;
    ((XSession *)data)->broken = 1;
}

int xsession_open(XSession *session)
{
    session->display = NULL;
    session->broken = 0;
    const char *name = getenv("DISPLAY");
    if (!name || !*name)
        return 0;
    Display *display = XOpenDisplay(name);
    if (!display)
        return 0;
    if (!trap(display)) {
        XCloseDisplay(display);
        return 0;
    }
    XSetIOErrorExitHandler(display, connection_lost, session);
    session->display = display;
    session->root = DefaultRootWindow(display);
    return 1;
}

void xsession_close(XSession *session)
{
    if (!session->display)
        return;
    /* After a lost connection Xlib may still hold the display's lock for the
     * call that failed, and closing it would wait forever; so the rare dead
     * connection is left behind. */
    if (!session->broken)
        XCloseDisplay(session->display);
    untrap(session->display);
    session->display = NULL;
}

Atom xsession_atom(XSession *session, const char *name)
{
    return XInternAtom(session->display, name, False);
}

void *xsession_property(XSession *session, Window window, const char *name, Atom type,
                        int format, unsigned long *count)
{
    Atom actual_type = None;
    int actual_format = 0;
    unsigned long items = 0;
    unsigned long remaining = 0;
    unsigned char *data = NULL;
    *count = 0;
    if (XGetWindowProperty(session->display, window, xsession_atom(session, name), 0, 65536,
                           False, type, &actual_type, &actual_format, &items, &remaining,
                           &data)
        != Success)
        return NULL;
    if (!data)
        return NULL;
    if (actual_type != type || actual_format != format) {
        XFree(data);
        return NULL;
    }
    *count = items;
    return data;
}

Window xsession_toplevel(XSession *session, Window window)
{
    /* depth guard: a broken tree must not keep us looping */
    for (int depth = 0; window != None && depth < 64; ++depth) {
        Window root = None;
        Window parent = None;
        Window *children = NULL;
        unsigned int count = 0;
        if (!XQueryTree(session->display, window, &root, &parent, &children, &count))
            return None;
        if (children)
            XFree(children);
        if (parent == root)
            return window;
        window = parent;
    }
    return None;
}

static int has_wm_state(XSession *session, Window window)
{
    Atom wm_state = xsession_atom(session, "WM_STATE");
    unsigned long count = 0;
    void *data = xsession_property(session, window, "WM_STATE", wm_state, 32, &count);
    if (data)
        XFree(data);
    return data != NULL;
}

static Window find_client(XSession *session, Window window, int depth)
{
    if (has_wm_state(session, window))
        return window;
    if (depth == 0)
        return None;
    Window root = None;
    Window parent = None;
    Window *children = NULL;
    unsigned int count = 0;
    if (!XQueryTree(session->display, window, &root, &parent, &children, &count))
        return None;
    Window found = None;
    for (unsigned int i = 0; i < count && found == None; ++i)
        found = find_client(session, children[i], depth - 1);
    if (children)
        XFree(children);
    return found;
}

Window xsession_client_of(XSession *session, Window toplevel)
{
    /* frames nest the client only a few levels deep */
    Window client = find_client(session, toplevel, 4);
    return client != None ? client : toplevel;
}

int xsession_wm_supports(XSession *session, const char *name)
{
    unsigned long count = 0;
    long *check = xsession_property(session, session->root, "_NET_SUPPORTING_WM_CHECK",
                                    XA_WINDOW, 32, &count);
    int running = check && count > 0 && check[0] != None;
    if (check)
        XFree(check);
    if (!running)
        return 0;
    long *supported = xsession_property(session, session->root, "_NET_SUPPORTED", XA_ATOM, 32,
                                        &count);
    if (!supported)
        return 0;
    Atom wanted = xsession_atom(session, name);
    int found = 0;
    for (unsigned long i = 0; i < count && !found; ++i)
        found = (Atom)supported[i] == wanted;
    XFree(supported);
    return found;
}

char *xsession_window_title(XSession *session, Window window)
{
    unsigned long length = 0;
    char *name = xsession_property(session, window, "_NET_WM_NAME",
                                   xsession_atom(session, "UTF8_STRING"), 8, &length);
    if (name) {
        char *title = malloc(length + 1);
        if (title) {
            memcpy(title, name, length);
            title[length] = '\0';
        }
        XFree(name);
        return title;
    }
    XTextProperty property;
    if (!XGetWMName(session->display, window, &property))
        return NULL;
    char *title = NULL;
    char **list = NULL;
    int count = 0;
    if (Xutf8TextPropertyToTextList(session->display, &property, &list, &count) >= Success
        && count > 0 && list && list[0])
        title = strdup(list[0]);
    if (list)
        XFreeStringList(list);
    if (property.value)
        XFree(property.value);
    return title;
}

static int listed(const Window *windows, size_t count, Window window)
{
    for (size_t i = 0; i < count; ++i) {
        if (windows[i] == window)
            return 1;
    }
    return 0;
}

size_t xsession_windows_titled(XSession *session, const char *title, Window **windows)
{
    /* The window manager's clients, and every child of the root besides: a
     * window that was never shown (or was withdrawn) is in no window manager
     * list but must still be found by its title.  Without a client list the
     * clients are looked for inside the root's children (their frames). */
    *windows = NULL;
    unsigned long client_count = 0;
    long *clients = xsession_property(session, session->root, "_NET_CLIENT_LIST", XA_WINDOW, 32,
                                      &client_count);
    Window root = None;
    Window parent = None;
    Window *children = NULL;
    unsigned int child_count = 0;
    if (!XQueryTree(session->display, session->root, &root, &parent, &children, &child_count))
        child_count = 0;
    const size_t most = client_count + 2 * (size_t)child_count;
    Window *candidates = malloc(most ? most * sizeof(Window) : 1);
    size_t count = 0;
    for (unsigned long i = 0; candidates && i < client_count; ++i)
        candidates[count++] = (Window)clients[i];
    for (unsigned int i = 0; candidates && i < child_count; ++i) {
        if (!listed(candidates, count, children[i]))
            candidates[count++] = children[i];
        if (!clients) {
            const Window client = xsession_client_of(session, children[i]);
            if (!listed(candidates, count, client))
                candidates[count++] = client;
        }
    }
    if (clients)
        XFree(clients);
    if (children)
        XFree(children);

    size_t kept = 0;
    for (size_t i = 0; i < count; ++i) {
        char *name = xsession_window_title(session, candidates[i]);
        if (name && strcmp(name, title) == 0)
            candidates[kept++] = candidates[i];
        free(name);
    }
    *windows = candidates;
    return kept;
}

int xsession_viewable(XSession *session, Window window)
{
    XWindowAttributes attributes;
    return window != None && XGetWindowAttributes(session->display, window, &attributes)
           && attributes.map_state == IsViewable;
}

int xsession_outer_rect(XSession *session, Window client, XSessionRect *rect)
{
    unsigned long count = 0;
    long *extents = xsession_property(session, client, "_NET_FRAME_EXTENTS", XA_CARDINAL, 32,
                                      &count);
    if (extents && count == 4) {
        const long left = extents[0], right = extents[1], top = extents[2], bottom = extents[3];
        XFree(extents);
        XWindowAttributes attributes;
        int x = 0, y = 0;
        Window child = None;
        if (!XGetWindowAttributes(session->display, client, &attributes)
            || !XTranslateCoordinates(session->display, client, session->root, 0, 0, &x, &y,
                                      &child))
            return 0;
        const int border = attributes.border_width;
        rect->x = x - border - (int)left;
        rect->y = y - border - (int)top;
        rect->width = attributes.width + 2 * border + (int)(left + right);
        rect->height = attributes.height + 2 * border + (int)(top + bottom);
        return 1;
    }
    if (extents)
        XFree(extents);

    /* no extents: the frame window (a child of the root) is the outer edge */
    Window frame = xsession_toplevel(session, client);
    XWindowAttributes attributes;
    if (frame == None || !XGetWindowAttributes(session->display, frame, &attributes))
        return 0;
    rect->x = attributes.x;
    rect->y = attributes.y;
    rect->width = attributes.width + 2 * attributes.border_width;
    rect->height = attributes.height + 2 * attributes.border_width;
    return 1;
}

void xsession_send_client_message(XSession *session, Window target, Window window, Atom type,
                                  long mask, const long data[3])
{
    XEvent event;
    memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = type;
    event.xclient.format = 32;
    for (int i = 0; i < 3; ++i)
        event.xclient.data.l[i] = data[i];
    XSendEvent(session->display, target, False, mask, &event);
}

void xsession_post_window_message(XSession *session, Window window, unsigned msg,
                                  unsigned wParam, unsigned lParam)
{
    const long data[3] = {(long)msg, (long)wParam, (long)lParam};
    xsession_send_client_message(session, window, window,
                                 xsession_atom(session, SNAPLARK_WINDOW_MESSAGE_ATOM),
                                 NoEventMask, data);
}

void xsession_activate(XSession *session, Window window)
{
    if (xsession_wm_supports(session, "_NET_ACTIVE_WINDOW")) {
        /* source "pager": the request comes on the user's behalf, so focus
         * stealing prevention does not apply */
        const long data[3] = {2, CurrentTime, 0};
        xsession_send_client_message(session, session->root, window,
                                     xsession_atom(session, "_NET_ACTIVE_WINDOW"),
                                     SubstructureRedirectMask | SubstructureNotifyMask, data);
    } else {
        XMapRaised(session->display, window);
    }
}
