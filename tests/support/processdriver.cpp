#include "processdriver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <climits>
#include <unistd.h>

bool waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    return QTest::qWaitFor(condition, timeoutMs);
}

namespace ProcessTable {
namespace {

// The executable file of a process; empty when it cannot be read (another
// user's process, a zombie, one that has just ended).
QString executableOf(const QString &pid)
{
    char target[PATH_MAX];
    const QByteArray link = QFile::encodeName(QStringLiteral("/proc/%1/exe").arg(pid));
    const ssize_t length = ::readlink(link.constData(), target, sizeof target - 1);
    if (length <= 0)
        return QString();
    QString path = QFile::decodeName(QByteArray(target, int(length)));
    // a file replaced while it runs
    const QString deleted = QStringLiteral(" (deleted)");
    if (path.endsWith(deleted))
        path.chop(deleted.size());
    return path;
}

QList<qint64> matching(const std::function<bool(const QString &executable)> &wanted)
{
    QList<qint64> pids;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &entry : entries) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        if (!number || pid == qint64(::getpid()))
            continue;
        const QString executable = executableOf(entry);
        if (!executable.isEmpty() && wanted(executable) && alive(pid))
            pids.append(pid);
    }
    return pids;
}

} // namespace

QList<qint64> running(const QString &executable)
{
    const QString wanted = QFileInfo(executable).canonicalFilePath();
    return matching([&](const QString &path) { return path == wanted; });
}

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

bool killAndWait(const QList<qint64> &pids, int timeoutMs)
{
    for (qint64 pid : pids)
        ::kill(pid_t(pid), SIGKILL);
    return waitUntil([&] { return std::none_of(pids.begin(), pids.end(), alive); }, timeoutMs);
}

} // namespace ProcessTable

namespace {
const char *const kProgramFiles[] = {"snaplark", "libsnaplarkcore.so", "libExtension.so",
                                     "libWin7Extension.so", "snaplark-clipboard-keeper"};
} // namespace

ProgramCopy::ProgramCopy(const QString &folder)
    : m_folder(QFileInfo(folder).canonicalFilePath())
{
    const QDir source(QStringLiteral(SNAPLARK_BIN_DIR));
    m_valid = !m_folder.isEmpty();
    for (const char *name : kProgramFiles) {
        const QString file = QString::fromLatin1(name);
        // the second extension library is optional
        if (!source.exists(file))
            continue;
        QFile::remove(QDir(m_folder).filePath(file));
        m_valid = QFile::copy(source.filePath(file), QDir(m_folder).filePath(file)) && m_valid;
    }
    m_valid = m_valid && QFileInfo(program()).isExecutable();
}

ProgramCopy::~ProgramCopy()
{
    killAll();
}

QString ProgramCopy::program() const
{
    return m_folder + QStringLiteral("/snaplark");
}

QString ProgramCopy::keeper() const
{
    return m_folder + QStringLiteral("/snaplark-clipboard-keeper");
}

QList<qint64> ProgramCopy::running() const
{
    if (m_folder.isEmpty())
        return QList<qint64>();
    return ProcessTable::matching(
        [this](const QString &path) { return QFileInfo(path).absolutePath() == m_folder; });
}

bool ProgramCopy::killAll()
{
    return ProcessTable::killAndWait(running());
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
    kill();
}

bool ProgramRun::start(const QStringList &arguments)
{
    m_process.setArguments(arguments);
    m_process.start();
    if (!m_process.waitForStarted(10000))
        return false;
    m_pid = m_process.processId();
    return true;
}

bool ProgramRun::isRunning() const
{
    return m_process.state() != QProcess::NotRunning;
}

QString ProgramRun::log() const
{
    QFile file(m_logFile);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLocal8Bit(file.readAll());
}

bool ProgramRun::waitForLog(const QString &text, int timeoutMs) const
{
    return waitUntil([&] { return log().contains(text); }, timeoutMs);
}

bool ProgramRun::waitForFinished(int timeoutMs)
{
    return waitUntil([this] { return !isRunning(); }, timeoutMs);
}

void ProgramRun::kill()
{
    if (!isRunning())
        return;
    m_process.kill();
    m_process.waitForFinished(5000);
}
