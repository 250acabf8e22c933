// The server's name, option and secret rules, driven with tables.
#include "names.h"
#include "secrets.h"
#include "serveroptions.h"

#include <QtTest>

#include <map>
#include <set>

Q_DECLARE_METATYPE(std::string)

class TestNames : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(Secrets::initialise()); }

    // Only a plain name yields an extension: anything that could reach
    // another folder is refused, whatever its spelling once decoded.
    void putTargets_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QByteArray>("extension");
        QTest::newRow("program's uuid") << QByteArray("/1b4e28ba-2fa1-11d2-883f-0016d3cca427.png") << true << QByteArray("png");
        QTest::newRow("curl -T name") << QByteArray("/Shot 1.PNG") << true << QByteArray("png");
        QTest::newRow("no extension") << QByteArray("/notes") << true << QByteArray();
        QTest::newRow("odd extension") << QByteArray("/a.p$g") << true << QByteArray();
        QTest::newRow("long extension") << QByteArray("/a.abcdefghijk") << true << QByteArray();
        QTest::newRow("root") << QByteArray("/") << false << QByteArray();
        QTest::newRow("dot dot") << QByteArray("/..") << false << QByteArray();
        QTest::newRow("folder") << QByteArray("/files/x.png") << false << QByteArray();
        QTest::newRow("climb") << QByteArray("/../../etc/passwd.png") << false << QByteArray();
        QTest::newRow("backslash") << QByteArray("/..\\server.key") << false << QByteArray();
        QTest::newRow("NUL") << QByteArray("/a.png\0.html", 12) << false << QByteArray();
        QTest::newRow("newline") << QByteArray("/a\n.png") << false << QByteArray();
        QTest::newRow("relative") << QByteArray("a.png") << false << QByteArray();
    }
    void putTargets()
    {
        QFETCH(QByteArray, path);
        QFETCH(bool, accepted);
        QFETCH(QByteArray, extension);
        const std::optional<std::string> found = Names::putExtension(path.toStdString());
        QCOMPARE(found.has_value(), accepted);
        if (found)
            QCOMPARE(QByteArray::fromStdString(*found), extension);
    }

    // What the browser may render on our origin, and as what.
    void servedTypes_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("type");
        QTest::addColumn<bool>("shownInline");
        QTest::newRow("png") << "png" << "image/png" << true;
        QTest::newRow("gif") << "gif" << "image/gif" << true;
        QTest::newRow("mp4") << "mp4" << "video/mp4" << true;
        QTest::newRow("html") << "html" << "application/octet-stream" << false;
        QTest::newRow("htm") << "htm" << "application/octet-stream" << false;
        QTest::newRow("svg") << "svg" << "application/octet-stream" << false;
        QTest::newRow("xml") << "xml" << "application/octet-stream" << false;
        QTest::newRow("unknown") << "bin" << "application/octet-stream" << false;
    }
    void servedTypes()
    {
        QFETCH(QString, extension);
        QFETCH(QString, type);
        QFETCH(bool, shownInline);
        QCOMPARE(QString::fromStdString(Names::contentTypeOf(extension.toStdString())), type);
        QCOMPARE(Names::servedInline(extension.toStdString()), shownInline);
    }

    void durations_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("seconds"); // -1: refused
        QTest::newRow("seconds") << "3600" << qint64(3600);
        QTest::newRow("minutes") << "90m" << qint64(5400);
        QTest::newRow("hours") << "12h" << qint64(43200);
        QTest::newRow("days") << "7d" << qint64(604800);
        QTest::newRow("zero") << "0" << qint64(-1);
        QTest::newRow("negative") << "-5" << qint64(-1);
        QTest::newRow("unit only") << "d" << qint64(-1);
        QTest::newRow("overflowing") << "99999999999d" << qint64(-1);
        QTest::newRow("words") << "1 day" << qint64(-1);
    }
    void durations()
    {
        QFETCH(QString, text);
        QFETCH(qint64, seconds);
        const std::optional<int64_t> parsed = Names::parseDuration(text.toStdString());
        QCOMPARE(parsed ? qint64(*parsed) : qint64(-1), seconds);
    }

    void cookies_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("value");
        QTest::newRow("program's") << "snaplark-auth-id=abc" << "abc";
        QTest::newRow("program's, logged out") << "snaplark-auth-id=" << "";
        QTest::newRow("among others") << "a=1; snaplark-auth-id=abc; b=2" << "abc";
        QTest::newRow("longer name") << "xsnaplark-auth-id=evil; snaplark-auth-id-2=evil" << "";
        QTest::newRow("absent") << "" << "";
    }
    void cookies()
    {
        QFETCH(QString, header);
        QFETCH(QString, value);
        QCOMPARE(QString::fromStdString(Names::cookieValue(header.toStdString(), "snaplark-auth-id")), value);
    }

    // A Host header ends up in every link of a page.
    void linkBase_data()
    {
        QTest::addColumn<QString>("publicUrl");
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("base");
        QTest::newRow("host") << "" << "shots.example:8900" << "http://shots.example:8900/";
        QTest::newRow("configured wins") << "https://s.example/" << "other" << "https://s.example/";
        QTest::newRow("markup in host") << "" << "x\"><script>" << "http://127.0.0.1:8900/";
        QTest::newRow("no host") << "" << "" << "http://127.0.0.1:8900/";
    }
    void linkBase()
    {
        QFETCH(QString, publicUrl);
        QFETCH(QString, host);
        QFETCH(QString, base);
        QCOMPARE(QString::fromStdString(Names::baseUrl(publicUrl.toStdString(), host.toStdString(), "127.0.0.1:8900")), base);
    }

    void ids()
    {
        std::set<std::string> seen;
        for (int i = 0; i < 2000; ++i) {
            const std::string id = Names::newId();
            QVERIFY(Names::isId(id));
            seen.insert(id);
        }
        QCOMPARE(seen.size(), size_t(2000));
        QVERIFY(!Names::isId("../../x"));
    }

    void passwords()
    {
        const std::string hash = Secrets::hashPassword("correct horse");
        QVERIFY(QByteArray::fromStdString(hash).startsWith("$argon2id$"));
        QVERIFY(Secrets::verifyPassword(hash, "correct horse"));
        QVERIFY(!Secrets::verifyPassword(hash, "correct horsE"));
        QVERIFY(!Secrets::verifyPassword(hash, std::string("correct horse\0x", 15)));
        QVERIFY(!Secrets::verifyPassword(hash, hash)); // the hash is no password
        QVERIFY(!Secrets::verifyPassword("", ""));
    }

    void deletionKeys()
    {
        const std::string key = Secrets::newServerKey();
        const std::string link = Secrets::deletionKey(key, "abcdefghijkm");
        QVERIFY(Secrets::isDeletionKey(key, "abcdefghijkm", link));
        QVERIFY(!Secrets::isDeletionKey(key, "abcdefghijkn", link));
        QVERIFY(!Secrets::isDeletionKey(Secrets::newServerKey(), "abcdefghijkm", link));
        QVERIFY(!Secrets::isDeletionKey(key, "abcdefghijkm", ""));
    }

    void options_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("environment"); // NAME=value
        QTest::addColumn<QString>("expected");        // host:port data max-upload anonymous, or "error"
        QTest::newRow("defaults") << QStringList() << QStringList{"XDG_DATA_HOME=/d"}
                                  << "127.0.0.1:8900 /d/snaplark-server 1073741824 1";
        QTest::newRow("no XDG_DATA_HOME") << QStringList() << QStringList{"HOME=/h"}
                                          << "127.0.0.1:8900 /h/.local/share/snaplark-server 1073741824 1";
        QTest::newRow("command line") << QStringList{"--listen", "0.0.0.0:80", "--data=/srv/s", "--max-upload", "500M",
                                                     "--anonymous-uploads", "no"}
                                      << QStringList{"HOME=/h"} << "0.0.0.0:80 /srv/s 524288000 0";
        QTest::newRow("environment") << QStringList()
                                     << QStringList{"HOME=/h", "SNAPLARK_SERVER_LISTEN=[::1]:8000",
                                                    "SNAPLARK_SERVER_DATA=/e", "SNAPLARK_SERVER_MAX_UPLOAD=2G",
                                                    "SNAPLARK_SERVER_ANONYMOUS_UPLOADS=false"}
                                     << "::1:8000 /e 2147483648 0";
        QTest::newRow("command line wins") << QStringList{"--data", "/c"} << QStringList{"SNAPLARK_SERVER_DATA=/e"}
                                           << "127.0.0.1:8900 /c 1073741824 1";
        QTest::newRow("port out of range") << QStringList{"--listen", "127.0.0.1:70000"} << QStringList{"HOME=/h"} << "error";
        QTest::newRow("no port") << QStringList{"--listen", "127.0.0.1"} << QStringList{"HOME=/h"} << "error";
        QTest::newRow("bare IPv6") << QStringList{"--listen", "::1:80"} << QStringList{"HOME=/h"} << "error";
        QTest::newRow("size with junk") << QStringList{"--max-upload", "5X"} << QStringList{"HOME=/h"} << "error";
        QTest::newRow("missing value") << QStringList{"--data"} << QStringList{"HOME=/h"} << "error";
        QTest::newRow("unknown") << QStringList{"--port", "1"} << QStringList{"HOME=/h"} << "error";
        QTest::newRow("bad environment") << QStringList() << QStringList{"HOME=/h", "SNAPLARK_SERVER_ANONYMOUS_UPLOADS=maybe"}
                                         << "error";
        QTest::newRow("nowhere to keep data") << QStringList() << QStringList() << "error";
    }
    void options()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, environment);
        QFETCH(QString, expected);
        std::map<std::string, std::string> variables;
        for (const QString &pair : environment)
            variables[pair.section('=', 0, 0).toStdString()] = pair.section('=', 1).toStdString();
        std::vector<std::string> argv;
        for (const QString &argument : arguments)
            argv.push_back(argument.toStdString());
        const OptionsResult result = parseOptions(argv, [&](const char *name) -> const char * {
            const auto found = variables.find(name);
            return found == variables.end() ? nullptr : found->second.c_str();
        });
        if (expected == "error") {
            QVERIFY(!result.error.empty());
            return;
        }
        QVERIFY2(result.error.empty(), result.error.c_str());
        const ServerOptions &o = result.options;
        QCOMPARE(QStringLiteral("%1:%2 %3 %4 %5").arg(QString::fromStdString(o.host)).arg(o.port)
                     .arg(QString::fromStdString(o.dataFolder)).arg(o.maxUploadBytes).arg(int(o.anonymousUploads)),
                 expected);
    }
};

QTEST_GUILESS_MAIN(TestNames)
#include "tst_names.moc"
