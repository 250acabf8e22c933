#pragma once

#include "upload/wndcomplete.h"

// Ends an animated GIF recording.
class WndCompleteCustom : public WndComplete
{
    Q_OBJECT
public:
    // kind: the recording's capture-mode code (2, GIF); the upload takes the
    // mode from the settings, so the dialog needs nothing more from it.
    WndCompleteCustom(const QString &path, int kind);
};
