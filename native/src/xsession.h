/* A connection to the X server for one library call (or for the hook
 * thread), and the window lookups the library functions share. */
#ifndef SNAPLARK_XSESSION_H
#define SNAPLARK_XSESSION_H

#include <X11/Xlib.h>
#include <stddef.h>

typedef struct {
    Display *display;
    Window root;
    /* set when the connection broke (the server went away); every further
     * request on it fails */
    volatile int broken;
} XSession;

typedef struct {
    int x, y, width, height;
} XSessionRect;

/* Connects to the display named by DISPLAY.  While the session is open, X
 * errors on it are ignored instead of ending the process (the windows we look
 * at may vanish at any time), and a lost connection marks the session broken
 * instead of ending the process.  Any thread may own a session; each session
 * must be used by one thread only.  Returns 0 when there is no display. */
int xsession_open(XSession *session);
/* Flushes pending requests and closes the connection; a broken one is
 * only let go (Xlib cannot close it safely). */
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

/* Whether the window exists and is shown. */
int xsession_viewable(XSession *session, Window window);
/* A client window's outer rectangle in root coordinates, decorations
 * included; 0 when the window is gone. */
int xsession_outer_rect(XSession *session, Window client, XSessionRect *rect);

/* Whether a window manager runs that lists the atom in _NET_SUPPORTED. */
int xsession_wm_supports(XSession *session, const char *name);

/* The window's title as malloc'd UTF-8 (_NET_WM_NAME, else WM_NAME); NULL
 * when it has none. */
char *xsession_window_title(XSession *session, Window window);

/* The top-level application windows, mapped or not, whose title is exactly
 * title (UTF-8), as a malloc'd array. */
size_t xsession_windows_titled(XSession *session, const char *title, Window **windows);

/* Sends a format-32 ClientMessage about window to target. */
void xsession_send_client_message(XSession *session, Window target, Window window, Atom type,
                                  long mask, const long data[3]);
/* Delivers a window message (message number, wParam, lParam) to the window
 * in the layout of snaplarkhookmessage.h. */
void xsession_post_window_message(XSession *session, Window window, unsigned msg,
                                  unsigned wParam, unsigned lParam);
/* Asks the window manager to activate the window on the user's behalf,
 * or raises it when no window manager takes such requests. */
void xsession_activate(XSession *session, Window window);

#endif
