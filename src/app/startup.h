#pragma once

#include <QStringList>

// What one launch of the program does, decided before any window exists.
namespace Startup {

// The whole process entry: builds the application object and returns the
// exit code.
int run(int argc, char **argv);

// The decisions after the application object exists.  arguments is the full
// argument list (program path first).
int dispatch(const QStringList &arguments, bool otherInstanceRunning);

// The individual launches, each returning the exit code.
int askAboutRunningInstance(const QStringList &arguments);
int uploadFromCommandLine(const QString &path);

} // namespace Startup
