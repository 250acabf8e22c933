// The persistent cookie jar: its file, its stream form, the save rules, and
// a reader that survives damaged and hostile files.
#include "testsupport.h"
#include "upload/cookiejar.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QDateTime>
#include <QElapsedTimer>
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

QNetworkCookie cookie(const QByteArray &name, const QByteArray &value, const QDateTime &expires = {})
{
    QNetworkCookie c(name, value);
    c.setDomain(QStringLiteral(".example.com"));
    c.setPath(QStringLiteral("/"));
    if (expires.isValid())
        c.setExpirationDate(expires);
    return c;
}

QDateTime inDays(int days)
{
    return QDateTime::currentDateTimeUtc().addDays(days);
}

QStringList rawForms(const QList<QNetworkCookie> &cookies)
{
    QStringList forms;
    for (const QNetworkCookie &c : cookies)
        forms << QString::fromLatin1(c.toRawForm(QNetworkCookie::Full));
    return forms;
}

QByteArray streamOf(const QList<QNetworkCookie> &cookies)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream << cookies;
    return bytes;
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

// A variant of the cookie-list type around a stream, as the settings library
// stores it (Qt 4.0 stream form: user-type number 127, the type's name).
QByteArray variantPayload(const QByteArray &cookieStream, const char *typeName = "QList<QNetworkCookie>")
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_4_0);
    stream << quint32(127) << typeName;
    bytes += cookieStream;
    return bytes;
}

// A cookie file holding the payload with every byte as a hex escape, which
// the settings library's INI reader accepts as well.
QByteArray cookieFile(const QByteArray &payload)
{
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

void writeAll(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(contents), qint64(contents.size()));
}

// The cookies the settings library itself reads from a file: the reference
// for files that are not hostile.  Read from a fresh copy, as the library
// keeps what it wrote to a path in memory.
QList<QNetworkCookie> libraryReads(const QString &path)
{
    static int copies = 0;
    const QString copy = path + QStringLiteral(".copy%1").arg(++copies);
    QFile::copy(path, copy);
    const QVariant value = QSettings(copy, QSettings::IniFormat).value(QStringLiteral("cookies"));
    QFile::remove(copy);
    return value.value<QList<QNetworkCookie>>();
}

// A file written by the settings library itself, not through the jar.
QByteArray libraryWrites(const QString &path, const QList<QNetworkCookie> &cookies)
{
    QFile::remove(path);
    {
        QSettings settings(path, QSettings::IniFormat);
        settings.setValue(QStringLiteral("cookies"), QVariant::fromValue(cookies));
    }
    return readAll(path);
}

QByteArray randomBytes(QRandomGenerator &rng, int length, const QByteArray &alphabet = {})
{
    QByteArray bytes(length, '\0');
    for (char &ch : bytes)
        ch = alphabet.isEmpty() ? char(rng.bounded(256)) : alphabet.at(rng.bounded(alphabet.size()));
    return bytes;
}

