#include "snaplarkextension.h"
#include "utf16.h"
#include "xsession.h"

#include <stdlib.h>

static void deliver(XSession *session, Window window, unsigned msg, unsigned wParam,
                    unsigned lParam)
{
    if (msg == SNAPLARK_WM_SYSCOMMAND && wParam == SNAPLARK_SC_MINIMIZE) {
        XIconifyWindow(session->display, window, DefaultScreen(session->display));
    } else if (msg == SNAPLARK_WM_SYSCOMMAND && wParam == SNAPLARK_SC_RESTORE) {
        xsession_activate(session, window);
    } else if (msg == SNAPLARK_WM_CLOSE) {
        const long data[3] = {(long)xsession_atom(session, "WM_DELETE_WINDOW"), CurrentTime, 0};
        xsession_send_client_message(session, window, window,
                                     xsession_atom(session, "WM_PROTOCOLS"), NoEventMask, data);
    } else {
        xsession_post_window_message(session, window, msg, wParam, lParam);
    }
}

bool SendSignal(const char16_t *windowName, unsigned msg, unsigned wParam, unsigned lParam)
{
    char *title = snaplark_utf16_to_utf8(windowName);
    if (!title || !*title) {
        free(title);
        return false;
    }
    size_t count = 0;
    XSession session;
    if (xsession_open(&session)) {
        Window *windows = NULL;
        count = xsession_windows_titled(&session, title, &windows);
        for (size_t i = 0; i < count; ++i)
            deliver(&session, windows[i], msg, wParam, lParam);
        free(windows);
        xsession_close(&session);
    }
    free(title);
    return count > 0;
}
