/*
 * Window messages that the extension library delivers to the program's
 * windows (keys and wheel turns from its hooks, and SendSignal's messages
 * that have no X11 meaning of their own) travel as X11 ClientMessage events
 * sent to the window:
 *
 *   message_type  the atom SNAPLARK_WINDOW_MESSAGE_ATOM
 *   format        32
 *   data.l[0]     message number
 *   data.l[1]     wParam
 *   data.l[2]     lParam
 *
 * Shared by the program and the libraries.
 */
#ifndef SNAPLARKHOOKMESSAGE_H
#define SNAPLARKHOOKMESSAGE_H

#define SNAPLARK_WINDOW_MESSAGE_ATOM "_SNAPLARK_WINDOW_MESSAGE"
#define SNAPLARK_WINDOW_MESSAGE_FORMAT 32
#define SNAPLARK_WINDOW_MESSAGE_INDEX 0
#define SNAPLARK_WINDOW_WPARAM_INDEX 1
#define SNAPLARK_WINDOW_LPARAM_INDEX 2

/* A key went down: wParam holds the Windows virtual-key code. */
#define SNAPLARK_HOOK_KEYSTROKE_MESSAGE 0x465u
/* A mouse event: wParam SNAPLARK_HOOK_WHEEL_WPARAM for a wheel turn, whose
 * direction is in lParam. */
#define SNAPLARK_HOOK_MOUSE_MESSAGE 0x466u
#define SNAPLARK_HOOK_WHEEL_WPARAM 0x020Au
#define SNAPLARK_HOOK_WHEEL_UP_LPARAM 0x001E0000u
#define SNAPLARK_HOOK_WHEEL_DOWN_LPARAM 0x3FE20000u

#endif