// One to four random edits of the kinds that break parsers: flipped bits,
// structural characters, inserted or removed runs, repeats, truncation, and
// (for stream bytes) numbers that claim absurd counts and lengths.
QByteArray mutate(QByteArray data, QRandomGenerator &rng, bool binary)
{
    static const QList<QByteArray> tokens = {
        "\\", "\"", ",", ";", "=", "\n", "\r", "[General]\n", "[x]\n", "\\x", "\\0", "\\\n",
        "@Variant(", ")", "cookies=", "\xef\xbb\xbf", " ", "\\xffffffff"};
    static const quint32 numbers[] = {0u, 1u, 23u, 127u, 0x7fffffffu, 0x80000000u,
                                      0x10000000u, 0xfffffff0u, 0xffffffffu};
    const int edits = 1 + rng.bounded(4);
    for (int e = 0; e < edits; ++e) {
        const int size = data.size();
        const int at = size ? rng.bounded(size) : 0;
        switch (rng.bounded(binary ? 7 : 6)) {
        case 0:
            if (size)
                data[at] = char(data.at(at) ^ (1 << rng.bounded(8)));
            break;
        case 1:
            if (size)
                data[at] = char(rng.bounded(256));
            break;
        case 2:
            data.insert(at, binary ? randomBytes(rng, 1 + rng.bounded(8))
                                   : tokens.at(rng.bounded(tokens.size())));
            break;
        case 3:
            data.remove(at, 1 + rng.bounded(16));
            break;
        case 4:
            data.insert(at, data.mid(at, 1 + rng.bounded(64)));
            break;
        case 5:
            data.truncate(at);
            break;
        case 6: {
            const quint32 n = numbers[rng.bounded(int(sizeof numbers / sizeof *numbers))];
            const char be[4] = {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
            data.replace(at, 4, be, 4);
            break;
        }
        }
    }
    return data;
}

long peakResidentKiB()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int suppressedWarnings = 0;
void countWarnings(QtMsgType, const QMessageLogContext &, const QString &)
{
    ++suppressedWarnings;
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

    void streamFormIsVersionCountAndFullRawForms();
    void fileRoundTrips();
    void readsWhatTheSettingsLibraryWrites();
    void readsHandEditedLayoutsLikeTheSettingsLibrary_data();
    void readsHandEditedLayoutsLikeTheSettingsLibrary();
    void otherVersionLoadsEmpty_data();
    void otherVersionLoadsEmpty();
    void sessionCookiesAreNeverWritten();
    void expiredCookiesArePurgedAtSave();
    void unparsableEntryIsSkippedWithWarning();
    void damagedAndHostileFiles_data();
    void damagedAndHostileFiles();
    void survivesRandomAndMutatedFiles();
    void defaultFileIsNextToTheProgram();
};

void TestCookieJar::streamFormIsVersionCountAndFullRawForms()
{
    const QDateTime expires(QDate(2030, 1, 2), QTime(3, 4, 5), Qt::UTC);
    QNetworkCookie secure = cookie("tok", "x1", expires);
    secure.setSecure(true);
    secure.setHttpOnly(true);
    const QList<QNetworkCookie> cookies = {cookie("sid", "abc", expires), secure};

    QByteArray expected;
    {
        QDataStream stream(&expected, QIODevice::WriteOnly);
        stream << qint32(23) << qint32(2)
               << QByteArray("sid=abc; expires=Wed, 02-Jan-2030 03:04:05 GMT; domain=.example.com; path=/")
               << QByteArray("tok=x1; secure; HttpOnly; expires=Wed, 02-Jan-2030 03:04:05 GMT; "
                             "domain=.example.com; path=/");
    }
    QCOMPARE(streamOf(cookies).toHex(), expected.toHex());

    QList<QNetworkCookie> back;
    QDataStream reader(expected);
    reader >> back;
    QCOMPARE(rawForms(back), rawForms(cookies));
}

void TestCookieJar::fileRoundTrips()
{
    const QList<QNetworkCookie> cookies = {cookie("a", "1", inDays(3)), cookie("b", "two words", inDays(30)),
                                           cookie("c", "q\"uo\\te", inDays(365))};
    {
        InspectableJar jar(path("cookies.ini"));
        QVERIFY(jar.allCookies().isEmpty());
        jar.setAllCookies(cookies);
        jar.save();
    }
    InspectableJar loaded(path("cookies.ini"));
    QCOMPARE(rawForms(loaded.allCookies()), rawForms(cookies));
    // The file is in the settings library's own notation.
    QCOMPARE(rawForms(libraryReads(path("cookies.ini"))), rawForms(cookies));
}

void TestCookieJar::readsWhatTheSettingsLibraryWrites()
{
    // Random names and values over every byte the escaping treats specially:
    // zero and control bytes, digits and hex letters after escapes, quotes,
    // backslashes, separators, blanks at the ends, bytes above 127.
    QRandomGenerator rng(20240605);
    int compared = 0;
    QByteArray alphabet = "09afAFxX\\\"=,; \t\x01\x7f\x80\xc3\xa9\xff" "abcdefghij";
    for (int round = 0; round < 200; ++round) {
        QList<QNetworkCookie> cookies;
        const int count = rng.bounded(6);
        for (int i = 0; i < count; ++i) {
            cookies << cookie("n" + randomBytes(rng, rng.bounded(6), "abc019"),
                              randomBytes(rng, rng.bounded(40), alphabet), inDays(1 + rng.bounded(100)));
        }
        const QByteArray file = libraryWrites(path("lib.ini"), cookies);
        const QList<QNetworkCookie> ours = CookieJar::cookiesFromFile(file);
        QCOMPARE(rawForms(ours), rawForms(libraryReads(path("lib.ini"))));
        compared += ours.size();
    }
    QVERIFY(compared > 200);
}

void TestCookieJar::readsHandEditedLayoutsLikeTheSettingsLibrary_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("count");

    const QByteArray base = libraryWrites(path("base.ini"), {cookie("a", "1", inDays(5)), cookie("b", "2", inDays(5))});
    QVERIFY(base.startsWith("[General]\ncookies="));
    const QByteArray line = base.mid(base.indexOf("cookies="));
    const QByteArray value = line.mid(8).trimmed();
    const QByteArray one = cookieFile(variantPayload(streamOf({cookie("z", "9", inDays(5))})));
    const QByteArray oneValue = one.mid(one.indexOf("cookies=") + 8).trimmed();

    QTest::newRow("as written") << base << 2;
    QTest::newRow("CRLF line ends") << QByteArray(base).replace("\n", "\r\n") << 2;
    QTest::newRow("byte order mark") << "\xef\xbb\xbf" + base << 2;
    QTest::newRow("comments") << "; saved cookies\n[General]\n; the jar\n" + line << 2;
    QTest::newRow("lower-case section") << "[general]\n" + line << 2;
    QTest::newRow("no section") << line << 2;
    QTest::newRow("blanks around") << "[General]\n  cookies \t=  " + value + "  \n" << 2;
    QTest::newRow("hex-escaped") << one << 1;
    QTest::newRow("other section first") << "[Other]\ncookies=" + oneValue + "\n" + base << 2;
    QTest::newRow("only another section") << "[Other]\n" + line << 0;
    QTest::newRow("group named General") << "[%General]\n" + line << 0;
    QTest::newRow("last entry wins") << "[General]\ncookies=" + oneValue + "\n" + line << 2;
    QTest::newRow("other keys") << "[General]\nfoo=1\n" + line + "bar=\"x,y\"\n" << 2;
    const int cut = oneValue.indexOf('\\', 20);
    QTest::newRow("continued line") << "[General]\ncookies=" + oneValue.left(cut) + "\\\n" + oneValue.mid(cut) + "\n" << 1;
    QTest::newRow("trailing comment") << base.trimmed() + " ; note\n" << 2;
}

