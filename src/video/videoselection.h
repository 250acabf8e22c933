#pragma once

#include <QRect>

class CaptureState;

// What the overlay selected for a video, and what follows from it: which
// recording the extension library is asked for, whether a countdown comes
// first, and where the red border goes.
struct VideoSelection
{
    // CaptureState's kinds: 0 a window, 1 the whole screen, 2 a region.
    int kind = 2;
    // The region in desktop coordinates, logical pixels as windows are placed.
    QRect region;
    // The same region in the window system's device pixels, what is recorded.
    QRect screenRegion;
    int windowHandle = 0;

    static VideoSelection fromState(const CaptureState &state);

    // A window is recorded at once: the user picked it as it stands.
    bool countsDown() const;
    bool framed() const;
    bool fullScreen() const;
    // The arguments of the library's call: null for a window or the screen.
    QRect recordedRegion() const;
    int recordedWindow() const;
    // The border's window: its 2-pixel line 2 to 3 pixels outside the region,
    // with a pixel's gap that the library's rounding to an even size may take.
    QRect borderGeometry() const;
};
