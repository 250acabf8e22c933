#include "xsession.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <stdlib.h>
#include <string.h>

/* Xlib's default error handler ends the process; errors on our own
 * connection are expected (windows vanish), errors on others are passed on. */
static Display *trapped_display;
static XErrorHandler previous_handler;

static int trap_error(Display *display, XErrorEvent *error)
{
    if (display == trapped_display)
        return 0;
    return previous_handler ? previous_handler(display, error) : 0;
}

int xsession_open(XSession *session)
{
    session->display = NULL;
    const char *name = getenv("DISPLAY");
    if (!name || !*name)
        return 0;
    session->display = XOpenDisplay(name);
    if (!session->display)
        return 0;
    session->root = DefaultRootWindow(session->display);
    trapped_display = session->display;
    previous_handler = XSetErrorHandler(trap_error);
    return 1;
}

void xsession_close(XSession *session)
{
    if (!session->display)
        return;
    XSync(session->display, False);
    XSetErrorHandler(previous_handler);
    trapped_display = NULL;
    previous_handler = NULL;
    XCloseDisplay(session->display);
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

size_t xsession_client_windows(XSession *session, Window **windows)
{
    *windows = NULL;
    unsigned long count = 0;
    long *list = xsession_property(session, session->root, "_NET_CLIENT_LIST", XA_WINDOW, 32,
                                   &count);
    if (list) {
        *windows = malloc(count ? count * sizeof(Window) : 1);
        if (*windows) {
            for (unsigned long i = 0; i < count; ++i)
                (*windows)[i] = (Window)list[i];
        } else {
            count = 0;
        }
        XFree(list);
        return count;
    }

    Window root = None;
    Window parent = None;
    Window *children = NULL;
    unsigned int child_count = 0;
    if (!XQueryTree(session->display, session->root, &root, &parent, &children, &child_count))
        return 0;
    *windows = malloc(child_count ? child_count * sizeof(Window) : 1);
    if (!*windows) {
        child_count = 0;
    } else {
        for (unsigned int i = 0; i < child_count; ++i)
            (*windows)[i] = xsession_client_of(session, children[i]);
    }
    if (children)
        XFree(children);
    return child_count;
}