void TestCookieJar::readsHandEditedLayoutsLikeTheSettingsLibrary()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, count);
    writeAll(path("hand.ini"), contents);
    const QList<QNetworkCookie> ours = CookieJar::cookiesFromFile(contents);
    QCOMPARE(ours.size(), count);
    QCOMPARE(rawForms(ours), rawForms(libraryReads(path("hand.ini"))));
}

void TestCookieJar::otherVersionLoadsEmpty_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("count");
    QTest::newRow("23") << 23 << 1;
    QTest::newRow("22") << 22 << 0;
    QTest::newRow("24") << 24 << 0;
    QTest::newRow("0") << 0 << 0;
    QTest::newRow("-23") << -23 << 0;
}

void TestCookieJar::otherVersionLoadsEmpty()
{
    QFETCH(int, version);
    QFETCH(int, count);
    const QByteArray raw = cookie("k", "v", inDays(10)).toRawForm();
    writeAll(path("cookies.ini"), cookieFile(variantPayload(handStream(version, 1, {raw}))));
    InspectableJar jar(path("cookies.ini"));
    QCOMPARE(jar.allCookies().size(), count);
}

void TestCookieJar::sessionCookiesAreNeverWritten()
{
    const QNetworkCookie session = cookie("session", "s");
    const QNetworkCookie persistent = cookie("kept", "p", inDays(2));
    {
        InspectableJar jar(path("cookies.ini"));
        jar.setAllCookies({session, persistent, cookie("session2", "t")});
        jar.save();
        // Kept in the jar for the rest of the run.
        QCOMPARE(jar.allCookies().size(), 3);
    }
    QCOMPARE(rawForms(InspectableJar(path("cookies.ini")).allCookies()), rawForms({persistent}));

    InspectableJar onlySession(path("only.ini"));
    onlySession.setAllCookies({session});
    onlySession.save();
    // Version 23, then a count of 0 and nothing more.
    QVERIFY2(readAll(path("only.ini")).contains("\\0\\0\\0\\x17\\0\\0\\0\\0)"), readAll(path("only.ini")));
}

