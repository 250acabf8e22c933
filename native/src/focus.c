#include "snaplarkextension.h"
#include "xsession.h"

#include <X11/extensions/shape.h>

/* Whether the point (relative to the window's origin) lies in the window's
 * shape of that kind; an unshaped window reports its plain rectangle. */
static int shape_contains(Display *display, Window window, int kind, int x, int y)
{
    int count = 0;
    int ordering = 0;
    XRectangle *rectangles = XShapeGetRectangles(display, window, kind, &count, &ordering);
    int inside = 0;
    for (int i = 0; i < count && !inside; ++i) {
        const XRectangle *r = &rectangles[i];
        inside = x >= r->x && y >= r->y && x < r->x + r->width && y < r->y + r->height;
    }
    if (rectangles)
        XFree(rectangles);
    return inside;
}

/* A click at the point would reach this window: the point is in its bounding
 * and its input shape (a click-through window has a hole there). */
static int takes_input_at(XSession *session, Window window, int root_x, int root_y,
                          int has_shape)
{
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(session->display, window, &attributes)
        || attributes.map_state != IsViewable || attributes.override_redirect)
        return 0;
    const int outer_width = attributes.width + 2 * attributes.border_width;
    const int outer_height = attributes.height + 2 * attributes.border_width;
    if (root_x < attributes.x || root_y < attributes.y || root_x >= attributes.x + outer_width
        || root_y >= attributes.y + outer_height)
        return 0;
    if (!has_shape)
        return 1;
    const int x = root_x - attributes.x - attributes.border_width;
    const int y = root_y - attributes.y - attributes.border_width;
    return shape_contains(session->display, window, ShapeBounding, x, y)
           && shape_contains(session->display, window, ShapeInput, x, y);
}

/* The topmost top-level window that takes input at the point; override-
 * redirect windows (menus, tooltips) never take the focus and are passed. */
static Window toplevel_at(XSession *session, int x, int y)
{
    int event_base = 0, error_base = 0;
    const int has_shape = XShapeQueryExtension(session->display, &event_base, &error_base);
    Window root = None, parent = None, *children = NULL;
    unsigned int count = 0;
    if (!XQueryTree(session->display, session->root, &root, &parent, &children, &count))
        return None;
    Window found = None;
    /* children come bottom to top */
    for (unsigned int i = count; i > 0 && found == None; --i) {
        if (takes_input_at(session, children[i - 1], x, y, has_shape))
            found = children[i - 1];
    }
    if (children)
        XFree(children);
    return found;
}

bool SendFocus(int x, int y)
{
    XSession session;
    if (!xsession_open(&session))
        return false;
    const Window toplevel = toplevel_at(&session, x, y);
    const Window client = toplevel != None ? xsession_client_of(&session, toplevel) : None;
    if (client != None) {
        xsession_activate(&session, client);
        XSetInputFocus(session.display, client, RevertToParent, CurrentTime);
        XSync(session.display, False);
    }
    const bool focused = client != None && !session.broken;
    xsession_close(&session);
    return focused;
}
