#include "desktopdriver.h"

#include "processdriver.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QHash>
#include <QPixmap>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QWidget>
#include <QX11Info>

#include <cmath>

namespace Desktop {
namespace {

bool xdotool(const QStringList &arguments)
{
    return !tool(QStringLiteral("xdotool"), arguments).isNull();
}

// search exits 1 when nothing matches: read that as "no window"
QList<qulonglong> search(const QStringList &criteria)
{
    QList<qulonglong> ids;
    const QByteArray output = tool(QStringLiteral("xdotool"),
                                   QStringList{QStringLiteral("search"), QStringLiteral("--onlyvisible")} + criteria);
    for (const QByteArray &line : output.split('\n')) {
        bool number = false;
        const qulonglong id = line.trimmed().toULongLong(&number);
        if (number)
            ids.append(id);
    }
    return ids;
}

qulonglong waitForFirst(const QStringList &criteria, int timeoutMs)
{
    QList<qulonglong> found;
    waitUntil([&] { return !(found = search(criteria)).isEmpty(); }, timeoutMs);
    return found.value(0);
}

QStringList byPid(qint64 pid)
{
    return {QStringLiteral("--pid"), QString::number(pid)};
}

QStringList byTitle(const QString &title)
{
    return {QStringLiteral("--name"), QLatin1Char('^') + QRegularExpression::escape(title) + QLatin1Char('$')};
}

// xdotool's "--shell" output: NAME=value lines.
QHash<QByteArray, int> shellValues(const QString &command, const QStringList &arguments = QStringList())
{
    QHash<QByteArray, int> values;
    const QByteArray output =
        tool(QStringLiteral("xdotool"), QStringList{command, QStringLiteral("--shell")} + arguments);
    for (const QByteArray &line : output.split('\n')) {
        const int equals = line.indexOf('=');
        if (equals > 0)
            values.insert(line.left(equals), line.mid(equals + 1).toInt());
    }
    return values;
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
    // a successful run with no output is still not a failure
    const QByteArray output = process.readAllStandardOutput();
    return output.isNull() ? QByteArray("") : output;
}

QList<qulonglong> windowsOf(qint64 pid)
{
    return search(byPid(pid));
}

QList<qulonglong> windowsNamed(const QString &title)
{
    return search(byTitle(title));
}

qulonglong waitForWindowOf(qint64 pid, int timeoutMs)
{
    return waitForFirst(byPid(pid), timeoutMs);
}

qulonglong waitForWindowNamed(const QString &title, int timeoutMs)
{
    return waitForFirst(byTitle(title), timeoutMs);
}

QRect windowGeometry(qulonglong window)
{
    const auto values = shellValues(QStringLiteral("getwindowgeometry"), {QString::number(window)});
    if (values.isEmpty())
        return QRect();
    return QRect(values.value("X"), values.value("Y"), values.value("WIDTH"), values.value("HEIGHT"));
}

qulonglong waitForOverlay(qint64 pid)
{
    const qulonglong overlay = waitForWindowOf(pid);
    return overlay && waitUntil([&] { return windowGeometry(overlay) == screenRect(); }, 5000) ? overlay : 0;
}

bool moveMouse(const QPoint &to)
{
    // --sync waits for the pointer to move, which it never does when it is
    // already there
    const auto at = shellValues(QStringLiteral("getmouselocation"));
    if (QPoint(at.value("X"), at.value("Y")) == to)
        return true;
    return xdotool({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(to.x()),
                    QString::number(to.y())});
}

bool click(const QPoint &at)
{
    return moveMouse(at) && xdotool({QStringLiteral("click"), QStringLiteral("1")});
}

bool drag(const QPoint &from, const QPoint &to, const QStringList &holdAtRelease)
{
    // through a middle point, as a hand moves
    if (!moveMouse(from) || !xdotool({QStringLiteral("mousedown"), QStringLiteral("1")})
        || !moveMouse((from + to) / 2) || !moveMouse(to))
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

bool ownClipboard(const QString &text)
{
    // The server refuses a selection change stamped earlier than the current
    // owner's; a test process that has seen no input has a stale time.
    QX11Info::setAppTime(QX11Info::getTimestamp());
    QGuiApplication::clipboard()->setText(text);
    return QString::fromUtf8(clipboard()) == text;
}

int deviceEdge(int logical, qreal scale) { return int(std::floor(logical * scale + 0.5)); }

QPoint devicePoint(const QPoint &logical, qreal scale)
{
    return QPoint(deviceEdge(logical.x(), scale), deviceEdge(logical.y(), scale));
}

QRect deviceRect(const QRect &logical, qreal scale)
{
    return QRect(devicePoint(logical.topLeft(), scale),
                 devicePoint(logical.bottomRight() + QPoint(1, 1), scale) - QPoint(1, 1));
}

qreal scaleOf(const QString &scaling) { return scaling.isEmpty() ? 1.0 : scaling.section('=', 1).toDouble(); }

QProcessEnvironment scaled(QProcessEnvironment environment, const QString &scaling)
{
    if (!scaling.isEmpty())
        environment.insert(scaling.section('=', 0, 0), scaling.section('=', 1));
    return environment;
}

QRect logicalScreen(qreal scale) { return QRect(0, 0, qRound(1280 / scale), qRound(800 / scale)); }

QRect screenRect()
{
    return QGuiApplication::primaryScreen()->geometry();
}

QImage grabScreen()
{
    return rgb(QGuiApplication::primaryScreen()->grabWindow(0).toImage());
}

QImage rgb(const QImage &image)
{
    return image.convertToFormat(QImage::Format_RGB32);
}

QImage solid(const QSize &size, QRgb colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

double meanDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 255;
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q)) + qAbs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

bool showsFullRepaint(QWidget *widget, int timeoutMs)
{
    const QImage full = rgb(widget->grab().toImage());
    const QRect area(widget->mapToGlobal(QPoint(0, 0)), widget->size());
    return waitUntil([&] { return grabScreen().copy(area) == full; }, timeoutMs);
}

QString capturesFolder()
{
    return QDir::homePath() + QStringLiteral("/Documents/Snaplark Captures");
}

} // namespace Desktop
