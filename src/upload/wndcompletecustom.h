#pragma once

#include "upload/wndcomplete.h"

// Ends an animated GIF recording.
class WndCompleteCustom : public WndComplete
{
    Q_OBJECT
public:
    // kind: the recording's capture-mode code; the GIF recorder passes 2.
    WndCompleteCustom(const QString &path, int kind);
};
