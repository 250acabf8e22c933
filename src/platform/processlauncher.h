#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// Starts programs and opens addresses with the desktop's default handler.
// Every place in the program that launches something goes through the current
// launcher, so tests can install a recording one.
class ProcessLauncher
{
public:
    virtual ~ProcessLauncher() = default;

    virtual bool startDetached(const QString &program, const QStringList &arguments);
    virtual bool openUrl(const QUrl &url);

    // The launcher in use; the default one really starts processes.
    static ProcessLauncher &instance();
    // Installs a launcher (not owned); nullptr restores the default.
    static void setInstance(ProcessLauncher *launcher);
};
