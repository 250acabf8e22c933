#pragma once

#include <QString>

// The tray program as the settings dialog switches it on or off: the running
// one is asked to close, then it is started afresh and made to start with
// the session, or no longer started.
namespace TraySetting {

// The tray program, "snaplarkTray" beside this program's executable.
QString trayProgramPath();

void apply(bool enabled);

} // namespace TraySetting
