#include "upload/wndcompletevideo.h"

#include "settings/settings.h"

WndCompleteVideo::WndCompleteVideo(const QString &path)
    : WndComplete(path, Settings::ModeVideo,
                  {QStringLiteral("WndCompleteVideo"), QStringLiteral("Snaplark Complete Video Recording"),
                   QStringLiteral("Video recording is complete."), true})
{
}
