/* A short-lived connection to the X server for one library call, and the
 * window lookups the library functions share. */
#ifndef SNAPLARK_XSESSION_H
#define SNAPLARK_XSESSION_H

#include <X11/Xlib.h>
#include <stddef.h>

typedef struct {
    Display *display;
    Window root;
} XSession;

/* Connects to the display named by DISPLAY.  While the session is open, X
 * errors on it are ignored instead of ending the process (the windows we look
 * at may vanish at any time).  Returns 0 when there is no display. */
int xsession_open(XSession *session);
/* Flushes pending requests and closes the connection. */
void xsession_close(XSession *session);

Atom xsession_atom(XSession *session, const char *name);

/* The property's items when it exists with the given type and format, else
 * NULL; free with XFree.  Format-32 items are longs. */
void *xsession_property(XSession *session, Window window, const char *name, Atom type,
                        int format, unsigned long *count);

/* The ancestor of window that is a child of the root (the window manager's
 * frame, or the window itself without one); None on failure. */
Window xsession_toplevel(XSession *session, Window window);
/* The application's window inside a top-level window: the first one carrying
 * WM_STATE, or the top-level window itself. */
Window xsession_client_of(XSession *session, Window toplevel);

/* Whether a window manager runs that lists the atom in _NET_SUPPORTED. */
int xsession_wm_supports(XSession *session, const char *name);

/* The window's title as malloc'd UTF-8 (_NET_WM_NAME, else WM_NAME); NULL
 * when it has none. */
char *xsession_window_title(XSession *session, Window window);

/* The application windows on the screen as a malloc'd array: the window
 * manager's _NET_CLIENT_LIST, else the clients below the root's children. */
size_t xsession_client_windows(XSession *session, Window **windows);

#endif
