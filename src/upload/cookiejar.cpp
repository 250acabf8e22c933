#include "upload/cookiejar.h"

#include "upload/webstorage.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QVariant>

namespace {

const qint32 streamVersion = 23;
const char *const cookieListTypeName = "QList<QNetworkCookie>";
const char *const cookiesKey = "cookies";

// A real cookie file holds a few kilobytes.  A file beyond this is not one
// the jar wrote, and reading it could cost far more memory than it is worth.
const int maxFileSize = 2 * 1024 * 1024;

// Reading back the one value the settings library wrote, by its INI rules.
// The library's own reader is not used for this: it turns any "@Variant(...)"
// text into whatever type the text names, and a hostile file makes it
// exhaust memory (a list claiming 2^28 entries) or the stack (lists nested a
// million deep).
namespace Ini {

bool isSpace(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r';
}

bool isBlank(char ch)
{
    return ch == ' ' || ch == '\t';
}

int hexValue(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

struct Line
{
    int start = 0;
    int end = 0;
    int equals = -1; // first unquoted '=', -1 when there is none
};

// The next logical line from pos on.  Blank and comment lines are skipped;
// a line break inside quotes or after a backslash continues the line; an
// unquoted ';' ends it (the rest is then a comment line).
bool nextLine(const QByteArray &data, int &pos, Line &line)
{
    const int size = data.size();
    bool inQuotes = false;
    line.equals = -1;
    line.start = pos;
    while (line.start < size && isSpace(data.at(line.start)))
        ++line.start;

    int i = line.start;
    while (i < size) {
        const char ch = data.at(i++);
        if (ch == '=') {
            if (!inQuotes && line.equals == -1)
                line.equals = i - 1;
        } else if (ch == '\n' || ch == '\r') {
            if (!inQuotes) {
                --i;
                break;
            }
        } else if (ch == '\\') {
            if (i < size) {
                const char escaped = data.at(i++);
                if (i < size) {
                    const char next = data.at(i);
                    if ((escaped == '\n' && next == '\r') || (escaped == '\r' && next == '\n'))
                        ++i;
                }
            }
        } else if (ch == '"') {
            inQuotes = !inQuotes;
        } else if (ch == ';') {
            if (i == line.start + 1) {
                while (i < size && data.at(i) != '\n' && data.at(i) != '\r')
                    ++i;
                while (i < size && isSpace(data.at(i)))
                    ++i;
                line.start = i;
            } else if (!inQuotes) {
                --i;
                break;
            }
        }
    }
    pos = i;
    line.end = i;
    return line.end > line.start;
}

// Where the text of the last entry `key` of the general section lies.
bool findValue(const QByteArray &data, const QByteArray &key, int &from, int &to)
{
    int pos = data.startsWith("\xef\xbb\xbf") ? 3 : 0;
    bool inGeneral = true;
    bool found = false;
    Line line;
    while (nextLine(data, pos, line)) {
        if (data.at(line.start) == '[') {
            int close = data.indexOf(']', line.start);
            if (close == -1 || close >= line.end)
                close = line.end;
            const QByteArray section = data.mid(line.start + 1, close - line.start - 1).trimmed();
            inGeneral = section.toLower() == "general";
            continue;
        }
        if (!inGeneral || line.equals == -1)
            continue;
        int keyEnd = line.equals;
        while (keyEnd > line.start && isBlank(data.at(keyEnd - 1)))
            --keyEnd;
        if (data.mid(line.start, keyEnd - line.start) == key) {
            from = line.equals + 1;
            to = line.end;
            found = true;
        }
    }
    return found;
}

// The text of a value: quotes removed, escapes resolved, outer blanks
// dropped.  An unquoted comma makes the value a list, which is not ours:
// reports false for it.
bool unescapeValue(const QByteArray &data, int from, int to, QString &text)
{
    static const char escapeCodes[][2] = {{'a', '\a'}, {'b', '\b'}, {'f', '\f'}, {'n', '\n'},
                                          {'r', '\r'}, {'t', '\t'}, {'v', '\v'}, {'"', '"'},
                                          {'?', '?'},  {'\'', '\''}, {'\\', '\\'}};
    bool inQuotes = false;
    bool quoted = false;
    int i = from;
    while (i < to && isBlank(data.at(i)))
        ++i;
    // Trailing blanks of unquoted text are dropped, but never blanks that
    // came from an escape or a quoted part.
    int chopLimit = 0;

    while (i < to) {
        const char ch = data.at(i);
        if (ch == '\\') {
            if (++i >= to)
                return true;
            const char code = data.at(i++);
            bool simple = false;
            for (const auto &escape : escapeCodes) {
                if (code == escape[0]) {
                    text += QLatin1Char(escape[1]);
                    simple = true;
                    break;
                }
            }
            if (!simple && code == 'x') {
                if (i >= to)
                    return true;
                if (hexValue(data.at(i)) >= 0) {
                    unsigned value = 0;
                    while (i < to && hexValue(data.at(i)) >= 0)
                        value = (value << 4) + unsigned(hexValue(data.at(i++)));
                    text += QChar(ushort(value));
                }
            } else if (!simple && code >= '0' && code <= '7') {
                unsigned value = unsigned(code - '0');
                while (i < to && data.at(i) >= '0' && data.at(i) <= '7')
                    value = (value << 3) + unsigned(data.at(i++) - '0');
                text += QChar(ushort(value));
            } else if (!simple && (code == '\n' || code == '\r')) {
                if (i < to) {
                    const char next = data.at(i);
                    if ((next == '\n' || next == '\r') && next != code)
                        ++i;
                }
            }
            // any other escaped character is dropped
            chopLimit = text.size();
        } else if (ch == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                while (i < to && isBlank(data.at(i)))
                    ++i;
                chopLimit = text.size();
            }
        } else if (ch == ',' && !inQuotes) {
            return false;
        } else {
            int j = i + 1;
            while (j < to && data.at(j) != '\\' && data.at(j) != '"' && data.at(j) != ',')
                ++j;
            text += QLatin1String(data.constData() + i, j - i);
            i = j;
        }
    }
    if (!quoted) {
        int n = text.size();
        while (n > chopLimit && (text.at(n - 1) == QLatin1Char(' ') || text.at(n - 1) == QLatin1Char('\t')))
            --n;
        text.truncate(n);
    }
    return true;
}

} // namespace Ini

// The cookie list inside the settings library's variant notation
// "@Variant(<bytes>)", whose bytes are a variant in the Qt 4.0 stream form.
QList<QNetworkCookie> cookiesFromVariantText(const QString &text)
{
    static const QLatin1String prefix("@Variant(");
    if (!text.startsWith(prefix) || !text.endsWith(QLatin1Char(')')))
        return {};
    const QByteArray payload = text.midRef(prefix.size(), text.size() - prefix.size() - 1).toLatin1();
    QDataStream stream(payload);
    stream.setVersion(QDataStream::Qt_4_0);

    // A user type's head in that form: the old user-type number, then the
    // type's name with its terminating zero.
    const quint32 userType = 127;
    quint32 type = 0;
    QByteArray name;
    stream >> type >> name;
    if (stream.status() != QDataStream::Ok || type != userType
        || qstrcmp(name.constData(), cookieListTypeName) != 0)
        return {};

    QList<QNetworkCookie> cookies;
    stream >> cookies;
    return cookies;
}

} // namespace

