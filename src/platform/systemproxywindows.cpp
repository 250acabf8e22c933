#include "platform/systemproxywindows.h"

#if defined(Q_OS_WIN)

#include <QSettings>

bool SystemProxyWindows::enabled() const
{
    const QSettings internet(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"),
        QSettings::NativeFormat);
    return internet.value(QStringLiteral("ProxyEnable"), QStringLiteral("0")).toInt() != 0;
}

#endif
