#pragma once

#include "core/screengeometry.h"

#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QtGlobal>

class QPainter;

// Everything one capture works on: the request the overlay builds, the frozen
// grab of the virtual desktop with its dimmed copy, and the active window.
// All rectangles are in overlay coordinates, in logical pixels as the windows
// see them; the grabs hold the screens' device pixels, and the state maps
// between the two with the screen layout the grab was made with.
//
// The dimmed grab costs a full-desktop colour reduction, so it is made only
// when first asked for (or ahead of time with prepareDimmedGrab()): the
// overlay can show the plain grab without waiting for it.
class CaptureState
{
public:
    enum Kind { ActiveWindow = 0, FullScreen = 1, Region = 2 };
    // When the screens are grabbed: at construction, or when the plain grab is
    // first asked for (an overlay mapped before its picture takes it then).
    enum class Grab { Now, WhenFirstNeeded };

    // Finds the active window and grabs the screens.  windowId is the caller's
    // own window, the handle to fall back on when the active one is unknown.
    explicit CaptureState(WId windowId, Grab grab = Grab::Now);
    // A state over a finished picture: no request, no active window.  The
    // picture is one screen at its own device pixel ratio, or laid out as
    // `layout` (whose deviceDesktopRect it fills).
    explicit CaptureState(const QImage &image);
    CaptureState(const QImage &image, const ScreenGeometry::Layout &layout);

    CaptureState(const CaptureState &) = delete;
    CaptureState &operator=(const CaptureState &) = delete;

    QRect requestRect() const { return m_requestRect; }
    void setRequestRect(const QRect &rect);
    // For a caller that knows the device pixels exactly (a window's own).
    void setRequestRect(const QRect &rect, const QRect &device);
    // The request in device overlay pixels, the part of the grab it covers.
    QRect requestDeviceRect() const { return m_requestDeviceRect; }
    // The request as the window system counts: device pixels, desktop
    // coordinates; what native code (the video recording) is given.
    QRect requestScreenRect() const;
    int requestKind() const { return m_requestKind; }
    void setRequestKind(int kind) { m_requestKind = kind; }
    int requestMode() const { return m_requestMode; }
    void setRequestMode(int mode) { m_requestMode = mode; }

    QPixmap plainGrab() const;
    bool hasPlainGrab() const { return !m_grabPending; }
    QPixmap dimmedGrab() const;
    // Makes the dimmed grab now, e.g. right after the overlay was painted.
    void prepareDimmedGrab() const;
    bool hasDimmedGrab() const { return !m_grabPending && (!m_dimmedGrab.isNull() || m_plainGrab.isNull()); }

    QRect activeWindowRect() const { return m_activeWindowRect; }
    QRect activeWindowDeviceRect() const { return m_activeWindowDeviceRect; }
    int activeWindowHandle() const { return m_activeWindowHandle; }

    // The request rectangle cut out of the plain grab, in device pixels.
    QPixmap croppedGrab() const { return crop(plainGrab(), m_requestDeviceRect); }

    const ScreenGeometry::Layout &layout() const { return m_layout; }
    // A logical overlay point in the grab's device pixels.
    QPoint toDevice(const QPoint &point) const { return ScreenGeometry::toDevice(m_layout, point); }
    // Paints the grab's (plain or dimmed) pixels under `area` (logical overlay
    // coordinates) onto that area, screen by screen; each part lands on whole
    // device pixels, so what is shown is exactly what a crop of it saves.
    void drawGrab(QPainter &painter, const QPixmap &grab, const QRect &area) const;

    // The building blocks, usable on their own.
    // The picture reduced to at most 256 colours, each one darkened.
    static QPixmap dim(const QPixmap &plain);
    // Null for a rectangle that holds no pixel of the picture.
    static QPixmap crop(const QPixmap &plain, const QRect &rect);
    // A window rectangle (desktop coordinates) cut to the virtual desktop and
    // moved into overlay coordinates; null when nothing of it is visible.
    static QRect visibleWindowRect(const QRect &window, const QRect &virtualDesktop);

private:
    ScreenGeometry::Layout m_layout;
    QRect m_requestRect;
    QRect m_requestDeviceRect;
    int m_requestKind = ActiveWindow;
    int m_requestMode = 0;
    mutable bool m_grabPending = false;
    mutable QPixmap m_plainGrab;
    mutable QPixmap m_dimmedGrab;
    QRect m_activeWindowRect;
    QRect m_activeWindowDeviceRect;
    int m_activeWindowHandle = 0;
};
