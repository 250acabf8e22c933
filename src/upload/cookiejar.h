#pragma once

#include <QList>
#include <QNetworkCookie>
#include <QNetworkCookieJar>
#include <QString>

class QDataStream;

// The stream form of a saved cookie list: the version 23, the count, then each
// cookie's full Set-Cookie form as a byte array.  Reading never trusts the
// count: it stops at the end of the data, and a stream of another version
// gives an empty list.
QDataStream &operator<<(QDataStream &stream, const QList<QNetworkCookie> &cookies);
QDataStream &operator>>(QDataStream &stream, QList<QNetworkCookie> &cookies);

// The banner's persistent cookies.  They live in an INI file, as the settings
// library writes a "QList<QNetworkCookie>" value under the key "cookies".
// Session cookies are kept for the run but never written.
class CookieJar : public QNetworkCookieJar
{
    Q_OBJECT
public:
    // Loads the cookies saved in filePath; a missing, damaged or foreign
    // file gives an empty jar.
    explicit CookieJar(const QString &filePath = defaultFilePath(), QObject *parent = nullptr);

    // "cookies.ini" in the user's data folder (WebStorage).
    static QString defaultFilePath();

    // Drops the expired cookies from the jar, then writes the persistent ones
    // to the file, replacing it as a whole, readable by its owner only.  A
    // missing folder is made.  When that fails the old file
    // stays as it was and the debug log says so.
    void save();

    // The cookies held in the contents of a cookie file.  Reads only what the
    // settings library writes for the one value, so no damaged or hostile
    // file can make it crash or allocate far beyond the file's own size;
    // files over 2 MiB are not read at all.
    static QList<QNetworkCookie> cookiesFromFile(const QByteArray &contents);

private:
    void purge();
    void writeFile(const QList<QNetworkCookie> &cookies) const;
    bool tryWriteFile(const QList<QNetworkCookie> &cookies) const;

    QString m_filePath;
};
