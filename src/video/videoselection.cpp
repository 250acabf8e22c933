#include "video/videoselection.h"

#include "core/capturestate.h"
#include "core/screengeometry.h"

VideoSelection VideoSelection::fromState(const CaptureState &state)
{
    VideoSelection selection;
    selection.kind = state.requestKind();
    selection.region = state.requestRect().translated(ScreenGeometry::virtualDesktopRect(state.layout()).topLeft());
    selection.screenRegion = state.requestScreenRect();
    selection.windowHandle = state.activeWindowHandle();
    return selection;
}

bool VideoSelection::countsDown() const
{
    return kind != CaptureState::ActiveWindow;
}

bool VideoSelection::framed() const
{
    return kind != CaptureState::ActiveWindow && kind != CaptureState::FullScreen;
}

bool VideoSelection::fullScreen() const
{
    return kind == CaptureState::FullScreen;
}

QRect VideoSelection::recordedRegion() const
{
    return framed() ? screenRegion : QRect();
}

int VideoSelection::recordedWindow() const
{
    return kind == CaptureState::ActiveWindow ? windowHandle : 0;
}

QRect VideoSelection::borderGeometry() const
{
    return region.adjusted(-3, -3, 3, 3);
}
