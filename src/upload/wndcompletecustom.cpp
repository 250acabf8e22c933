#include "upload/wndcompletecustom.h"

WndCompleteCustom::WndCompleteCustom(const QString &path, int /*kind*/)
    : WndComplete(path,
                  {QStringLiteral("WndCompleteCustom"), QStringLiteral("Snaplark Complete Gif Recording"),
                   QStringLiteral("Animated GIF recording is complete."), false})
{
}
