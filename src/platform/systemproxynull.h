#pragma once

#include "platform/systemproxy.h"

// For systems without a known proxy setting: connect directly.
class SystemProxyNull : public SystemProxy
{
public:
    bool enabled() const override { return false; }
};
