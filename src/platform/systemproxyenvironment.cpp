#include "platform/systemproxyenvironment.h"

#if defined(Q_OS_UNIX)

#include <QString>

bool SystemProxyEnvironment::enabled() const
{
    // no_proxy alone only lists exceptions and does not switch a proxy on.
    static const char *const names[] = {"http_proxy", "https_proxy", "all_proxy",
                                        "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY"};
    for (const char *name : names) {
        if (!qEnvironmentVariable(name).trimmed().isEmpty())
            return true;
    }
    return false;
}

#endif