void TestCookieJar::expiredCookiesArePurgedAtSave()
{
    const QNetworkCookie expired = cookie("old", "1", inDays(-1));
    const QNetworkCookie valid = cookie("new", "2", inDays(1));
    const QNetworkCookie session = cookie("now", "3");
    writeAll(path("cookies.ini"), cookieFile(variantPayload(streamOf({expired, valid}))));

    InspectableJar jar(path("cookies.ini"));
    QCOMPARE(jar.allCookies().size(), 2);
    jar.setAllCookies(jar.allCookies() << session);
    jar.save();
    QCOMPARE(rawForms(jar.allCookies()), rawForms({valid, session}));
    QCOMPARE(rawForms(CookieJar::cookiesFromFile(readAll(path("cookies.ini")))), rawForms({valid}));
}

void TestCookieJar::unparsableEntryIsSkippedWithWarning()
{
    const QNetworkCookie good = cookie("good", "1", inDays(1));
    const QByteArray bad = "=";
    QVERIFY(QNetworkCookie::parseCookies(bad).isEmpty());
    QTest::ignoreMessage(QtWarningMsg, "CookieJar: Unable to parse saved cookie: \"=\"");
    // An empty entry yields nothing and is no reason to complain.
    const QByteArray file = cookieFile(variantPayload(handStream(23, 4, {good.toRawForm(), bad, QByteArray(), good.toRawForm()})));
    QCOMPARE(rawForms(CookieJar::cookiesFromFile(file)), rawForms({good, good}));
}

void TestCookieJar::damagedAndHostileFiles_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<int>("count");

    const QByteArray raw = cookie("k", "v", inDays(10)).toRawForm();
    const QByteArray valid = cookieFile(variantPayload(handStream(23, 1, {raw})));
    QTest::newRow("valid") << valid << 1;
    QTest::newRow("empty file") << QByteArray() << 0;
    QTest::newRow("binary junk") << QByteArray("\x00\xff\x7f[\"\\", 6) << 0;
    QTest::newRow("plain text value") << QByteArray("[General]\ncookies=hello\n") << 0;
    QTest::newRow("list value") << QByteArray("[General]\ncookies=@Variant(a,b)\n") << 0;
    QTest::newRow("byte array value") << QByteArray(valid).replace("@Variant(", "@ByteArray(") << 0;
    QTest::newRow("unclosed variant") << valid.left(valid.size() - 2) + "\n" << 0;
    QTest::newRow("unclosed quote") << QByteArray("[General]\ncookies=\"@Variant(\\0)\n") << 0;
    QTest::newRow("another user type")
        << cookieFile(variantPayload(handStream(23, 1, {raw}), "QList<QByteArray>")) << 0;
    // What the settings library itself dies on: a list that claims 2^28
    // entries, and lists nested ever deeper.
    QTest::newRow("huge variant list") << QByteArray("[General]\ncookies=@Variant(\\0\\0\\0\\t\\x10\\0\\0\\0)\n") << 0;
    QTest::newRow("deeply nested lists")
        << "[General]\ncookies=@Variant(" + QByteArray("\\0\\0\\0\\t\\0\\0\\0\\x1").repeated(60000) + ")\n" << 0;
    QTest::newRow("count far too high") << cookieFile(variantPayload(handStream(23, 0x7fffffff, {raw}))) << 1;
    QTest::newRow("negative count") << cookieFile(variantPayload(handStream(23, -1, {raw}))) << 0;
    QByteArray longEntry = handStream(23, 2, {raw});
    longEntry += QByteArray("\xff\xff\xff\xf0", 4) + "k=v";
    QTest::newRow("entry claims 4 GB") << cookieFile(variantPayload(longEntry)) << 1;
    QTest::newRow("truncated entry")
        << cookieFile(variantPayload(handStream(23, 3, {raw, raw}) + QByteArray("\0\0\0\x40k=v", 7))) << 2;
    QTest::newRow("beyond the size limit") << valid + QByteArray(2 * 1024 * 1024, ';') << 0;
}

