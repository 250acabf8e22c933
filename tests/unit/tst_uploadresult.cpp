// Reading an upload's reply: names and links from "FileName", the clipboard
// forms, and the status body, also against random and mangled bodies.
#include "upload/replyparsepage.h"
#include "upload/uploadresult.h"

#include <QRandomGenerator>
#include <QtTest>

using StatusMap = QMap<QString, QString>;

namespace {

// Drops the parser's debug line for every piece.
void dropDebug(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg)
        fprintf(stderr, "%s\n", qPrintable(message));
}

QByteArray mutate(QByteArray body, QRandomGenerator &random)
{
    static const QByteArray alphabet("{}\":,\\ /#<>&;abcOKERROR\n\t\x00\xff", 31);
    for (int edits = 1 + random.bounded(6); edits > 0; --edits) {
        const int at = body.isEmpty() ? 0 : random.bounded(body.size() + 1);
        const char c = alphabet.at(random.bounded(alphabet.size()));
        switch (random.bounded(3)) {
        case 0: body.insert(at, c); break;
        case 1: body.remove(at, 1 + random.bounded(4)); break;
        default: body.replace(at, 1, QByteArray(1, c));
        }
    }
    return body;
}

QByteArray randomBytes(QRandomGenerator &random)
{
    QByteArray bytes(random.bounded(200), '\0');
    std::generate(bytes.begin(), bytes.end(), [&] { return char(random.bounded(256)); });
    return bytes;
}

// What every parse must give, whatever the input.
bool wellFormed(const StatusMap &map, const QString &text)
{
    static const QRegularExpression stripped(QStringLiteral("[{}\"\\\\,]")); // what the parser strips or splits at
    for (auto it = map.begin(); it != map.end(); ++it)
        if (it.key().contains(stripped) || it.value().contains(stripped) || it.key().contains(QLatin1Char(':')))
            return false;
    return !map.isEmpty() && map.size() <= text.count(QLatin1Char(',')) + 1;
}

} // namespace

class TestUploadResult : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qInstallMessageHandler(dropDebug); }

    void serverNameSafety_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("safe");
        QTest::newRow("plain") << "aB3x.png" << true;
        QTest::newRow("fragment") << "aB3x.gif#top" << true;
        QTest::newRow("dots inside") << "a..b.png" << true;
        QTest::newRow("unicode") << QString::fromUtf8("bild-ü.png") << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("dot") << "." << false;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("parent folder") << "../x.png" << false;
        QTest::newRow("sub folder") << "sub/x.png" << false;
        QTest::newRow("absolute") << "/tmp/x.png" << false;
        QTest::newRow("backslash") << "..\\x.png" << false;
        QTest::newRow("drive") << "C:x.png" << false;
        QTest::newRow("control character") << QStringLiteral("x\nname.png") << false;
        QTest::newRow("nul") << QString::fromLatin1("x\0/y.png", 8) << false;
    }
    void serverNameSafety()
    {
        QFETCH(QString, name);
        QFETCH(bool, safe);
        QCOMPARE(UploadResult::isSafeServerName(name), safe);
    }

    void localName_data()
    {
        QTest::addColumn<QString>("serverName");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("local");
        QTest::newRow("gif reply, image mode") << "pic.gif" << 0 << "pic.png";
        QTest::newRow("video mode") << "pic.png" << 1 << "pic.webm";
        QTest::newRow("gif mode") << "pic.png" << 2 << "pic.gif";
        QTest::newRow("scroll mode") << "pic.gif" << 3 << "pic.png";
        QTest::newRow("unknown mode is video") << "pic.png" << 9 << "pic.webm";
        QTest::newRow("last dot") << "a.b.c" << 0 << "a.b.png";
        QTest::newRow("fragment after the dot goes") << "shot.gif#top" << 0 << "shot.png";
        QTest::newRow("no dot") << "shot#top" << 0 << "shot#top";
        QTest::newRow("dot first only") << ".hidden" << 0 << ".hidden";
    }
    void localName()
    {
        QFETCH(QString, serverName);
        QFETCH(int, mode);
        QFETCH(QString, local);
        QCOMPARE(UploadResult::localName(serverName, mode, QStringLiteral("webm")), local);
    }

    // The forms come from the links as text: a "%2" in a name is no place holder, a "#" only at the start no fragment.
    void oddNamesInLinks()
    {
        const QString base = QStringLiteral("http://s.example:8900/");
        const auto odd = UploadResult::links(base, QStringLiteral("%2.gif"), QStringLiteral("%2.png"), QStringLiteral("/c/a.png"));
        QCOMPARE(UploadResult::clipboardText(4, odd), "[URL=" + base + "%2.gif][IMG]" + base + "%2.png[/IMG][/URL]");
        QCOMPARE(UploadResult::links(QString(), QStringLiteral("#a"), QStringLiteral("#a"), QStringLiteral("/c/a.png")).pageUrl, "#a");
    }

    // The body as the hidden page reads it (entities decoded, markup gone), then parsed.
    void statusBody_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<StatusMap>("map");
        QTest::newRow("ok with escaped address") << QByteArray("{\"status\":\"OK\",\"pageUrl\":\"http:\\/\\/s.example\\/abc\"}")
                                                 << StatusMap{{"status", "OK"}, {"pageUrl", "http://s.example/abc"}};
        QTest::newRow("space after colon") << QByteArray("{\"status\": \"OK\"}") << StatusMap{{"status", " OK"}};
        QTest::newRow("comma cuts the message") << QByteArray("{\"status\":\"ERROR\",\"message\":\"Full, sorry\"}")
                                                << StatusMap{{"status", "ERROR"}, {"message", "Full"}, {" sorry", ""}};
        QTest::newRow("later key wins") << QByteArray("status:ERROR,status:OK") << StatusMap{{"status", "OK"}};
        QTest::newRow("no colon, empty value") << QByteArray("status") << StatusMap{{"status", ""}};
        QTest::newRow("empty body") << QByteArray() << StatusMap{{"", ""}};
        QTest::newRow("markup and entities") << QByteArray("<html><body><p>status:ERROR,message:a &amp; b</p></body></html>")
                                             << StatusMap{{"status", "ERROR"}, {"message", "a & b"}};
    }
    void statusBody()
    {
        QFETCH(QByteArray, body);
        QFETCH(StatusMap, map);
        ReplyParsePage page;
        QCOMPARE(UploadResult::parseStatusText(page.plainText(body)), map);
    }

    // 100,000 random bytes and mangled good bodies; one in ten goes through the far slower page first.
    void survivesRandomAndMangledBodies()
    {
        ReplyParsePage page;
        QRandomGenerator random(20240520);
        const QList<QByteArray> seeds = {"{\"status\":\"OK\",\"pageUrl\":\"http:\\/\\/s.example\\/abc#x\"}",
                                         "{\"status\":\"ERROR\",\"message\":\"Quota exceeded, try tomorrow\"}",
                                         "<html><head><title>t</title></head><body>status:OK</body></html>"};
        for (int i = 0; i < 100000; ++i) {
            const QByteArray body = i % 3 == 0 ? randomBytes(random) : mutate(seeds.at(i % seeds.size()), random);
            const QString text = i % 10 == 0 ? page.plainText(body) : QString::fromUtf8(body);
            QVERIFY2(wellFormed(UploadResult::parseStatusText(text), text), body.toHex().constData());
        }
    }
};

QTEST_MAIN(TestUploadResult)
#include "tst_uploadresult.moc"
