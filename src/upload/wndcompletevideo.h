#pragma once

#include "upload/wndcomplete.h"

// Ends a video recording.
class WndCompleteVideo : public WndComplete
{
    Q_OBJECT
public:
    explicit WndCompleteVideo(const QString &path);
};