void TestCookieJar::damagedAndHostileFiles()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, count);
    writeAll(path("cookies.ini"), contents);
    InspectableJar jar(path("cookies.ini"));
    QCOMPARE(jar.allCookies().size(), count);
    // A damaged file is replaced whole at the next save.
    jar.setAllCookies({cookie("fresh", "1", inDays(1))});
    jar.save();
    QCOMPARE(InspectableJar(path("cookies.ini")).allCookies().size(), 1);
}

void TestCookieJar::survivesRandomAndMutatedFiles()
{
    const quint32 seed = 0x5eed2024;
    QRandomGenerator rng(seed);

    const QList<QList<QNetworkCookie>> lists = {
        {},
        {cookie("a", "1", inDays(1))},
        {cookie("sid", "x y", inDays(2)), cookie("t", "\"q\"", inDays(3)), cookie("u", "\\0,9", inDays(4))}};
    QList<QByteArray> fileSeeds;
    QList<QByteArray> payloadSeeds;
    for (const auto &list : lists) {
        fileSeeds << libraryWrites(path("seed.ini"), list) << cookieFile(variantPayload(streamOf(list)));
        payloadSeeds << variantPayload(streamOf(list));
    }

    const int randomInputs = 10000;
    const int fileMutations = 45000;
    const int payloadMutations = 45000;
    QElapsedTimer timer;
    timer.start();
    suppressedWarnings = 0;
    const QtMessageHandler previous = qInstallMessageHandler(countWarnings);
    qint64 cookiesFound = 0;
    auto check = [&](const QByteArray &contents) {
        const QList<QNetworkCookie> cookies = CookieJar::cookiesFromFile(contents);
        // Every cookie needs bytes of its own in the file.
        if (cookies.size() > contents.size())
            qFatal("more cookies than bytes");
        cookiesFound += cookies.size();
    };
    for (int i = 0; i < randomInputs; ++i) {
        const QByteArray prefix = i % 2 ? QByteArray("[General]\ncookies=@Variant(") : QByteArray();
        check(prefix + randomBytes(rng, rng.bounded(300)));
    }
    for (int i = 0; i < fileMutations; ++i)
        check(mutate(fileSeeds.at(rng.bounded(fileSeeds.size())), rng, false));
    for (int i = 0; i < payloadMutations; ++i)
        check(cookieFile(mutate(payloadSeeds.at(rng.bounded(payloadSeeds.size())), rng, true)));
    qInstallMessageHandler(previous);

    const qint64 elapsed = timer.elapsed();
    qInfo("%d inputs (seed %#x) in %lld ms: %lld cookies read, %d warnings, peak resident %ld KiB",
          randomInputs + fileMutations + payloadMutations, seed, elapsed, cookiesFound,
          suppressedWarnings, peakResidentKiB());
    QVERIFY(cookiesFound > 0);
    QVERIFY2(peakResidentKiB() < 300 * 1024, "a hostile count or length made the reader allocate");
}

void TestCookieJar::defaultFileIsNextToTheProgram()
{
    const QString expected = QCoreApplication::applicationDirPath() + QStringLiteral("/cookies.ini");
    QCOMPARE(CookieJar::defaultFilePath(), expected);
    if (QFile::exists(expected))
        QSKIP("a cookie file already lies next to the test program");
    {
        InspectableJar jar;
        jar.setAllCookies({cookie("here", "1", inDays(1))});
        jar.save();
    }
    const int loaded = InspectableJar().allCookies().size();
    QFile::remove(expected);
    QCOMPARE(loaded, 1);
}

QTEST_GUILESS_MAIN(TestCookieJar)
#include "tst_cookiejar.moc"
