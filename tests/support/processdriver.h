#pragma once

#include <QList>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// Helpers for tests that run the real program as a separate process.

// Waits while the test's own event loop runs (so its windows, clipboard and
// child processes are served) until the condition holds; false on timeout.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs);

namespace ProcessTable {
// The argument vector another process was started with (program first), from /proc.
QStringList commandLine(qint64 pid);
} // namespace ProcessTable

// A private copy of the program's folder (the program, its libraries, the
// clipboard keeper and the tray program).  Ending "every other instance" goes by executable file,
// so a test that starts several instances never reaches those of tests
// running beside it.  Whatever still runs a file of the copy is killed on
// destruction.
class ProgramRun;

class ProgramCopy
{
public:
    // Makes the folder when it is missing.
    explicit ProgramCopy(const QString &folder);
    ~ProgramCopy();

    bool isValid() const { return m_valid; }
    QString program() const { return m_folder + QStringLiteral("/snaplark"); }

    // Processes running any file of the copy.
    QList<qint64> running() const;
    // Kills them all; true when none is left.
    bool killAll();
    // A run of the program, or of another file of the copy, with a log of
    // its own beside the copy's folder.
    std::unique_ptr<ProgramRun> newRun(const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
                                       const QString &file = QStringLiteral("snaplark"));

private:
    QString m_folder;
    bool m_valid = false;
    int m_runs = 0;
};

// One run of the program.  Its output goes to a log file rather than a pipe,
// so a process it starts detached can go on writing after the run has ended.
// A run still going on destruction is killed.
class ProgramRun
{
public:
    ProgramRun(const QString &program, const QString &logFile,
               const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
    ~ProgramRun();

    bool start(const QStringList &arguments = QStringList());
    qint64 pid() const { return m_process.processId(); }
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }

    QString log() const;
    bool waitForLog(const QString &text, int timeoutMs = 15000) const;

    bool waitForFinished(int timeoutMs = 20000);
    int exitCode() const { return m_process.exitCode(); }
    QProcess::ExitStatus exitStatus() const { return m_process.exitStatus(); }

private:
    QProcess m_process;
    QString m_logFile;
};
