#include "desktopdriver.h"

#include "processdriver.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QX11Info>
#include <QRegularExpression>

namespace Desktop {
namespace {

QList<qulonglong> windowIds(const QByteArray &output)
{
    QList<qulonglong> ids;
    for (const QByteArray &line : output.split('\n')) {
        bool number = false;
        const qulonglong id = line.trimmed().toULongLong(&number);
        if (number)
            ids.append(id);
    }
    return ids;
}

bool xdotool(const QStringList &arguments)
{
    return !tool(QStringLiteral("xdotool"), arguments).isNull();
}

// A value of xdotool's "--shell" output (NAME=value lines).
int shellValue(const QString &text, const char *name)
{
    const QRegularExpression line(QStringLiteral("^%1=(-?\\d+)$").arg(QLatin1String(name)),
                                  QRegularExpression::MultilineOption);
    return line.match(text).captured(1).toInt();
}

QString point(int coordinate)
{
    return QString::number(coordinate);
}

} // namespace

QByteArray tool(const QString &program, const QStringList &arguments, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return QByteArray();
    // not QProcess::waitForFinished: the tool may need this process's own
    // windows or clipboard to answer
    if (!waitUntil([&] { return process.state() == QProcess::NotRunning; }, timeoutMs)) {
        process.kill();
        process.waitForFinished(5000);
        return QByteArray();
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QByteArray();
    const QByteArray output = process.readAllStandardOutput();
    // a successful run with no output is still not a failure
    return output.isNull() ? QByteArray("") : output;
}

QList<qulonglong> windowsOf(qint64 pid)
{
    // search exits 1 when nothing matches: read that as "no window"
    return windowIds(tool(QStringLiteral("xdotool"),
                          {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                           QString::number(pid)}));
}

QList<qulonglong> windowsNamed(const QString &title)
{
    const QString exact = QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$');
    return windowIds(tool(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                      QStringLiteral("--name"), exact}));
}

qulonglong waitForWindowOf(qint64 pid, int timeoutMs)
{
    qulonglong found = 0;
    waitUntil(
        [&] {
            const QList<qulonglong> windows = windowsOf(pid);
            found = windows.isEmpty() ? 0 : windows.first();
            return found != 0;
        },
        timeoutMs);
    return found;
}

qulonglong waitForWindowNamed(const QString &title, int timeoutMs)
{
    qulonglong found = 0;
    waitUntil(
        [&] {
            const QList<qulonglong> windows = windowsNamed(title);
            found = windows.isEmpty() ? 0 : windows.first();
            return found != 0;
        },
        timeoutMs);
    return found;
}

QRect windowGeometry(qulonglong window)
{
    const QString text = QString::fromUtf8(tool(QStringLiteral("xdotool"),
                                                {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"),
                                                 QString::number(window)}));
    if (text.isEmpty())
        return QRect();
    return QRect(shellValue(text, "X"), shellValue(text, "Y"), shellValue(text, "WIDTH"),
                 shellValue(text, "HEIGHT"));
}

QPoint mouseLocation()
{
    const QString text = QString::fromUtf8(
        tool(QStringLiteral("xdotool"), {QStringLiteral("getmouselocation"), QStringLiteral("--shell")}));
    return QPoint(shellValue(text, "X"), shellValue(text, "Y"));
}

bool moveMouse(const QPoint &to)
{
    // --sync waits for the pointer to move, which it never does when it is
    // already there
    if (mouseLocation() == to)
        return true;
    return xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), point(to.x()), point(to.y())});
}

bool click(const QPoint &at)
{
    return moveMouse(at) && xdotool({QStringLiteral("click"), QStringLiteral("1")});
}

bool drag(const QPoint &from, const QPoint &to, const QStringList &holdAtRelease)
{
    if (!moveMouse(from) || !xdotool({QStringLiteral("mousedown"), QStringLiteral("1")}))
        return false;
    // through a middle point, as a hand moves
    const QPoint middle = (from + to) / 2;
    if (!moveMouse(middle) || !moveMouse(to))
        return false;
    for (const QString &key : holdAtRelease) {
        if (!xdotool({QStringLiteral("keydown"), key}))
            return false;
    }
    return xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
}

bool keyUp(const QStringList &keys)
{
    bool ok = true;
    for (const QString &key : keys)
        ok = xdotool({QStringLiteral("keyup"), key}) && ok;
    return ok;
}

bool keyInto(qulonglong window, const QString &keys)
{
    return xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), QString::number(window)})
           && xdotool({QStringLiteral("key"), keys});
}

QByteArray clipboard(const QString &target)
{
    QStringList arguments{QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")};
    if (!target.isEmpty())
        arguments << QStringLiteral("-t") << target;
    return tool(QStringLiteral("xclip"), arguments);
}

QRect screenRect()
{
    return QGuiApplication::primaryScreen()->geometry();
}

QImage rgb(const QImage &image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage grabScreen()
{
    return rgb(QGuiApplication::primaryScreen()->grabWindow(0).toImage());
}

bool ownClipboard(const QString &text)
{
    // The server refuses a selection change stamped earlier than the current
    // owner's; a test process that has seen no input has a stale time.
    QX11Info::setAppTime(QX11Info::getTimestamp());
    QGuiApplication::clipboard()->setText(text);
    return QString::fromUtf8(clipboard()) == text;
}

QString capturesFolder()
{
    return QDir::homePath() + QStringLiteral("/Documents/Snaplark Captures");
}

} // namespace Desktop
