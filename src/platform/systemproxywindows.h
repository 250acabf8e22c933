#pragma once

#include <QtGlobal>

#if defined(Q_OS_WIN)

#include "platform/systemproxy.h"

// Reads the "ProxyEnable" switch of the Internet settings in the registry.
class SystemProxyWindows : public SystemProxy
{
public:
    bool enabled() const override;
};

#endif
