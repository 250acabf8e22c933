// The service over HTTP: the real server on a free port, driven with the
// bytes clients send.  What the program relies on, what an attacker tries,
// and what is left on disk when uploads go wrong.
#include "processdriver.h"
#include "serverprocess.h"
#include "testsupport.h"

#include <QDir>
#include <QDirIterator>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QtTest>

#include <sqlite3.h>

using Fields = QList<QPair<QByteArray, QByteArray>>;

namespace {

struct Session
{
    QByteArray token; // the snaplark-auth-id cookie
    QByteArray csrf;
    QByteArray cookies() const { return "snaplark-auth-id=" + token + "; snaplark-csrf=" + csrf; }
};

QByteArray metaContent(const QByteArray &page, const QByteArray &name)
{
    const QRegularExpression meta(QStringLiteral("<meta name=\"%1\" content=\"([^\"]*)\">").arg(QString::fromLatin1(name)));
    return meta.match(QString::fromUtf8(page)).captured(1).toUtf8();
}

// As the program sends it (its Host carries the port when it is not 80).
QByteArray programPut(quint16 port, const QByteArray &name, const QByteArray &body, const QByteArray &token = QByteArray())
{
    return "PUT /" + name + " HTTP/1.1\r\nUser-Agent: Snaplark\r\nHost: 127.0.0.1:" + QByteArray::number(port) + "\r\nVersion: 1.24\r\n"
           "Content-Type: application/octet-stream\r\nCookie: snaplark-auth-id=" + token +
           "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

} // namespace

class TestService : public QObject
{
    Q_OBJECT

    QString m_folder;
    std::unique_ptr<ServerProcess> m_server;

    quint16 port() const { return m_server->port(); }

    bool restart(const QStringList &options = QStringList())
    {
        m_server.reset();
        m_server = std::make_unique<ServerProcess>(m_folder);
        return m_server->start(options);
    }

    Session signUp(const QByteArray &name, const QByteArray &password = "password-1")
    {
        Session session;
        session.csrf = Http::get(port(), "/netodb/plugin/auth/overlay?client=desktop").cookie("snaplark-csrf");
        const HttpReply reply = Http::postForm(port(), "/netodb/plugin/auth/overlay?client=desktop",
                                               Fields{{"csrf", session.csrf}, {"action", "signup"}, {"name", name},
                                                      {"password", password}},
                                               "snaplark-csrf=" + session.csrf);
        session.token = metaContent(reply.body, "AuthId");
        return session;
    }

