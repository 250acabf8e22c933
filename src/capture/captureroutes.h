#pragma once

#include "core/capturedispatch.h"

#include <functional>

class CaptureState;
class QWidget;

// The windows the overlay hands a capture on to.  They are features beside
// capture, so the app layer fills these in at startup (Startup::run); a route
// left empty ends the run when it is taken.
struct CaptureRoutes
{
    // Opens a window over the overlay (its parent) that works on `state` and
    // hands its result back through `dispatch`.
    using Opener = std::function<QWidget *(CaptureState *state, QWidget *overlay, CaptureDispatch dispatch)>;

    Opener screenshotEditor;
    // Opens the GIF recorder for the state's request, shown and parentless;
    // nullptr when it cannot record, its failure reported and the run ending.
    Opener gifRecorder;

    // Opens the scrolling capture for the state's request with its search
    // constants, shown and parentless; it hands its picture to an editor that
    // dispatches through `dispatch`.
    using ScrollOpener = std::function<QWidget *(CaptureState *state, CaptureDispatch dispatch, int rowsToVerify,
                                                 int exactRunNeeded, double exactThreshold, double nearThreshold)>;
    ScrollOpener scrollRecorder;

    // Opens the video quality dialog for the state's request, shown and
    // parentless; OK there starts the recording.
    Opener videoRecorder;

    // Runs the settings dialog modally over the overlay (its parent) on the
    // given tab: 0 the program settings, 1 the profile.
    std::function<void(QWidget *overlay, int tab)> settings;
};
