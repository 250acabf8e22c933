#pragma once

#include <QString>

// The few services the program needs from the desktop it runs on, one call
// each.  The backend for the running system is chosen when building.
namespace Platform {

// Whether the user has switched on a system-wide proxy.
bool systemProxyEnabled();

// When the system proxy is switched on, sends all later network requests
// through the system's proxy configuration; otherwise changes nothing.
void applySystemProxyIfEnabled();

// Opens the file manager with the file selected.  Where no file manager can
// be asked to do that, opens the folder holding the file instead.
void showFileInFolder(const QString &path);

// Makes the program at programPath (started without arguments) start with the
// user's session, or stops that.  entryName identifies the entry, one per
// program.  Returns false when the change could not be made or handed on.
bool setStartWithSession(const QString &entryName, const QString &programPath, bool enabled);

// Whether the entry named entryName currently starts with the session.
bool isStartWithSessionEnabled(const QString &entryName);

} // namespace Platform
