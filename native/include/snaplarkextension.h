/*
 * Functions of the run-time extension libraries libExtension.so and
 * libWin7Extension.so.  The program never links them: it looks each function
 * up by name when it first needs one, so a library may leave out functions it
 * cannot offer.  C linkage; text is NUL-terminated UTF-16 (16-bit code units,
 * not wchar_t, which is 32 bits wide here); bool is one byte.
 *
 * This header is shared by the program (C++) and the libraries (C).
 */
#ifndef SNAPLARKEXTENSION_H
#define SNAPLARKEXTENSION_H

#ifndef __cplusplus
#include <stdbool.h>
#include <uchar.h>
#endif

#define SNAPLARK_EXTENSION_API __attribute__((visibility("default")))

/* Window messages the program asks SendSignal to deliver. */
#define SNAPLARK_WM_CLOSE 0x0010u
#define SNAPLARK_WM_SYSCOMMAND 0x0112u
#define SNAPLARK_SC_MINIMIZE 0xF020u
#define SNAPLARK_SC_RESTORE 0xF120u

#ifdef __cplusplus
extern "C" {
#endif

/* The outer rectangle (decorations included, root coordinates) and the
 * window id of the active window. */
typedef bool (*GetActiveWindowRectFn)(int *x, int *y, int *width, int *height, int *handle);
/* The video file extension without dot, truncated to capacity - 1 units. */
typedef void (*GetVideoFileExtensionFn)(char16_t *buffer, int capacity);
/* Starts recording a region, the full screen or one window (its current
 * outer rectangle) into an MP4 file at path; true once frames are being
 * recorded.  One recording at a time.  Without a sound server the recording
 * goes on without sound. */
typedef bool (*StartVideoCaptureFn)(int fullScreen, int x, int y, int width, int height,
                                    int windowHandle, const char16_t *path, int frameRate,
                                    bool sound);
/* Returns when the file is complete. */
typedef void (*StopVideoCaptureFn)(void);
/* Looked up by the program but not called. */
typedef bool (*IsVideoFileValidFn)(const char16_t *path);
/* Other processes running the caller's executable file end. */
typedef void (*KillOldProcessesFn)(void);
/* Looked up by the program but not called; the tray program owns the hotkey. */
typedef bool (*SetHotkeyFn)(unsigned modifiers, unsigned key);
/* Writes the user's desktop entry for the program, with an action that
 * opens capturesUrl; the file is left alone when it holds that already. */
typedef bool (*CreateJumpMenuFn)(const char16_t *appDir, const char16_t *capturesUrl);
/* Delivers a window message to every top-level window with that title;
 * true when one was found. */
typedef bool (*SendSignalFn)(const char16_t *windowName, unsigned msg, unsigned wParam,
                             unsigned lParam);
/* While enabled, keys and wheel turns anywhere reach the windows with that
 * title as hook messages (snaplarkhookmessage.h); enabling again replaces
 * the title. */
typedef bool (*SetHooksFn)(bool enable, int reserved, const char16_t *windowTitle);
/* Focuses the top-level window that a click at the point would reach. */
typedef bool (*SendFocusFn)(int x, int y);

SNAPLARK_EXTENSION_API bool GetActiveWindowRect(int *x, int *y, int *width, int *height,
                                                int *handle);
SNAPLARK_EXTENSION_API void GetVideoFileExtension(char16_t *buffer, int capacity);
SNAPLARK_EXTENSION_API bool StartVideoCapture(int fullScreen, int x, int y, int width,
                                              int height, int windowHandle,
                                              const char16_t *path, int frameRate, bool sound);
SNAPLARK_EXTENSION_API void StopVideoCapture(void);
SNAPLARK_EXTENSION_API bool IsVideoFileValid(const char16_t *path);
SNAPLARK_EXTENSION_API void KillOldProcesses(void);
SNAPLARK_EXTENSION_API bool SetHotkey(unsigned modifiers, unsigned key);
SNAPLARK_EXTENSION_API bool CreateJumpMenu(const char16_t *appDir, const char16_t *capturesUrl);
SNAPLARK_EXTENSION_API bool SendSignal(const char16_t *windowName, unsigned msg,
                                       unsigned wParam, unsigned lParam);
SNAPLARK_EXTENSION_API bool SetHooks(bool enable, int reserved, const char16_t *windowTitle);
SNAPLARK_EXTENSION_API bool SendFocus(int x, int y);

#ifdef __cplusplus
}
#endif

#endif
