#pragma once

class QString;

// Starts a program whenever the user's desktop session starts.
class SessionAutostart
{
public:
    virtual ~SessionAutostart() = default;
    // Returns false when the change could not be made or handed on.
    virtual bool setEnabled(const QString &entryName, const QString &programPath, bool enabled) const = 0;
    virtual bool isEnabled(const QString &entryName) const = 0;
};
