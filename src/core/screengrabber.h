#pragma once

#include <QImage>
#include <QPixmap>
#include <QRect>

// Grabs a rectangle of the desktop (desktop coordinates, device pixels: the
// screens' own pixels at any scale factor).  On X11 the pixels
// come straight from the server through a shared-memory segment (MIT-SHM),
// which avoids pushing a whole 4K desktop through the X socket; elsewhere, or
// when the server cannot serve the request that way, Qt's screen grab is used.
// Both give the same pixels.
namespace ScreenGrabber {

// The fast path.  A null image when MIT-SHM cannot serve this rectangle (not
// on X11, remote server, unusual pixel format, rectangle outside the root
// window).  Otherwise Format_RGB32 with opaque alpha, whose
// pixels stay in the shared memory until the image and its copies are gone.
QImage grabSharedMemory(const QRect &rect);

// Sends the fast path's request for rect now, so that the server copies while
// the caller goes on.  The next grabSharedMemory() collects the pixels when it
// asks for the same rectangle and throws them away otherwise.
void sendEarly(const QRect &rect);

// Qt's grab of the root window from the primary screen, with device pixel
// ratio 1.
QPixmap grabWithScreen(const QRect &rect);

// The fast path when it works, else Qt's grab.
QPixmap grab(const QRect &rect);

} // namespace ScreenGrabber
