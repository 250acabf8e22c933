#include "processdriver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <algorithm>
#include <csignal>

bool waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

namespace {

// Still running: exists and is not a zombie.
bool alive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    // "pid (name) state ...": the name may itself hold blanks and brackets
    const QByteArray line = stat.readAll();
    const int close = line.lastIndexOf(')');
    return close > 0 && line.mid(close + 2, 1) != "Z";
}

// Sends SIGKILL to each process and waits until none of them is alive.
bool killAndWait(const QList<qint64> &pids, int timeoutMs = 5000)
{
    for (qint64 pid : pids)
        ::kill(pid_t(pid), SIGKILL);
    return waitUntil([&] { return std::none_of(pids.begin(), pids.end(), alive); }, timeoutMs);
}

} // namespace

namespace ProcessTable {

QStringList commandLine(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return QStringList();
    QByteArray bytes = file.readAll();
    if (bytes.endsWith('\0'))
        bytes.chop(1);
    QStringList arguments;
    for (const QByteArray &argument : bytes.split('\0'))
        arguments.append(QFile::decodeName(argument));
    return arguments;
}

} // namespace ProcessTable

ProgramCopy::ProgramCopy(const QString &folder)
    : m_folder(QDir().mkpath(folder) ? QFileInfo(folder).canonicalFilePath() : QString())
{
    const QDir source(QStringLiteral(SNAPLARK_BIN_DIR));
    m_valid = !m_folder.isEmpty();
    for (const char *name : {"snaplark", "libsnaplarkcore.so", "libExtension.so", "libWin7Extension.so",
                             "snaplark-clipboard-keeper", "snaplarkTray"}) {
        const QString file = QString::fromLatin1(name);
        if (!source.exists(file)) // the second extension library is optional
            continue;
        QFile::remove(QDir(m_folder).filePath(file));
        m_valid = QFile::copy(source.filePath(file), QDir(m_folder).filePath(file)) && m_valid;
    }
    m_valid = m_valid && QFileInfo(program()).isExecutable();
}

std::unique_ptr<ProgramRun> ProgramCopy::newRun(const QProcessEnvironment &environment, const QString &file)
{
    const QString log = QFileInfo(m_folder).dir().filePath(QStringLiteral("%1-%2.log").arg(file).arg(++m_runs));
    return std::make_unique<ProgramRun>(QDir(m_folder).filePath(file), log, environment);
}

ProgramCopy::~ProgramCopy()
{
    killAll();
}

QList<qint64> ProgramCopy::running() const
{
    QList<qint64> pids;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        // a file replaced while it runs reads "name (deleted)", still in the folder
        const QString executable = QFile::symLinkTarget(QStringLiteral("/proc/%1/exe").arg(entry));
        const qint64 pid = entry.toLongLong();
        if (!m_folder.isEmpty() && !executable.isEmpty() && QFileInfo(executable).absolutePath() == m_folder
            && pid != QCoreApplication::applicationPid() && alive(pid))
            pids.append(pid);
    }
    return pids;
}

bool ProgramCopy::killAll()
{
    return killAndWait(running());
}

ProgramRun::ProgramRun(const QString &program, const QString &logFile, const QProcessEnvironment &environment)
    : m_logFile(logFile)
{
    m_process.setProgram(program);
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(logFile, QIODevice::Truncate);
    m_process.setStandardInputFile(QProcess::nullDevice());
}

ProgramRun::~ProgramRun()
{
    if (isRunning()) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool ProgramRun::start(const QStringList &arguments)
{
    m_process.setArguments(arguments);
    m_process.start();
    return m_process.waitForStarted(10000);
}

QString ProgramRun::log() const
{
    QFile file(m_logFile);
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

bool ProgramRun::waitForLog(const QString &text, int timeoutMs) const
{
    return waitUntil([&] { return log().contains(text); }, timeoutMs);
}

bool ProgramRun::waitForFinished(int timeoutMs)
{
    return waitUntil([this] { return !isRunning(); }, timeoutMs);
}
