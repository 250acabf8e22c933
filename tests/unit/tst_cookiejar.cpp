// The persistent cookie jar: its file, its stream form, the save rules, and
// a reader that survives damaged and hostile files.
#include "testsupport.h"
#include "upload/cookiejar.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDateTime>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QtTest>

#include <sys/resource.h>

namespace {

class InspectableJar : public CookieJar
{
public:
    using CookieJar::CookieJar;
    using QNetworkCookieJar::allCookies;
    using QNetworkCookieJar::setAllCookies;
};

QNetworkCookie cookie(const QByteArray &name, const QByteArray &value, int expiresInDays = 0)
{
    QNetworkCookie c(name, value);
    c.setDomain(QStringLiteral(".example.com"));
    c.setPath(QStringLiteral("/"));
    if (expiresInDays)
        c.setExpirationDate(QDateTime::currentDateTimeUtc().addDays(expiresInDays));
    return c;
}

QStringList rawForms(const QList<QNetworkCookie> &cookies)
{
    QStringList forms;
    for (const QNetworkCookie &c : cookies)
        forms << QString::fromLatin1(c.toRawForm(QNetworkCookie::Full));
    return forms;
}

// The stream form built field by field, with any version and count.
QByteArray handStream(qint32 version, qint32 count, const QList<QByteArray> &entries)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << version << count;
    for (const QByteArray &entry : entries)
        stream << entry;
    return bytes;
}

QByteArray streamOf(const QList<QNetworkCookie> &cookies)
{
    QList<QByteArray> entries;
    for (const QNetworkCookie &c : cookies)
        entries << c.toRawForm(QNetworkCookie::Full);
    return handStream(23, entries.size(), entries);
}