    // Stored files and staged bodies: what an upload left on disk.
    QStringList filesOnDisk() const
    {
        QStringList files;
        QDirIterator it(m_folder + QStringLiteral("/uploads"), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files.append(it.next().mid(m_folder.size() + 9));
        files.sort();
        return files;
    }
    int rows() const
    {
        sqlite3 *db = nullptr;
        int count = -1;
        if (sqlite3_open_v2(qPrintable(m_folder + QStringLiteral("/snaplark.db")), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt *statement = nullptr;
            if (sqlite3_prepare_v2(db, "SELECT count(*) FROM uploads", -1, &statement, nullptr) == SQLITE_OK
                && sqlite3_step(statement) == SQLITE_ROW)
                count = sqlite3_column_int(statement, 0);
            sqlite3_finalize(statement);
        }
        sqlite3_close(db);
        return count;
    }
    QByteArray idOf(const HttpReply &reply) const
    {
        const QByteArray name = reply.header("FileName");
        return name.endsWith(".html") ? name.chopped(5) : QByteArray();
    }

private slots:
    void init()
    {
        m_folder = testScratchDir(QStringLiteral("service-%1").arg(QLatin1String(QTest::currentTestFunction())));
        QVERIFY(restart({QStringLiteral("--max-upload"), QStringLiteral("1M")}));
    }
    void cleanup()
    {
        if (QTest::currentTestFailed())
            qWarning().noquote() << m_server->log();
        m_server.reset();
    }

    // The program's PUT: the page in "FileName", the file at <id>.<ext>
    // with the same bytes, a page that shows and embeds it.
    void programUploadIsServed()
    {
        const QByteArray png = QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(5000, 'p');
        const HttpReply reply = Http::exchange(port(), programPut(port(), "1b4e28ba-2fa1-11d2-883f-0016d3cca427.png", png));
        QCOMPARE(reply.status, 200);
        const QByteArray id = idOf(reply);
        QVERIFY2(QRegularExpression(QStringLiteral("^[a-z2-9]{12}$")).match(QString::fromLatin1(id)).hasMatch(), id);
        const QByteArray page = m_server->baseUrl() + id + ".html";
        QCOMPARE(reply.body, page + '\n'); // curl -T prints it

        const HttpReply file = Http::get(port(), "/" + id + ".png");
        QCOMPARE(file.status, 200);
        QCOMPARE(file.body, png);
        QCOMPARE(file.header("Content-Type"), QByteArray("image/png"));
        QCOMPARE(file.header("X-Content-Type-Options"), QByteArray("nosniff"));

        const HttpReply html = Http::get(port(), "/" + id + ".html");
        QCOMPARE(html.status, 200);
        const QByteArray direct = m_server->baseUrl() + id + ".png";
        QVERIFY(html.body.contains("<img src=\"" + direct + "\""));
        QVERIFY(html.body.contains("<meta property=\"og:image\" content=\"" + direct + "\">"));
        QVERIFY(html.body.contains("[URL=" + page + "][IMG]" + direct + "[/IMG][/URL]"));
        QVERIFY(html.body.contains("&lt;a href=&#39;" + page + "&#39;&gt;&lt;img src=&#39;" + direct + "&#39;"));
        QVERIFY(!html.body.contains("deletion link")); // nobody owns it
        QCOMPARE(rows(), 1);
    }

    // The command line's multipart form gets the status body.
    void programFormGetsStatusBody()
    {
        const QByteArray boundary = "0f8b4c0e-6e3e-4c4e-9a0c-5b1f0c7a9d21";
        const QByteArray video(300000, 'v');
        const QByteArray body = "--" + boundary + "\r\nContent-Disposition: form-data; name=\"Added\"\r\n\r\n2026-01-02T03:04:05\r\n"
                                "--" + boundary + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"../../clip.MP4\"\r\n"
                                "Content-Type: video/mp4\r\n\r\n" + video + "\r\n--" + boundary + "--\r\n";
        const HttpReply reply = Http::exchange(port(), "POST /api/upload HTTP/1.1\r\nUser-Agent: Snaplark\r\nHost: 127.0.0.1\r\n"
                                                       "Content-Type: multipart/form-data; boundary=" + boundary +
                                                       "\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body);
        QCOMPARE(reply.status, 200);
        const QRegularExpressionMatch ok = QRegularExpression(QStringLiteral("^\\{\"status\":\"OK\",\"pageUrl\":\"(http://127\\.0\\.0\\.1/([a-z2-9]{12})\\.html)\"\\}$"))
                                               .match(QString::fromUtf8(reply.body));
        QVERIFY2(ok.hasMatch(), reply.body);
        const HttpReply file = Http::get(port(), "/" + ok.captured(2).toLatin1() + ".mp4");
        QCOMPARE(file.header("Content-Type"), QByteArray("video/mp4"));
        QCOMPARE(file.body, video);
        QVERIFY(Http::get(port(), "/" + ok.captured(2).toLatin1() + ".html").body.contains("<video controls"));
        QCOMPARE(filesOnDisk().size(), 1); // the client's name never became a path
    }

    // Targets that try to leave the upload namespace, for writing and reading.
    void pathTricks_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<QByteArray>("target");
        QTest::newRow("PUT ..") << QByteArray("PUT") << QByteArray("/../x.png");
        QTest::newRow("PUT %2e%2e") << QByteArray("PUT") << QByteArray("/%2e%2e/x.png");
        QTest::newRow("PUT %2e%2e%2f") << QByteArray("PUT") << QByteArray("/%2e%2e%2fserver.key");
        QTest::newRow("PUT folder") << QByteArray("PUT") << QByteArray("/uploads/files/ab/abcdefghijkm.png");
        QTest::newRow("PUT NUL") << QByteArray("PUT") << QByteArray("/a.png%00.html");
        QTest::newRow("PUT backslash") << QByteArray("PUT") << QByteArray("/..%5cserver.key");
        QTest::newRow("GET key") << QByteArray("GET") << QByteArray("/../server.key");
        QTest::newRow("GET %2e%2e db") << QByteArray("GET") << QByteArray("/%2e%2e/snaplark.db");
        QTest::newRow("GET stored path") << QByteArray("GET") << QByteArray("/uploads/files");
        QTest::newRow("GET NUL") << QByteArray("GET") << QByteArray("/server%00.key");
    }
    void pathTricks()
    {
        QFETCH(QByteArray, method);
        QFETCH(QByteArray, target);
        const QByteArray body = "secret-free body";
        const HttpReply reply = Http::exchange(port(), method + ' ' + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                                                       "Content-Length: " + QByteArray::number(method == "PUT" ? body.size() : 0) +
                                                       "\r\n\r\n" + (method == "PUT" ? body : QByteArray()));
        QVERIFY2(reply.status == 400 || reply.status == 404, QByteArray::number(reply.status));
        QCOMPARE(filesOnDisk(), QStringList());
        QCOMPARE(rows(), 0);
        const QStringList entries = QDir(m_folder).entryList(QDir::Files | QDir::NoDotAndDotDot);
        QSet<QString> written(entries.begin(), entries.end());
        QCOMPARE(written.subtract({"server.key", "snaplark.db", "snaplark.db-shm", "snaplark.db-wal", "server.log"}), QSet<QString>());
    }

    // Documents a browser would run are never rendered on our origin.
    void documentsAreDownloads_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("html") << QByteArray("page.html");
        QTest::newRow("svg") << QByteArray("drawing.svg");
        QTest::newRow("no extension") << QByteArray("script");
    }
    void documentsAreDownloads()
    {
        QFETCH(QByteArray, name);
        const QByteArray script = "<html><script>alert(document.cookie)</script></html>";
        const HttpReply reply = Http::put(port(), "/" + name, script);
        QCOMPARE(reply.status, 200);
        const QByteArray id = idOf(reply);
        const QByteArray extension = name.contains('.') ? name.mid(name.indexOf('.') + 1) : QByteArray("bin");
        // an HTML file shares its name with its page
        const HttpReply file = Http::get(port(), "/" + id + "." + extension + (extension == "html" ? "?download" : ""));
        QCOMPARE(file.status, 200);
        QCOMPARE(file.body, script);
        QCOMPARE(file.header("Content-Type"), QByteArray("application/octet-stream"));
        QVERIFY(file.header("Content-Disposition").startsWith("attachment"));
        QCOMPARE(file.header("X-Content-Type-Options"), QByteArray("nosniff"));
        QVERIFY(file.header("Content-Security-Policy").contains("sandbox"));
        // and the page does not embed it
        const HttpReply page = Http::get(port(), "/" + id + ".html");
        QVERIFY(page.body.contains("Download the file"));
        QVERIFY(!page.body.contains("<script>"));
    }

    void signInChecksThePassword()
    {
        const Session session = signUp("alice", "s3cret-words");
        QCOMPARE(session.token.size(), 64);
        auto signIn = [&](const QByteArray &name, const QByteArray &password) {
            return Http::postForm(port(), "/netodb/plugin/auth/overlay?client=desktop",
                                  Fields{{"csrf", session.csrf}, {"action", "signin"}, {"name", name}, {"password", password}},
                                  "snaplark-csrf=" + session.csrf);
        };
        const HttpReply good = signIn("Alice", "s3cret-words");
        QCOMPARE(good.status, 200);
        QCOMPARE(metaContent(good.body, "Username"), QByteArray("alice"));
        const QByteArray token = metaContent(good.body, "AuthId");
        QCOMPARE(good.cookie("snaplark-auth-id"), token);
        QVERIFY(good.header("Set-Cookie").contains("HttpOnly"));
        QVERIFY(good.header("Set-Cookie").contains("SameSite=Lax"));
        QVERIFY(token != session.token);

        for (const QByteArray &wrong : {QByteArray("s3cret-wordS"), QByteArray(""), QByteArray("s3cret-words ")}) {
            const HttpReply refused = signIn("alice", wrong);
            QCOMPARE(refused.status, 403);
            QVERIFY(metaContent(refused.body, "AuthId").isEmpty());
            QVERIFY(refused.cookie("snaplark-auth-id").isNull());
        }
        QCOMPARE(signIn("nobody", "s3cret-words").status, 403);
        // the name is taken, whatever its case
        QVERIFY(signUp("ALICE").token.isEmpty());
        // the database holds no token and no password
        QFile db(m_folder + QStringLiteral("/snaplark.db"));
        QVERIFY(m_server->stop());
        QVERIFY(db.open(QIODevice::ReadOnly));
        const QByteArray stored = db.readAll();
        QVERIFY(!stored.contains(token) && !stored.contains("s3cret-words"));
    }

    void formsNeedTheirCsrfToken_data()
    {
        QTest::addColumn<QByteArray>("cookie");
        QTest::addColumn<QByteArray>("field");
        QTest::newRow("neither") << QByteArray() << QByteArray();
        QTest::newRow("field only") << QByteArray() << QByteArray("right");
        QTest::newRow("cookie only") << QByteArray("right") << QByteArray();
        QTest::newRow("wrong field") << QByteArray("right") << QByteArray("wrong");
    }
    void formsNeedTheirCsrfToken()
    {
        QFETCH(QByteArray, cookie);
        QFETCH(QByteArray, field);
        const Session owner = signUp("owner");
        const HttpReply upload = Http::put(port(), "/a.png", "png", {{"Cookie", "snaplark-auth-id=" + owner.token}});
        const QByteArray id = idOf(upload);
        auto value = [&](const QByteArray &which) { return which == "right" ? owner.csrf : which == "wrong" ? QByteArray(64, 'a') : QByteArray(); };
        const QByteArray cookies = "snaplark-auth-id=" + owner.token + (cookie.isEmpty() ? QByteArray() : "; snaplark-csrf=" + value(cookie));

        QCOMPARE(Http::postForm(port(), "/my-snaplarks/delete", Fields{{"id", id}, {"csrf", value(field)}}, cookies).status, 403);
        QCOMPARE(Http::postForm(port(), "/my-snaplarks/expiry", Fields{{"expiry", "3600"}, {"csrf", value(field)}}, cookies).status, 403);
        QCOMPARE(Http::postForm(port(), "/netodb/plugin/auth/overlay",
                                Fields{{"csrf", value(field)}, {"action", "signup"}, {"name", "mallory"}, {"password", "password-1"}},
                                cookie.isEmpty() ? QByteArray() : "snaplark-csrf=" + value(cookie)).status, 403);
        QCOMPARE(Http::postForm(port(), "/logout", Fields{{"csrf", value(field)}}, cookies).status, 403);
        QCOMPARE(Http::get(port(), "/" + id + ".png").status, 200);
        QVERIFY(Http::get(port(), "/my-snaplarks", owner.cookies()).body.contains("id=\"" + id + "\""));
    }

    // Uploads carrying a token belong to that account: its history lists
    // them newest first, nobody else's does, and only the owner deletes.
    void historyBelongsToItsAccount()
    {
        const Session alice = signUp("alice");
        const Session bob = signUp("bob");
        QByteArray ids[2];
        for (int i = 0; i < 2; ++i) {
            ids[i] = idOf(Http::exchange(port(), programPut(port(), "x.png", "shot" + QByteArray::number(i), alice.token)));
            QVERIFY(!ids[i].isEmpty());
            QTest::qWait(1100); // a second apart
        }
        const QByteArray mine = Http::get(port(), "/my-snaplarks", alice.cookies()).body;
        QVERIFY(mine.indexOf("id=\"" + ids[1] + "\"") >= 0);
        QVERIFY(mine.indexOf("id=\"" + ids[1] + "\"") < mine.indexOf("id=\"" + ids[0] + "\""));
        QVERIFY(mine.contains("2 uploads"));
        QVERIFY(!Http::get(port(), "/my-snaplarks", bob.cookies()).body.contains(ids[0]));
        QVERIFY(Http::get(port(), "/" + ids[0] + ".html", alice.cookies()).body.contains("deletion link"));
        QVERIFY(!Http::get(port(), "/" + ids[0] + ".html", bob.cookies()).body.contains("deletion link"));
        QVERIFY(Http::get(port(), "/app-banner.html", alice.cookies()).body.contains("2 uploads"));

        // bob's token and his own valid CSRF token
        const HttpReply refused = Http::postForm(port(), "/my-snaplarks/delete", Fields{{"id", ids[0]}, {"csrf", bob.csrf}}, bob.cookies());
        QCOMPARE(refused.status, 403);
        QCOMPARE(Http::get(port(), "/" + ids[0] + ".png").status, 200);

        const HttpReply deleted = Http::postForm(port(), "/my-snaplarks/delete", Fields{{"id", ids[0]}, {"csrf", alice.csrf}}, alice.cookies());
        QCOMPARE(deleted.status, 303);
        QCOMPARE(Http::get(port(), "/" + ids[0] + ".png").status, 404);
        QCOMPARE(Http::get(port(), "/" + ids[0] + ".html").status, 404);
        QCOMPARE(filesOnDisk().size(), 1);
        QCOMPARE(rows(), 1);
        QVERIFY(!Http::get(port(), "/my-snaplarks", alice.cookies()).body.contains(ids[0]));
        // signed out, the token is worth nothing
        QCOMPARE(Http::postForm(port(), "/logout", Fields{{"csrf", alice.csrf}}, alice.cookies()).status, 303);
        QCOMPARE(Http::get(port(), "/my-snaplarks", alice.cookies()).status, 303);
    }

    // The deletion link of an anonymous upload: a GET only asks.
    void deletionLink()
    {
        const HttpReply upload = Http::put(port(), "/shot.png", "bytes");
        const QByteArray link = upload.header("Delete-Url");
        const QByteArray id = idOf(upload);
        QVERIFY(link.startsWith(m_server->baseUrl() + "delete/" + id + "?key="));
        const QByteArray key = link.mid(link.indexOf("key=") + 4);
        const QByteArray path = link.mid(m_server->baseUrl().size() - 1);
        QVERIFY(Http::get(port(), path).body.contains("Delete for good"));
        QCOMPARE(Http::get(port(), "/" + id + ".png").status, 200);
        QCOMPARE(Http::postForm(port(), "/delete/" + id, Fields{{"key", QByteArray(key).replace(0, 1, key.startsWith('0') ? "1" : "0")}}).status, 403);
        const QByteArray otherId = idOf(Http::put(port(), "/other.png", "other"));
        QCOMPARE(Http::postForm(port(), "/delete/" + otherId, Fields{{"key", key}}).status, 403);
        QCOMPARE(Http::postForm(port(), "/delete/" + id, Fields{{"key", key}}).status, 200);
        QCOMPARE(Http::get(port(), "/" + id + ".png").status, 404);
        QCOMPARE(Http::get(port(), "/" + otherId + ".png").status, 200);
    }

    void expiredUploadsAreGone()
    {
        const QByteArray id = idOf(Http::put(port(), "/shot.png", "short-lived", {{"Expires-In", "2s"}}));
        const QByteArray kept = idOf(Http::put(port(), "/kept.png", "kept"));
        QCOMPARE(Http::get(port(), "/" + id + ".png").status, 200);
        QCOMPARE(Http::put(port(), "/shot.png", "x", {{"Expires-In", "soon"}}).status, 400);
        QVERIFY(waitUntil([&] { return Http::get(port(), "/" + id + ".png").status == 404; }, 4000));
        // and the sweep takes the file
        QVERIFY(waitUntil([&] { return filesOnDisk().size() == 1; }, 8000));
        QCOMPARE(Http::get(port(), "/" + kept + ".png").body, QByteArray("kept"));

        // the history's choice applies to the account's later uploads
        const Session carol = signUp("carol");
        QCOMPARE(Http::postForm(port(), "/my-snaplarks/expiry", Fields{{"expiry", "3600"}, {"csrf", carol.csrf}}, carol.cookies()).status, 303);
        const QByteArray hers = idOf(Http::exchange(port(), programPut(port(), "a.png", "x", carol.token)));
        QVERIFY(Http::get(port(), "/" + hers + ".html").body.contains("gone after"));
    }

    // Failures the user can act on come back as the status body; the
    // program gets them with 200 so that it shows the words.
    void refusedUploadsLeaveNothing_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("program");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("over the limit, program") << QStringList() << 1200000 << true << 200 << "larger than this server accepts";
        QTest::newRow("over the limit, curl") << QStringList() << 1200000 << false << 413 << "larger than this server accepts";
        QTest::newRow("storage full") << QStringList{"--max-storage", "100k"} << 200000 << true << 200 << "no room left";
        QTest::newRow("storage full, curl") << QStringList{"--max-storage", "100k"} << 200000 << false << 507 << "no room left";
        QTest::newRow("accounts only") << QStringList{"--anonymous-uploads", "no"} << 1000 << true << 200 << "Please log in";
    }
    void refusedUploadsLeaveNothing()
    {
        QFETCH(QStringList, options);
        QFETCH(int, size);
        QFETCH(bool, program);
        QFETCH(int, status);
        QFETCH(QString, message);
        QVERIFY(restart(QStringList{"--max-upload", "1M"} + options));
        const QByteArray body(size, 'b');
        const HttpReply reply = program ? Http::exchange(port(), programPut(port(), "shot.png", body))
                                        : Http::put(port(), "/shot.png", body);
        QCOMPARE(reply.status, status);
        QVERIFY2(reply.body.startsWith("{\"status\":\"ERROR\",\"message\":\"") && reply.body.contains(message.toUtf8()), reply.body);
        QVERIFY(!reply.body.mid(28).contains(',')); // the program cuts messages at commas
        QCOMPARE(filesOnDisk(), QStringList());
        QCOMPARE(rows(), 0);
        // the server goes on serving uploads that fit
        if (!options.contains("--anonymous-uploads"))
            QCOMPARE(Http::put(port(), "/small.png", "small").status, 200);
    }

