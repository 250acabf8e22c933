#pragma once

// Tells whether the user's desktop routes network traffic through a proxy.
class SystemProxy
{
public:
    virtual ~SystemProxy() = default;
    virtual bool enabled() const = 0;
};
