#include "upload/wndcompletevideo.h"

WndCompleteVideo::WndCompleteVideo(const QString &path)
    : WndComplete(path,
                  {QStringLiteral("WndCompleteVideo"), QStringLiteral("Snaplark Complete Video Recording"),
                   QStringLiteral("Video recording is complete."), true})
{
}