QDataStream &operator<<(QDataStream &stream, const QList<QNetworkCookie> &cookies)
{
    stream << streamVersion << qint32(cookies.size());
    for (const QNetworkCookie &cookie : cookies)
        stream << cookie.toRawForm(QNetworkCookie::Full);
    return stream;
}

QDataStream &operator>>(QDataStream &stream, QList<QNetworkCookie> &cookies)
{
    cookies.clear();
    qint32 version = 0;
    stream >> version;
    if (version != streamVersion)
        return stream;
    qint32 count = 0;
    stream >> count;
    // The count is only a claim: the entries really present decide.
    for (qint32 i = 0; i < count && !stream.atEnd(); ++i) {
        QByteArray raw;
        stream >> raw;
        if (stream.status() != QDataStream::Ok)
            break;
        const QList<QNetworkCookie> parsed = QNetworkCookie::parseCookies(raw);
        if (parsed.isEmpty() && !raw.isEmpty())
            qWarning() << "CookieJar: Unable to parse saved cookie:" << raw;
        cookies += parsed;
    }
    return stream;
}

CookieJar::CookieJar(const QString &filePath, QObject *parent)
    : QNetworkCookieJar(parent)
    , m_filePath(filePath)
{
    qRegisterMetaTypeStreamOperators<QList<QNetworkCookie>>(cookieListTypeName);
    QFile file(m_filePath);
    if (file.open(QIODevice::ReadOnly))
        setAllCookies(cookiesFromFile(file.read(maxFileSize + 1)));
}

