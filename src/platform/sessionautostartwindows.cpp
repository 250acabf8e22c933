#include "platform/sessionautostartwindows.h"

#if defined(Q_OS_WIN)

#include "platform/processlauncher.h"

#include <QChar>
#include <QDir>
#include <QSettings>
#include <QStringList>

namespace {
const QString kRunKey = QStringLiteral("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Run");
}

bool SessionAutostartWindows::setEnabled(const QString &entryName, const QString &programPath,
                                         bool enabled) const
{
    // reg runs detached; its own outcome is not awaited.
    if (!enabled) {
        return ProcessLauncher::instance().startDetached(
            QStringLiteral("reg"), {QStringLiteral("delete"), kRunKey, QStringLiteral("/v"), entryName,
                                    QStringLiteral("/f")});
    }
    // The stored command keeps its quotes so a folder with spaces still starts.
    const QString quoted = QLatin1Char('"') + QDir::toNativeSeparators(programPath) + QLatin1Char('"');
    return ProcessLauncher::instance().startDetached(
        QStringLiteral("reg"), {QStringLiteral("add"), kRunKey, QStringLiteral("/v"), entryName,
                                QStringLiteral("/t"), QStringLiteral("REG_SZ"), QStringLiteral("/d"), quoted,
                                QStringLiteral("/f")});
}

bool SessionAutostartWindows::isEnabled(const QString &entryName) const
{
    const QSettings run(QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"),
                        QSettings::NativeFormat);
    return run.contains(entryName);
}

#endif