    void disconnectMidBodyLeavesNothing()
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port());
        QVERIFY(socket.waitForConnected());
        socket.write(programPut(port(), "shot.png", QByteArray(900000, 's')).left(400000));
        QVERIFY(socket.waitForBytesWritten());
        QVERIFY(waitUntil([&] { return filesOnDisk().size() == 1; }, 5000)); // staged
        QTest::qWait(200);
        socket.abort();
        QVERIFY(waitUntil([&] { return filesOnDisk().isEmpty(); }, 5000));
        QCOMPARE(rows(), 0);
    }

    // A complete upload survives a SIGKILL during another; the other is gone
    // after the restart, and its space counts for nothing.
    void killedMidUploadRestartsClean()
    {
        QVERIFY(restart({QStringLiteral("--max-storage"), QStringLiteral("1M")}));
        const QByteArray done = idOf(Http::put(port(), "/done.png", QByteArray(600000, 'd')));
        QVERIFY(!done.isEmpty());
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, port());
        QVERIFY(socket.waitForConnected());
        socket.write(programPut(port(), "half.png", QByteArray(390000, 'h')).left(300000));
        QVERIFY(socket.waitForBytesWritten());
        QVERIFY(waitUntil([&] { return filesOnDisk().size() == 2; }, 5000));
        QVERIFY(m_server->stop(true));
        socket.abort();

        QVERIFY(restart({QStringLiteral("--max-storage"), QStringLiteral("1M")}));
        QCOMPARE(filesOnDisk().size(), 1);
        QCOMPARE(rows(), 1);
        QCOMPARE(Http::get(port(), "/" + done + ".png").body.size(), 600000);
        // the staged half does not hold on to the quota
        QCOMPARE(Http::put(port(), "/again.png", QByteArray(390000, 'a')).status, 200);
    }

    void otherClients()
    {
        const Session dora = signUp("dora");
        const HttpReply file = Http::get(port(), "/my-snaplarks/uploader.sxcu", dora.cookies());
        QCOMPARE(file.status, 200);
        QVERIFY(file.header("Content-Disposition").startsWith("attachment"));
        const QJsonObject uploader = QJsonDocument::fromJson(file.body).object();
        QCOMPARE(uploader.value("RequestMethod").toString(), QStringLiteral("PUT"));
        QCOMPARE(uploader.value("RequestURL").toString(), QString::fromLatin1(m_server->baseUrl()) + "upload.{filename}");
        QCOMPARE(uploader.value("URL").toString(), QStringLiteral("{response}"));
        QCOMPARE(uploader.value("DeletionURL").toString(), QStringLiteral("{header:Delete-Url}"));
        // its key uploads into dora's account
        const QByteArray cookie = uploader.value("Headers").toObject().value("Cookie").toString().toLatin1();
        const QByteArray id = idOf(Http::put(port(), "/upload.shot.png", "from sharex", {{"Cookie", cookie}}));
        QVERIFY(Http::get(port(), "/my-snaplarks", dora.cookies()).body.contains(id));

        QVERIFY(Http::get(port(), "/app-banner.html").body.contains("Welcome"));
        QVERIFY(Http::get(port(), "/category/manuals").body.contains("curl -T shot.png"));
        QCOMPARE(Http::get(port(), "/my-snaplarks").status, 303);
    }
};

QTEST_GUILESS_MAIN(TestService)
#include "tst_service.moc"
