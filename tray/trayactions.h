#pragma once

#include <QString>

// What the tray icon, its menu, the hotkey and the floating button do: each
// starts the capture program next to the tray program, through the
// process launcher.
class TrayActions
{
public:
    // programFolder: where the capture program "snaplark" lives.
    explicit TrayActions(const QString &programFolder);

    // A capture run; false when the program could not be started (said in
    // the debug log).
    bool capture() const;
    // The settings dialog alone ("/config").
    bool openSettings() const;
    // The captures folder in the desktop's file manager; created first when
    // missing, so there is always something to show.
    bool openCapturesFolder() const;

    QString program() const;

private:
    bool start(const QStringList &arguments) const;

    QString m_folder;
};
