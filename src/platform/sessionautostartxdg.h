#pragma once

#include <QtGlobal>

#if defined(Q_OS_UNIX)

#include "platform/sessionautostart.h"

// An XDG autostart entry, $XDG_CONFIG_HOME/autostart/<entry name>.desktop
// (~/.config/autostart by default), which every freedesktop session starts.
class SessionAutostartXdg : public SessionAutostart
{
public:
    bool setEnabled(const QString &entryName, const QString &programPath, bool enabled) const override;
    bool isEnabled(const QString &entryName) const override;
};

#endif
