#pragma once

#include <functional>

class CaptureState;

// Hands a capture request on to completion, an editor or a recorder (the
// overlay's WndMain::dispatchCapture).  Editors and recorders get one instead
// of the overlay itself, so they need nothing from src/capture.  With
// selectActions set the current action pair is chosen anew; an editor passes
// false after setting it itself.
using CaptureDispatch = std::function<void(CaptureState *state, bool selectActions)>;
