// The persistent cookie jar: its file and stream form, the save rules, and a
// reader that survives damaged and hostile files.
#include "testsupport.h"
#include "upload/cookiejar.h"

#include <QtTest>

#include <sys/resource.h>

using Cookies = QList<QNetworkCookie>;

namespace {

struct InspectableJar : CookieJar { using CookieJar::CookieJar, QNetworkCookieJar::allCookies, QNetworkCookieJar::setAllCookies; };

QNetworkCookie cookie(const QByteArray &name, const QByteArray &value, int expiresInDays = 0)
{
    QNetworkCookie c(name, value);
    c.setDomain(QStringLiteral(".example.com"));
    if (expiresInDays)
        c.setExpirationDate(QDateTime::currentDateTimeUtc().addDays(expiresInDays));
    return c;
}

QList<QByteArray> rawForms(const Cookies &cookies)
{
    QList<QByteArray> forms;
    for (const QNetworkCookie &c : cookies)
        forms << c.toRawForm(QNetworkCookie::Full);
    return forms;
}

// The stream form field by field, with any version and count.
QByteArray cookieStream(qint32 version, qint32 count, const QList<QByteArray> &entries)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << version << count;
    for (const QByteArray &entry : entries)
        stream << entry;
    return bytes;
}

QByteArray streamOf(const Cookies &cookies) { return cookieStream(23, cookies.size(), rawForms(cookies)); }

// A cookie file as the settings library writes it: a variant of the user type (Qt 4.0 stream form:
// number 127, the type's name) around the stream, every byte as a hex escape.
QByteArray cookieFile(const QByteArray &stream, const char *typeName = "QList<QNetworkCookie>")
{
    QByteArray payload;
    QDataStream variant(&payload, QIODevice::WriteOnly);
    variant << quint32(127) << typeName;
    QByteArray text = "[General]\ncookies=@Variant(";
    for (const char ch : payload + stream)
        text += "\\x" + QByteArray::number(uchar(ch), 16);
    return text + ")\n";
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The file the settings library itself writes for the cookies.
QByteArray libraryWrites(const QString &path, const Cookies &cookies)
{
    QFile::remove(path);
    QSettings(path, QSettings::IniFormat).setValue(QStringLiteral("cookies"), QVariant::fromValue(cookies));
    return readAll(path);
}

QByteArray randomBytes(QRandomGenerator &rng, int length, const QByteArray &alphabet = {})
{
    QByteArray bytes(length, '\0');
    for (char &ch : bytes)
        ch = alphabet.isEmpty() ? char(rng.bounded(256)) : alphabet.at(rng.bounded(alphabet.size()));
    return bytes;
}

// One to four edits that break parsers: bytes, structural characters, absurd counts and lengths, cuts.
QByteArray mutate(QByteArray data, QRandomGenerator &rng)
{
    static const QList<QByteArray> tokens = {"\\", "\"", ",", ";", "=", "\n", "[General]\n", "\\x", "\\0", "\\\n",
                                             "@Variant(", ")", QByteArray("\0\0\0\x17", 4), "\xff\xff\xff\xf0",
                                             "\x7f\xff\xff\xff", QByteArray("\x10\0\0\0", 4)};
    for (int edits = 1 + rng.bounded(4); edits > 0; --edits) {
        const int at = data.isEmpty() ? 0 : rng.bounded(data.size());
        switch (rng.bounded(5)) {
        case 0: data.insert(at, randomBytes(rng, 1 + rng.bounded(4))); break;
        case 1: data.replace(at, rng.bounded(5), tokens.at(rng.bounded(tokens.size()))); break;
        case 2: data.remove(at, 1 + rng.bounded(16)); break;
        case 3: data.insert(at, data.mid(at, 1 + rng.bounded(64))); break;
        default: data.truncate(at);
        }
    }
    return data;
}

} // namespace

class TestCookieJar : public QObject
{
    Q_OBJECT

    QString m_dir;
    QString path(const char *name) const { return m_dir + QLatin1Char('/') + QLatin1String(name); }

private slots:
    void initTestCase() { CookieJar registers(QStringLiteral("/nonexistent/cookies.ini")); } // the type, with the settings library
    void init() { m_dir = testScratchDir(QStringLiteral("cookiejar")); }

    // Random cookies over every byte the escaping treats specially, with an expired and a session cookie: the jar
    // writes what the settings library writes for the persistent ones, in the exact stream form, and reads it back.
    void fileRoundTrips()
    {
        QRandomGenerator rng(20240605);
        const QByteArray alphabet = "09afAFxX\\\"=,; \t\x01\x7f\x80\xc3\xa9\xff" "abcdefghij";
        const QNetworkCookie expired = cookie("old", "1", -1), session = cookie("now", "3");
        for (int round = 0; round < 100; ++round) {
            Cookies cookies;
            for (int i = rng.bounded(6); i > 0; --i)
                cookies << cookie("n" + randomBytes(rng, rng.bounded(6), "abc019"), randomBytes(rng, rng.bounded(40), alphabet),
                                  1 + rng.bounded(100));
            {
                InspectableJar jar(path("cookies.ini"));
                jar.setAllCookies(Cookies(cookies) << expired << session);
                jar.save();
                // the expired cookie leaves the jar; the session cookie stays for the run
                QCOMPARE(rawForms(jar.allCookies()), rawForms(Cookies(cookies) << session));
            }
            QCOMPARE(readAll(path("cookies.ini")), libraryWrites(path("lib.ini"), cookies));
            // as from the same stream with every byte escaped
            QCOMPARE(rawForms(InspectableJar(path("cookies.ini")).allCookies()),
                     rawForms(CookieJar::cookiesFromFile(cookieFile(streamOf(cookies)))));
            // version 23, the count, each cookie's full raw form
            QByteArray written;
            QDataStream stream(&written, QIODevice::WriteOnly);
            stream << cookies;
            QCOMPARE(written, streamOf(cookies));
        }
    }