// A cookie file holding a variant of the cookie-list type around a stream,
// as the settings library stores it (Qt 4.0 stream form: user-type number
// 127, the type's name), every byte as a hex escape.
QByteArray cookieFile(const QByteArray &cookieStream, const char *typeName = "QList<QNetworkCookie>")
{
    QByteArray payload;
    QDataStream stream(&payload, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_4_0);
    stream << quint32(127) << typeName;
    payload += cookieStream;
    QByteArray text = "[General]\ncookies=@Variant(";
    for (const char ch : payload)
        text += "\\x" + QByteArray::number(uchar(ch), 16);
    return text + ")\n";
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The settings library itself as the reference writer and reader.  It keeps
// what it wrote to a path in memory, so reading goes through a fresh copy.
QByteArray libraryWrites(const QString &path, const QList<QNetworkCookie> &cookies)
{
    QFile::remove(path);
    QSettings(path, QSettings::IniFormat).setValue(QStringLiteral("cookies"), QVariant::fromValue(cookies));
    return readAll(path);
}

QList<QNetworkCookie> libraryReads(const QString &path)
{
    static int copies = 0;
    const QString copy = path + QStringLiteral(".copy%1").arg(++copies);
    QFile::copy(path, copy);
    return QSettings(copy, QSettings::IniFormat).value(QStringLiteral("cookies")).value<QList<QNetworkCookie>>();
}

QByteArray randomBytes(QRandomGenerator &rng, int length, const QByteArray &alphabet = {})
{
    QByteArray bytes(length, '\0');
    for (char &ch : bytes)
        ch = alphabet.isEmpty() ? char(rng.bounded(256)) : alphabet.at(rng.bounded(alphabet.size()));
    return bytes;
}

// One to four random edits of the kinds that break parsers: inserted bytes,
// structural characters and numbers that claim absurd counts and lengths
// (inserted or written over what was there), removed or repeated runs,
// truncation.
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
    void initTestCase()
    {
        // The jar registers the cookie-list type with the settings library,
        // which the tests use as a reference.
        CookieJar registers(QStringLiteral("/nonexistent/cookies.ini"));
    }
    void init() { m_dir = testScratchDir(QStringLiteral("cookiejar")); }

    void fileRoundTripsInTheStreamForm()
    {
        const QList<QNetworkCookie> cookies = {cookie("a", "1", 3), cookie("b", "two words", 30), cookie("c", "q\"uo\\te", 365)};
        {
            InspectableJar jar(path("cookies.ini"));
            QVERIFY(jar.allCookies().isEmpty());
            jar.setAllCookies(cookies);
            jar.save();
        }
        QCOMPARE(rawForms(InspectableJar(path("cookies.ini")).allCookies()), rawForms(cookies));
        // in the settings library's notation, the value in the stream form:
        // version 23, the count, each cookie's full raw form
        QCOMPARE(rawForms(libraryReads(path("cookies.ini"))), rawForms(cookies));
        QByteArray written;
        QDataStream stream(&written, QIODevice::WriteOnly);
        stream << cookies;
        QCOMPARE(written.toHex(), streamOf(cookies).toHex());
    }

    void readsWhatTheSettingsLibraryWrites()
    {
        // Random names and values over every byte the escaping treats
        // specially: control bytes, hex digits after escapes, quotes,
        // backslashes, separators, blanks at the ends, bytes above 127.
        QRandomGenerator rng(20240605);
        const QByteArray alphabet = "09afAFxX\\\"=,; \t\x01\x7f\x80\xc3\xa9\xff" "abcdefghij";
        int compared = 0;
        for (int round = 0; round < 100; ++round) {
            QList<QNetworkCookie> cookies;
            for (int i = rng.bounded(6); i > 0; --i)
                cookies << cookie("n" + randomBytes(rng, rng.bounded(6), "abc019"), randomBytes(rng, rng.bounded(40), alphabet), 1 + rng.bounded(100));
            const QList<QNetworkCookie> ours = CookieJar::cookiesFromFile(libraryWrites(path("lib.ini"), cookies));
            QCOMPARE(rawForms(ours), rawForms(libraryReads(path("lib.ini"))));
            compared += ours.size();
        }
        QVERIFY(compared > 100);
    }

    void saveDropsExpiredAndNeverWritesSessionCookies()
    {
        const QNetworkCookie expired = cookie("old", "1", -1);
        const QNetworkCookie valid = cookie("new", "2", 1);
        const QNetworkCookie session = cookie("now", "3");
        QFile file(path("cookies.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(cookieFile(streamOf({expired, valid})));
        file.close();

        InspectableJar jar(path("cookies.ini"));
        QCOMPARE(jar.allCookies().size(), 2);
        jar.setAllCookies(jar.allCookies() << session);
        jar.save();
        // the expired cookie leaves the jar; the session cookie stays for the run
        QCOMPARE(rawForms(jar.allCookies()), rawForms({valid, session}));
        QCOMPARE(rawForms(InspectableJar(path("cookies.ini")).allCookies()), rawForms({valid}));

        jar.setAllCookies({session});
        jar.save();
        // version 23, then a count of 0 and nothing more
        QVERIFY2(readAll(path("cookies.ini")).contains("\\0\\0\\0\\x17\\0\\0\\0\\0)"), readAll(path("cookies.ini")));
    }

    void unparsableEntryIsSkippedWithWarning()
    {
        const QByteArray good = cookie("good", "1", 1).toRawForm();
        QTest::ignoreMessage(QtWarningMsg, "CookieJar: Unable to parse saved cookie: \"=\"");
        // an empty entry yields nothing and is no reason to complain
        QCOMPARE(CookieJar::cookiesFromFile(cookieFile(handStream(23, 4, {good, "=", QByteArray(), good}))).size(), 2);
    }

    void damagedAndHostileFiles_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<int>("count");
        const QByteArray raw = cookie("k", "v", 10).toRawForm();
        const QByteArray valid = cookieFile(handStream(23, 1, {raw}));
        QTest::newRow("valid") << valid << 1;
        QTest::newRow("version 22") << cookieFile(handStream(22, 1, {raw})) << 0;
        QTest::newRow("binary junk") << QByteArray("\x00\xff\x7f[\"\\", 6) << 0;
        QTest::newRow("another user type") << cookieFile(handStream(23, 1, {raw}), "QList<QByteArray>") << 0;
        // what the settings library itself dies on: a list that claims 2^28
        // entries, and lists nested ever deeper
        QTest::newRow("huge variant list") << QByteArray("[General]\ncookies=@Variant(\\0\\0\\0\\t\\x10\\0\\0\\0)\n") << 0;
        QTest::newRow("deeply nested lists")
            << "[General]\ncookies=@Variant(" + QByteArray("\\0\\0\\0\\t\\0\\0\\0\\x1").repeated(60000) + ")\n" << 0;
        QTest::newRow("count far too high") << cookieFile(handStream(23, 0x7fffffff, {raw})) << 1;
        QTest::newRow("entry claims 4 GB") << cookieFile(handStream(23, 2, {raw}) + "\xff\xff\xff\xf0k=v") << 1;
        QTest::newRow("truncated entry") << cookieFile(handStream(23, 3, {raw, raw}) + QByteArray("\0\0\0\x40k=v", 7)) << 2;
        QTest::newRow("beyond the size limit") << valid + QByteArray(2 * 1024 * 1024, ';') << 0;
    }
    void damagedAndHostileFiles()
    {
        QFETCH(QByteArray, contents);
        QFETCH(int, count);
        QFile file(path("cookies.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(contents);
        file.close();
        InspectableJar jar(path("cookies.ini"));
        QCOMPARE(jar.allCookies().size(), count);
        // a damaged file is replaced whole at the next save
        jar.setAllCookies({cookie("fresh", "1", 1)});
        jar.save();
        QCOMPARE(InspectableJar(path("cookies.ini")).allCookies().size(), 1);
    }

    void survivesRandomAndMutatedFiles()
    {
        const quint32 seed = 0x5eed2024;
        QRandomGenerator rng(seed);
        QList<QByteArray> fileSeeds;
        QList<QByteArray> streamSeeds;
        for (const QList<QNetworkCookie> &list : {QList<QNetworkCookie>{}, {cookie("a", "1", 1)},
                                                  {cookie("sid", "x y", 2), cookie("t", "\"q\"", 3), cookie("u", "\\0,9", 4)}}) {
            fileSeeds << libraryWrites(path("seed.ini"), list) << cookieFile(streamOf(list));
            streamSeeds << streamOf(list);
        }
        const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        qint64 cookiesFound = 0;
        const int inputs = 100000;
        for (int i = 0; i < inputs; ++i) {
            QByteArray contents;
            if (i < inputs / 10)
                contents = (i % 2 ? QByteArray("[General]\ncookies=@Variant(") : QByteArray()) + randomBytes(rng, rng.bounded(300));
            else if (i % 2)
                contents = mutate(fileSeeds.at(rng.bounded(fileSeeds.size())), rng);
            else
                contents = cookieFile(mutate(streamSeeds.at(rng.bounded(streamSeeds.size())), rng));
            const int found = CookieJar::cookiesFromFile(contents).size();
            // every cookie needs bytes of its own in the file
            if (found > contents.size())
                qFatal("more cookies than bytes");
            cookiesFound += found;
        }
        qInstallMessageHandler(previous);

        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        qInfo("%d inputs (seed %#x): %lld cookies read, peak resident %ld KiB", inputs, seed, cookiesFound, usage.ru_maxrss);
        QVERIFY(cookiesFound > 0);
        QVERIFY2(usage.ru_maxrss < 300 * 1024, "a hostile count or length made the reader allocate");
    }

    void defaultFileIsNextToTheProgram()
    {
        const QString expected = QCoreApplication::applicationDirPath() + QStringLiteral("/cookies.ini");
        if (QFile::exists(expected))
            QSKIP("a cookie file already lies next to the test program");
        {
            InspectableJar jar;
            jar.setAllCookies({cookie("here", "1", 1)});
            jar.save();
        }
        const int loaded = InspectableJar().allCookies().size();
        QVERIFY(QFile::remove(expected));
        QCOMPARE(loaded, 1);
    }
};

QTEST_GUILESS_MAIN(TestCookieJar)
#include "tst_cookiejar.moc"