QString CookieJar::defaultFilePath()
{
    return WebStorage::cookieFilePath();
}

QList<QNetworkCookie> CookieJar::cookiesFromFile(const QByteArray &contents)
{
    if (contents.size() > maxFileSize)
        return {};
    int from = 0;
    int to = 0;
    QString text;
    if (!Ini::findValue(contents, cookiesKey, from, to) || !Ini::unescapeValue(contents, from, to, text))
        return {};
    return cookiesFromVariantText(text);
}

void CookieJar::save()
{
    purge();
    QList<QNetworkCookie> persistent = allCookies();
    for (int i = persistent.size() - 1; i >= 0; --i) {
        if (persistent.at(i).isSessionCookie())
            persistent.removeAt(i);
    }
    writeFile(persistent);
}

void CookieJar::purge()
{
    QList<QNetworkCookie> cookies = allCookies();
    const QDateTime now = QDateTime::currentDateTime();
    bool dropped = false;
    for (int i = cookies.size() - 1; i >= 0; --i) {
        if (!cookies.at(i).isSessionCookie() && cookies.at(i).expirationDate() < now) {
            cookies.removeAt(i);
            dropped = true;
        }
    }
    if (dropped)
        setAllCookies(cookies);
}

void CookieJar::writeFile(const QList<QNetworkCookie> &cookies) const
{
    if (!tryWriteFile(cookies))
        qDebug().noquote() << QStringLiteral("CookieJar: Unable to save cookies to %1").arg(m_filePath);
}

bool CookieJar::tryWriteFile(const QList<QNetworkCookie> &cookies) const
{
    // The settings library writes the value into a fresh file of its own,
    // which then replaces the cookie file whole: updating the old file in
    // place would make the library parse it first, and a damaged one can
    // crash it.
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return false;
    const QString scratchPath = scratch.filePath(QStringLiteral("cookies.ini"));
    {
        QSettings settings(scratchPath, QSettings::IniFormat);
        settings.setValue(QLatin1String(cookiesKey), QVariant::fromValue(cookies));
        settings.sync();
        if (settings.status() != QSettings::NoError)
            return false;
    }
    QFile written(scratchPath);
    QSaveFile target(m_filePath);
    if (!written.open(QIODevice::ReadOnly) || !WebStorage::makePrivateFolder(QFileInfo(m_filePath).absolutePath())
        || !target.open(QIODevice::WriteOnly))
        return false;
    // The account's session lives in these cookies: for the owner's eyes only,
    // whatever an older file allowed.
    if (!target.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return false;
    const QByteArray contents = written.readAll();
    // Only a complete write replaces the old file.
    return target.write(contents) == contents.size() && target.commit();
}
