#include "snaplarkextension.h"
#include "xsession.h"

#include <X11/Xatom.h>

/* The window manager's active window, else the window holding the input
 * focus; None when nothing visible is active. */
static Window active_client(XSession *session)
{
    Window client = None;
    unsigned long count = 0;
    long *active = xsession_property(session, session->root, "_NET_ACTIVE_WINDOW", XA_WINDOW,
                                     32, &count);
    if (active) {
        // A window manager that publishes the active window is trusted, also
        // when it says none is active: its focus then rests on a private
        // window of its own that is no capture target.
        if (count > 0)
            client = (Window)active[0];
        XFree(active);
    } else {
        Window focus = None;
        int revert = 0;
        XGetInputFocus(session->display, &focus, &revert);
        if (focus == None || focus == PointerRoot || focus == session->root)
            return None;
        Window toplevel = xsession_toplevel(session, focus);
        if (toplevel == None)
            return None;
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(session->display, toplevel, &attributes)
            || attributes.override_redirect)
            return None;
        client = xsession_client_of(session, toplevel);
    }
    return client != None && xsession_viewable(session, client) ? client : None;
}

bool GetActiveWindowRect(int *x, int *y, int *width, int *height, int *handle)
{
    XSession session;
    if (!xsession_open(&session))
        return false;
    XSessionRect rect = {0, 0, 0, 0};
    const Window client = active_client(&session);
    const int found = client != None && xsession_outer_rect(&session, client, &rect);
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
