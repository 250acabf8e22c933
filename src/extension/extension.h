#pragma once

#include <QRect>
#include <QString>

// The program's access to the run-time extension libraries libExtension.so
// and libWin7Extension.so in the executable's folder.  The libraries are
// loaded, and their functions looked up, on the first call of any wrapper.
// A missing library or function never fails the caller: its wrapper returns
// false, an empty text or the null rectangle, or does nothing.
class Extension
{
public:
    Extension() = delete;

    // The active window's outer rectangle (decorations included) and handle;
    // false with the null rectangle and handle 0 when there is none.
    static bool getActiveWindowRect(QRect *rect, int *handle);
    // The extension of the video files the library writes, without dot.
    static QString videoFileExtension();
    // Region (the window system's device pixels and desktop coordinates):
    // fullScreen false, the region, handle 0; full screen: true, a
    // null region, 0; window: false, a null region, the handle.
    static bool startVideoCapture(bool fullScreen, const QRect &region, int windowHandle,
                                  const QString &path, int frameRate, bool sound);
    static void stopVideoCapture();
    // Ends every other running instance of the program.
    static void killOldProcesses();
    static bool createJumpMenu(const QString &appDir, const QString &capturesUrl);
    // Delivers a window message to the windows with that title; true when one
    // was found.
    static bool sendSignal(const QString &windowName, unsigned msg, unsigned wParam,
                           unsigned lParam);
    // While enabled, keys and wheel turns reach the window with that title as
    // hook messages (see extension/hookmessage.h).
    static bool setHooks(bool enable, const QString &windowTitle);
    static bool sendFocus(int x, int y);
    // Video recording needs both StartVideoCapture and StopVideoCapture.
    static bool videoAvailable();

    // Test seam: forgets the loaded libraries; the next call of any wrapper
    // loads them from the given folder instead of the executable's.
    static void reloadForTesting(const QString &folder);
};
