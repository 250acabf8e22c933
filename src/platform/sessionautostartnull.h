#pragma once

#include "platform/sessionautostart.h"

// For systems without a known autostart mechanism: nothing can be set.
class SessionAutostartNull : public SessionAutostart
{
public:
    bool setEnabled(const QString &, const QString &, bool) const override { return false; }
    bool isEnabled(const QString &) const override { return false; }
};
