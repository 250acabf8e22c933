#include "snaplarkextension.h"
#include "xsession.h"

#include <X11/Xatom.h>

typedef struct {
    int x, y, width, height;
} Rect;

/* The window manager's active window, else the window holding the input
 * focus; None when nothing visible is active. */
static Window active_client(XSession *session)
{
    Window client = None;
    unsigned long count = 0;
    long *active = xsession_property(session, session->root, "_NET_ACTIVE_WINDOW", XA_WINDOW,
                                     32, &count);
    if (active) {
        if (count > 0)
            client = (Window)active[0];
        XFree(active);
    }
    if (client == None) {
        Window focus = None;
        int revert = 0;
        XGetInputFocus(session->display, &focus, &revert);
        if (focus == None || focus == PointerRoot || focus == session->root)
            return None;
        Window toplevel = xsession_toplevel(session, focus);
        if (toplevel == None)
            return None;
        client = xsession_client_of(session, toplevel);
    }
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(session->display, client, &attributes)
        || attributes.map_state != IsViewable)
        return None;
    return client;
}

/* The client's outer rectangle in root coordinates, decorations included. */
static int outer_rect(XSession *session, Window client, Rect *rect)
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

bool GetActiveWindowRect(int *x, int *y, int *width, int *height, int *handle)
{
    XSession session;
    if (!xsession_open(&session))
        return false;
    Rect rect = {0, 0, 0, 0};
    const Window client = active_client(&session);
    const int found = client != None && outer_rect(&session, client, &rect);
    xsession_close(&session);
    if (!found)
        return false;
    if (x)
        *x = rect.x;
    if (y)
        *y = rect.y;
    if (width)
        *width = rect.width;
    if (height)
        *height = rect.height;
    if (handle)
        *handle = (int)client;
    return true;
}