    void damagedAndHostileFiles_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("count");
        const QByteArray raw = cookie("k", "v", 10).toRawForm();
        const QByteArray valid = cookieFile(cookieStream(23, 1, {raw}));
        QTest::newRow("valid") << valid << 1;
        QTest::newRow("version 22") << cookieFile(cookieStream(22, 1, {raw})) << 0;
        // "=" is skipped with a warning; an empty entry yields nothing and is no reason to complain
        QTest::newRow("unparsable entries") << cookieFile(cookieStream(23, 4, {raw, "=", QByteArray(), raw})) << 2;
        QTest::newRow("another user type") << cookieFile(cookieStream(23, 1, {raw}), "QList<QByteArray>") << 0;
        // what the settings library itself dies on: a list that claims 2^28 entries, lists nested ever deeper
        QTest::newRow("huge variant list") << QByteArray("[General]\ncookies=@Variant(\\0\\0\\0\\t\\x10\\0\\0\\0)\n") << 0;
        QTest::newRow("deeply nested lists")
            << "[General]\ncookies=@Variant(" + QByteArray("\\0\\0\\0\\t\\0\\0\\0\\x1").repeated(60000) + ")\n" << 0;
        QTest::newRow("count far too high") << cookieFile(cookieStream(23, 0x7fffffff, {raw})) << 1;
        QTest::newRow("entry claims 4 GB") << cookieFile(cookieStream(23, 2, {raw}) + "\xff\xff\xff\xf0k=v") << 1;
        QTest::newRow("truncated entry") << cookieFile(cookieStream(23, 3, {raw, raw}) + QByteArray("\0\0\0\x40k=v", 7)) << 2;
        QTest::newRow("beyond the size limit") << valid + QByteArray(2 * 1024 * 1024, ';') << 0;
    }
    void damagedAndHostileFiles()
    {
        QFETCH(QByteArray, contents);
        QFETCH(int, count);
        if (QByteArray(QTest::currentDataTag()) == "unparsable entries")
            QTest::ignoreMessage(QtWarningMsg, "CookieJar: Unable to parse saved cookie: \"=\"");
        QFile file(path("cookies.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size());
        file.close();
        InspectableJar jar(path("cookies.ini"));
        QCOMPARE(jar.allCookies().size(), count);
        // a damaged file is replaced whole at the next save
        jar.setAllCookies({cookie("fresh", "1", 1)});
        jar.save();
        QCOMPARE(InspectableJar(path("cookies.ini")).allCookies().size(), 1);
    }

    // A cookie file that cannot be written is reported in the log, and nothing stands in its place.
    void unwritableFileIsLogged_data()
    {
        QTest::addColumn<QString>("blocked"); // a file where the folder should be, or a folder under the file's name
        QTest::newRow("folder is a file") << "blocker/cookies.ini";
        QTest::newRow("name is a folder") << "cookies.ini";
    }
    void unwritableFileIsLogged()
    {
        QFETCH(QString, blocked);
        const QString target = m_dir + QLatin1Char('/') + blocked;
        QFile blocker(path("blocker"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        QVERIFY(QDir(m_dir).mkdir(QStringLiteral("cookies.ini")));
        InspectableJar jar(target);
        jar.setAllCookies({cookie("k", "v", 1)});
        QTest::ignoreMessage(QtDebugMsg, qPrintable(QStringLiteral("CookieJar: Unable to save cookies to ") + target));
        jar.save();
        QVERIFY(QFileInfo(path("cookies.ini")).isDir());
        QCOMPARE(QDir(m_dir).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden),
                 QStringList({"blocker", "cookies.ini"}));
    }

    // 100,000 random and mutated files and streams: no crash, and no hostile count or length makes the reader allocate.
    void survivesRandomAndMutatedFiles()
    {
        QRandomGenerator rng(0x5eed2024);
        QList<QByteArray> fileSeeds, streamSeeds;
        for (const Cookies &list : {Cookies{}, {cookie("sid", "x y", 2), cookie("t", "\"q\"", 3), cookie("u", "\\0,9", 4)}}) {
            fileSeeds << libraryWrites(path("seed.ini"), list) << cookieFile(streamOf(list));
            streamSeeds << streamOf(list);
        }
        const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        qint64 cookiesFound = 0;
        for (int i = 0; i < 100000; ++i) {
            const QByteArray contents = i < 10000 ? (i % 2 ? QByteArray("[General]\ncookies=@Variant(") : QByteArray())
                                                        + randomBytes(rng, rng.bounded(300))
                : i % 2 ? mutate(fileSeeds.at(rng.bounded(fileSeeds.size())), rng)
                        : cookieFile(mutate(streamSeeds.at(rng.bounded(streamSeeds.size())), rng));
            const int found = CookieJar::cookiesFromFile(contents).size();
            QVERIFY(found <= contents.size()); // every cookie needs bytes of its own
            cookiesFound += found;
        }
        qInstallMessageHandler(previous);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        QVERIFY(cookiesFound > 0);
        QVERIFY2(usage.ru_maxrss < 300 * 1024, qPrintable(QStringLiteral("peak resident %1 KiB").arg(usage.ru_maxrss)));
    }
};

QTEST_GUILESS_MAIN(TestCookieJar)
#include "tst_cookiejar.moc"
