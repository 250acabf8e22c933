#pragma once

#include <QtGlobal>

#if defined(Q_OS_UNIX)

#include "platform/systemproxy.h"

// Unix desktops publish the proxy through the environment (http_proxy and
// friends), which is also what Qt's system proxy configuration reads there.
class SystemProxyEnvironment : public SystemProxy
{
public:
    bool enabled() const override;
};

#endif
