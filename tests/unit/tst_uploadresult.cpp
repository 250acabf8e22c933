// Reading an upload's reply: names and links from "FileName", the clipboard
// forms, and the status body, also against random and mangled bodies.
#include "upload/replyparsepage.h"
#include "upload/uploadresult.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>

using StatusMap = QMap<QString, QString>;

namespace {

const QString kBase = QStringLiteral("http://s.example:8900/");

// Drops the parser's per-piece debug lines while many inputs go through.
class QuietDebug
{
public:
    QuietDebug() { m_previous = qInstallMessageHandler(&QuietDebug::handler); }
    ~QuietDebug() { qInstallMessageHandler(m_previous); }

private:
    static void handler(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        if (type != QtDebugMsg)
            fprintf(stderr, "%s\n", qPrintable(message));
    }
    QtMessageHandler m_previous;
};

QByteArray mutate(QByteArray body, QRandomGenerator &random)
{
    static const QByteArray alphabet("{}\":,\\ /#<>&;abcOKERROR\n\t\x00\xff", 31);
    const int edits = 1 + random.bounded(6);
    for (int i = 0; i < edits; ++i) {
        const int at = body.isEmpty() ? 0 : random.bounded(body.size() + 1);
        const char c = alphabet.at(random.bounded(alphabet.size()));
        switch (random.bounded(3)) {
        case 0:
            body.insert(at, c);
            break;
        case 1:
            if (at < body.size())
                body.remove(at, 1 + random.bounded(4));
            break;
        default:
            if (at < body.size())
                body[at] = c;
            break;
        }
    }
    return body;
}

QByteArray randomBytes(QRandomGenerator &random)
{
    QByteArray bytes(random.bounded(200), '\0');
    for (char &c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

// What every parse must give, whatever the input.
bool wellFormed(const StatusMap &map, const QString &text)
{
    for (auto it = map.begin(); it != map.end(); ++it) {
        for (const QChar c : {QLatin1Char('{'), QLatin1Char('}'), QLatin1Char('"'), QLatin1Char('\\'), QLatin1Char(',')})
            if (it.key().contains(c) || it.value().contains(c))
                return false;
        if (it.key().contains(QLatin1Char(':')))
            return false;
    }
    return !map.isEmpty() && map.size() <= text.count(QLatin1Char(',')) + 1;
}

} // namespace

class TestUploadResult : public QObject
{
    Q_OBJECT

private slots:
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

    // The forms come from the links as text: a "%2" in a name is no place
    // holder, and a "#" only at the very start is no fragment.
    void oddNamesInLinks()
    {
        const UploadResult::Links odd = UploadResult::links(
            kBase, QStringLiteral("%2.gif"), QStringLiteral("%2.png"), QStringLiteral("/c/a.png"));
        QCOMPARE(UploadResult::clipboardText(4, odd),
                 QStringLiteral("[URL=") + kBase + QStringLiteral("%2.gif][IMG]") + kBase
                     + QStringLiteral("%2.png[/IMG][/URL]"));
        const UploadResult::Links hash = UploadResult::links(QString(), QStringLiteral("#a"), QStringLiteral("#a"),
                                                             QStringLiteral("/c/a.png"));
        QCOMPARE(hash.pageUrl, QStringLiteral("#a"));
        QCOMPARE(UploadResult::clipboardText(5, hash), QString());
    }

    void statusText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<StatusMap>("map");
        QTest::newRow("ok with escaped address")
            << R"({"status":"OK","pageUrl":"http:\/\/s.example\/abc"})"
            << StatusMap{{"status", "OK"}, {"pageUrl", "http://s.example/abc"}};
        QTest::newRow("space after colon")
            << R"({"status": "OK"})" << StatusMap{{"status", " OK"}};
        QTest::newRow("comma cuts the message")
            << R"({"status":"ERROR","message":"Full, sorry"})"
            << StatusMap{{"status", "ERROR"}, {"message", "Full"}, {" sorry", ""}};
        QTest::newRow("later key wins") << "status:ERROR,status:OK" << StatusMap{{"status", "OK"}};
        QTest::newRow("no colon, empty value") << "status" << StatusMap{{"status", ""}};
        QTest::newRow("empty text") << "" << StatusMap{{"", ""}};
    }
    void statusText()
    {
        QFETCH(QString, text);
        QFETCH(StatusMap, map);
        QuietDebug quiet;
        QCOMPARE(UploadResult::parseStatusText(text), map);
    }

    // The web page reads the body as HTML first: entities are decoded and
    // markup goes.
    void bodyThroughThePage()
    {
        ReplyParsePage page;
        QCOMPARE(page.plainText("{\"status\":\"OK\",\"pageUrl\":\"http:\\/\\/s\\/a\"}"),
                 QStringLiteral("{\"status\":\"OK\",\"pageUrl\":\"http:\\/\\/s\\/a\"}"));
        QCOMPARE(page.plainText("<html><body><p>status:ERROR,message:a &amp; b</p></body></html>"),
                 QStringLiteral("status:ERROR,message:a & b"));
    }

    // Random bytes and mangled good bodies, through the page and the parser.
    void survivesRandomAndMangledBodies()
    {
        QuietDebug quiet;
        ReplyParsePage page;
        QRandomGenerator random(20240520);
        const QList<QByteArray> seeds = {
            "{\"status\":\"OK\",\"pageUrl\":\"http:\\/\\/s.example\\/abc#x\"}",
            "{\"status\":\"ERROR\",\"message\":\"Quota exceeded, try tomorrow\"}",
            "<html><head><title>t</title></head><body>status:OK</body></html>",
        };
        QElapsedTimer clock;
        clock.start();
        const int total = 100000;
        // the page is far slower than the parser: one in ten goes through it
        for (int i = 0; i < total; ++i) {
            const QByteArray body = i % 3 == 0 ? randomBytes(random) : mutate(seeds.at(i % seeds.size()), random);
            const QString text = i % 10 == 0 ? page.plainText(body) : QString::fromUtf8(body);
            const StatusMap map = UploadResult::parseStatusText(text);
            QVERIFY2(wellFormed(map, text), body.toHex().constData());
        }
        qInfo("%d bodies in %lld ms", total, clock.elapsed());
    }
};

QTEST_MAIN(TestUploadResult)
#include "tst_uploadresult.moc"
