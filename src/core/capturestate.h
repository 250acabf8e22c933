#pragma once

#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QtGlobal>

// Everything one capture works on: the request the overlay builds, the frozen
// grab of the virtual desktop with its dimmed copy, and the active window.
// All rectangles are in overlay coordinates.
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
    // A state over a finished picture: no request, no active window.
    explicit CaptureState(const QImage &image);

    CaptureState(const CaptureState &) = delete;
    CaptureState &operator=(const CaptureState &) = delete;

    QRect requestRect() const { return m_requestRect; }
    void setRequestRect(const QRect &rect) { m_requestRect = rect; }
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
    int activeWindowHandle() const { return m_activeWindowHandle; }

    // The request rectangle cut out of the plain grab.
    QPixmap croppedGrab() const { return crop(plainGrab(), m_requestRect); }

    // The building blocks, usable on their own.
    // The picture reduced to at most 256 colours, each one darkened.
    static QPixmap dim(const QPixmap &plain);
    // Null for a rectangle that holds no pixel of the picture.
    static QPixmap crop(const QPixmap &plain, const QRect &rect);
    // A window rectangle (desktop coordinates) cut to the virtual desktop and
    // moved into overlay coordinates; null when nothing of it is visible.
    static QRect visibleWindowRect(const QRect &window, const QRect &virtualDesktop);

private:
    QRect m_requestRect;
    int m_requestKind = ActiveWindow;
    int m_requestMode = 0;
    mutable bool m_grabPending = false;
    mutable QPixmap m_plainGrab;
    mutable QPixmap m_dimmedGrab;
    QRect m_activeWindowRect;
    int m_activeWindowHandle = 0;
};
