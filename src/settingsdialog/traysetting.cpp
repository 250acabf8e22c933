#include "settingsdialog/traysetting.h"

#include "extension/extension.h"
#include "platform/platform.h"
#include "platform/processlauncher.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFileInfo>

namespace TraySetting {
namespace {

const char kTrayWindow[] = "SnaplarkTrayIcon";
// The session's start entry carries the program's own name.
const char kAutostartEntry[] = "Snaplark";
constexpr unsigned kCloseMessage = 0x10;

} // namespace

QString trayProgramPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/snaplarkTray");
}

void apply(bool enabled)
{
    Extension::sendSignal(QLatin1String(kTrayWindow), kCloseMessage, 0, 0);
    const QString program = trayProgramPath();
    // A build without the tray program has nothing to start now; the entry
    // still records the choice for when it is installed.
    if (enabled && QFileInfo(program).isExecutable())
        ProcessLauncher::instance().startDetached(program, QStringList());
    if (!Platform::setStartWithSession(QLatin1String(kAutostartEntry), program, enabled))
        qDebug("Unable to change the tray program's start with the session");
}

} // namespace TraySetting
