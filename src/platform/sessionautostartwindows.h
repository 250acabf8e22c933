#pragma once

#include <QtGlobal>

#if defined(Q_OS_WIN)

#include "platform/sessionautostart.h"

// A value under the current user's "Run" key, written and deleted with the
// system's reg command.
class SessionAutostartWindows : public SessionAutostart
{
public:
    bool setEnabled(const QString &entryName, const QString &programPath, bool enabled) const override;
    bool isEnabled(const QString &entryName) const override;
};

#endif
