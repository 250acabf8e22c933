#include "snaplarkextension.h"
#include "snaplarkhookmessage.h"
#include "utf16.h"
#include "xsession.h"

#include <stdlib.h>
#include <string.h>

static void send_client_message(XSession *session, Window target, Window window,
                                Atom type, long mask, const long data[3])
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

static void restore(XSession *session, Window window)
{
    if (xsession_wm_supports(session, "_NET_ACTIVE_WINDOW")) {
        /* source "pager": the request comes on the user's behalf, so focus
         * stealing prevention does not apply */
        const long data[3] = {2, CurrentTime, 0};
        send_client_message(session, session->root, window,
                            xsession_atom(session, "_NET_ACTIVE_WINDOW"),
                            SubstructureRedirectMask | SubstructureNotifyMask, data);
    } else {
        XMapRaised(session->display, window);
    }
}

static void deliver(XSession *session, Window window, unsigned msg, unsigned wParam,
                    unsigned lParam)
{
    if (msg == SNAPLARK_WM_SYSCOMMAND && wParam == SNAPLARK_SC_MINIMIZE) {
        XIconifyWindow(session->display, window, DefaultScreen(session->display));
    } else if (msg == SNAPLARK_WM_SYSCOMMAND && wParam == SNAPLARK_SC_RESTORE) {
        restore(session, window);
    } else if (msg == SNAPLARK_WM_CLOSE) {
        const long data[3] = {(long)xsession_atom(session, "WM_DELETE_WINDOW"), CurrentTime, 0};
        send_client_message(session, window, window, xsession_atom(session, "WM_PROTOCOLS"),
                            NoEventMask, data);
    } else {
        const long data[3] = {(long)msg, (long)wParam, (long)lParam};
        send_client_message(session, window, window,
                            xsession_atom(session, SNAPLARK_WINDOW_MESSAGE_ATOM), NoEventMask,
                            data);
    }
}

bool SendSignal(const char16_t *windowName, unsigned msg, unsigned wParam, unsigned lParam)
{
    char *title = snaplark_utf16_to_utf8(windowName);
    if (!title || !*title) {
        free(title);
        return false;
    }
    bool found = false;
    XSession session;
    if (xsession_open(&session)) {
        Window *windows = NULL;
        const size_t count = xsession_client_windows(&session, &windows);
        for (size_t i = 0; i < count; ++i) {
            char *name = xsession_window_title(&session, windows[i]);
            if (name && strcmp(name, title) == 0) {
                deliver(&session, windows[i], msg, wParam, lParam);
                found = true;
            }
            free(name);
        }
        free(windows);
        xsession_close(&session);
    }
    free(title);
    return found;
}
