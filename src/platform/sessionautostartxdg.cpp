#include "platform/sessionautostartxdg.h"

#if defined(Q_OS_UNIX)

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>

namespace {

// The entry name becomes a file name, so it must not leave the folder.
bool validEntryName(const QString &entryName)
{
    return !entryName.isEmpty() && !entryName.contains(QLatin1Char('/'));
}

QString entryFilePath(const QString &entryName)
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/autostart/")
           + entryName + QStringLiteral(".desktop");
}

// Escapes for a string value of a desktop entry.
QString escapeString(const QString &value)
{
    QString out;
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '\\': out += QStringLiteral("\\\\"); break;
        case '\n': out += QStringLiteral("\\n"); break;
        case '\t': out += QStringLiteral("\\t"); break;
        case '\r': out += QStringLiteral("\\r"); break;
        default: out += c;
        }
    }
    if (out.startsWith(QLatin1Char(' ')))
        out.replace(0, 1, QStringLiteral("\\s"));
    return out;
}

// One Exec argument: always in double quotes, inside which '"', '`', '$' and
// '\' take a backslash, and '%' is doubled so it is not read as a field code.
// The string escaping of the whole value comes on top of that.
QString execArgument(const QString &argument)
{
    QString quoted(QLatin1Char('"'));
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        else if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%');
        quoted += c;
    }
    quoted += QLatin1Char('"');
    return quoted;
}

} // namespace

bool SessionAutostartXdg::setEnabled(const QString &entryName, const QString &programPath, bool enabled) const
{
    if (!validEntryName(entryName)) {
        qDebug().noquote() << "Invalid autostart entry name:" << entryName;
        return false;
    }
    const QString filePath = entryFilePath(entryName);
    if (!enabled)
        return !QFileInfo::exists(filePath) || QFile::remove(filePath);

    if (!QDir().mkpath(QFileInfo(filePath).absolutePath()))
        return false;
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QTextStream out(&file);
    out.setCodec("UTF-8");
    // The session starts entries from another working folder, hence the absolute path.
    out << "[Desktop Entry]\n"
        << "Type=Application\n"
        << "Name=" << escapeString(entryName) << '\n'
        << "Exec=" << escapeString(execArgument(QFileInfo(programPath).absoluteFilePath())) << '\n'
        << "X-GNOME-Autostart-enabled=true\n";
    out.flush();
    return out.status() == QTextStream::Ok && file.commit();
}

bool SessionAutostartXdg::isEnabled(const QString &entryName) const
{
    if (!validEntryName(entryName))
        return false;
    QFile file(entryFilePath(entryName));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    // Session settings tools switch an entry off in place rather than deleting it.
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const int equals = line.indexOf(QLatin1Char('='));
        if (!inMainGroup || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = line.mid(equals + 1).trimmed();
        if ((key == QLatin1String("Hidden") && value == QLatin1String("true"))
            || (key == QLatin1String("X-GNOME-Autostart-enabled") && value == QLatin1String("false")))
            return false;
    }
    return true;
}

#endif
