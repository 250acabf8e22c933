#include "platform/processlauncher.h"

#include <QDesktopServices>
#include <QProcess>

namespace {
ProcessLauncher *g_current = nullptr;
}

bool ProcessLauncher::startDetached(const QString &program, const QStringList &arguments)
{
    return QProcess::startDetached(program, arguments);
}

bool ProcessLauncher::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

ProcessLauncher &ProcessLauncher::instance()
{
    static ProcessLauncher standard;
    return g_current ? *g_current : standard;
}

void ProcessLauncher::setInstance(ProcessLauncher *launcher)
{
    g_current = launcher;
}
