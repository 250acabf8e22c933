#pragma once

// An X window without a background (Qt makes its windows so) that has not
// been painted yet leaves the screen as it was.  Mapped like that, the
// overlay freezes the desktop on the screen at once, and a grab taken after
// the map still finds the desktop in the frame buffer, so the overlay can
// appear before its picture exists.
//
// That holds only where windows draw straight to the screen: under a
// compositing manager such a window shows undefined pixels (usually black).
namespace FrozenDesktop {

// Whether an unpainted window shows the desktop beneath it: an X11 display
// with no compositing manager on the default screen.
bool unpaintedWindowShowsDesktop();

} // namespace FrozenDesktop
