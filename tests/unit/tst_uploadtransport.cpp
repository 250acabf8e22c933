// The upload transport: the request bytes as the service receives them, the
// proxy it takes, HTTPS with and without trust, every way a transfer fails
// (each finished once, with Qt's codes), what UploadManager does with the
// failures that used to pass for success, and replies from a hostile server.
#include "settings/settings.h"
#include "testservice.h"
#include "testsupport.h"
#include "tlsendpoint.h"
#include "upload/curluploadreply.h"
#include "upload/uploadmanager.h"
#include "upload/uploadnetworkmanager.h"
#include "upload/wndprogress.h"

#include <QApplication>
#include <QHttpMultiPart>
#include <QNetworkProxy>
#include <QNetworkProxyFactory>
#include <QPlainTextEdit>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryFile>
#include <QtTest>

using Reply = TestService::Reply;
Q_DECLARE_METATYPE(TestService::Reply)

namespace {

QByteArray randomBytes(int size, quint32 seed)
{
    QByteArray bytes((size + 3) / 4 * 4, Qt::Uninitialized);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    bytes.truncate(size);
    return bytes;
}

// Large enough that the system's socket buffers cannot take the whole body
// before the service has read its first megabyte.
constexpr int kLargeBody = 32 << 20;

// Runs the event loop until the condition holds, waking for every event
// rather than polling; false on timeout.
bool waitFor(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QTimer wake;
    wake.start(10);
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// One upload through a fresh manager, to its end.
struct Upload
{
    UploadNetworkManager network;
    QTemporaryFile file;
    QNetworkReply *reply = nullptr;
    QList<qint64> progress;
    int finished = 0;

    explicit Upload(const QByteArray &content)
    {
        file.open();
        file.write(content);
        file.seek(0);
        QObject::connect(&network, &QNetworkAccessManager::finished, [this] { ++finished; });
    }
    ~Upload() { delete reply; }

    void watch(QNetworkReply *started)
    {
        reply = started;
        QObject::connect(reply, &QNetworkReply::uploadProgress, [this](qint64 sent, qint64) { progress << sent; });
    }
    void put(const QNetworkRequest &request) { watch(network.put(request, &file)); }
    void setStallLimit(int ms) { qobject_cast<CurlUploadReply *>(reply)->setStallLimit(ms); }
    // Waits for the end, and a little longer for a second finished signal.
    bool end(int timeoutMs = 15000, int settleMs = 50)
    {
        const bool ended = waitFor([this] { return finished > 0; }, timeoutMs);
        QTest::qWait(settleMs);
        return ended && finished == 1;
    }
};

QNetworkRequest serviceRequest(const QUrl &url)
{
    QNetworkRequest request(url);
    request.setRawHeader("User-Agent", "Snaplark");
    request.setRawHeader("Host", "service.test");
    request.setRawHeader("Version", "1.24");
    return request;
}

QStringList g_log;
void keepLog(QtMsgType, const QMessageLogContext &, const QString &message)
{
    g_log << message;
}

} // namespace

class TestUploadTransport : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        QNetworkProxyFactory::setUseSystemConfiguration(false);
        QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::NoProxy));
        for (const char *name : {"http_proxy", "https_proxy", "all_proxy", "no_proxy", "HTTP_PROXY", "CURL_CA_BUNDLE"})
            qunsetenv(name);
    }

    // The service receives the head byte for byte as the request set it,
    // then the whole body; progress climbs to the size and finished comes once.
    void requestBytes_data()
    {
        QTest::addColumn<QString>("form");
        QTest::newRow("put") << "put";
        QTest::newRow("put without a Host") << "no host";
        QTest::newRow("multipart post") << "multipart";
        QTest::newRow("put through a proxy") << "proxy";
    }
    void requestBytes()
    {
        QFETCH(QString, form);
        TestService service;
        service.enqueue(Reply::fileName("abc.png"));
        // several of the blocks curl is handed, and a ragged end
        const QByteArray content = randomBytes((3 << 20) + 7, 7);
        Upload upload(content);
        const QByteArray port = QByteArray::number(service.port());

        QUrl url = service.baseUrl().resolved(QUrl(QStringLiteral("/a%20b/u.png?x=1#frag")));
        QByteArray requestLine = "PUT /a%20b/u.png?x=1 HTTP/1.1\r\n";
        if (form == QLatin1String("proxy")) {
            // the service acts as the proxy for an address nobody serves
            QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), service.port()));
            url = QUrl(QStringLiteral("http://service.invalid:8080/a%20b/u.png?x=1"));
            requestLine = "PUT http://service.invalid:8080/a%20b/u.png?x=1 HTTP/1.1\r\n";
        }
        QNetworkRequest request = serviceRequest(url);
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/octet-stream"));
        request.setRawHeader("Cookie", "snaplark-auth-id=tok\r\nX-Injected: 1");
        QByteArray head = requestLine + "User-Agent: Snaplark\r\nHost: service.test\r\nVersion: 1.24\r\n"
                          "Content-Type: application/octet-stream\r\nCookie: snaplark-auth-id=tokX-Injected: 1\r\n"
                          "Content-Length: " + QByteArray::number(content.size()) + "\r\nConnection: close\r\n\r\n";
        QByteArray body = content;
        qint64 total = content.size();

        if (form == QLatin1String("no host")) {
            QList<QByteArray> own = {"User-Agent", "Version"};
            QNetworkRequest bare(url);
            for (const QByteArray &name : own)
                bare.setRawHeader(name, request.rawHeader(name));
            upload.put(bare);
            head = requestLine + "User-Agent: Snaplark\r\nVersion: 1.24\r\nHost: 127.0.0.1:" + port
                   + "\r\nContent-Length: " + QByteArray::number(content.size()) + "\r\nConnection: close\r\n\r\n";
        } else if (form == QLatin1String("multipart")) {
            url = service.baseUrl().resolved(QUrl(QStringLiteral("/api/upload")));
            request = serviceRequest(url);
            request.setRawHeader("Cookie", "snaplark-auth-id=tok");
            request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("multipart/form-data; boundary=b0"));
            auto *multiPart = new QHttpMultiPart(QHttpMultiPart::FormDataType);
            multiPart->setBoundary("b0");
            QHttpPart part;
            part.setRawHeader("Content-Disposition", "form-data; name=\"file\"; filename=\"u.png\"");
            part.setBodyDevice(&upload.file);
            multiPart->append(part);
            upload.watch(upload.network.post(request, multiPart));
            multiPart->setParent(upload.reply);
            body = "--b0\r\nContent-Disposition: form-data; name=\"file\"; filename=\"u.png\"\r\n\r\n" + content
                   + "\r\n--b0--\r\n";
            total = body.size();
            head = "POST /api/upload HTTP/1.1\r\nUser-Agent: Snaplark\r\nHost: service.test\r\nVersion: 1.24\r\n"
                   "Cookie: snaplark-auth-id=tok\r\nContent-Type: multipart/form-data; boundary=b0\r\n"
                   "MIME-Version: 1.0\r\nContent-Length: " + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n";
        } else {
            upload.put(request);
        }
        QVERIFY(qobject_cast<CurlUploadReply *>(upload.reply));
        QVERIFY(upload.end());

        QCOMPARE(upload.reply->error(), QNetworkReply::NoError);
        QCOMPARE(upload.reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
        QCOMPARE(upload.reply->rawHeader("FileName"), QByteArray("abc.png"));
        QVERIFY(!upload.progress.isEmpty() && std::is_sorted(upload.progress.begin(), upload.progress.end()));
        QCOMPARE(upload.progress.last(), total);
        QCOMPARE(service.requestCount(), 1);
        const TestService::Request got = service.requests().first();
        QCOMPARE(got.head, head);
        QVERIFY(got.body == body);
    }

    // Qt's reading of the proxy variables decides, as for every other request
    // of the program; curl's own reading differs (all_proxy for http, the
    // upper-case names, the default port), so it is never asked.  Qt sends
    // nothing for a loopback address through a proxy, hence a name.
    void proxyFromEnvironment_data()
    {
        QTest::addColumn<QByteArrayList>("environment"); // name=value; %1 = the proxy's port
        QTest::addColumn<bool>("proxied");
        const QByteArray proxy = "http_proxy=http://127.0.0.1:%1";
        QTest::newRow("http_proxy") << QByteArrayList{proxy} << true;
        QTest::newRow("no_proxy names the host") << QByteArrayList{proxy, "no_proxy=localhost,upload.example.test"} << false;
        QTest::newRow("no_proxy names the domain") << QByteArrayList{proxy, "no_proxy=.example.test"} << false;
        QTest::newRow("no_proxy names others") << QByteArrayList{proxy, "no_proxy=example.org,other.example.test,127.0.0.1"} << true;
        QTest::newRow("no_proxy everything") << QByteArrayList{proxy, "no_proxy=*"} << false;
        QTest::newRow("all_proxy is not for http") << QByteArrayList{"all_proxy=http://127.0.0.1:%1"} << false;
        QTest::newRow("HTTP_PROXY is not read") << QByteArrayList{"HTTP_PROXY=http://127.0.0.1:%1"} << false;
    }
    void proxyFromEnvironment()
    {
        QFETCH(QByteArrayList, environment);
        QFETCH(bool, proxied);
        TestService proxy;
        proxy.enqueue(Reply::fileName("proxied.png"));
        for (const QByteArray &assignment : environment) {
            const int equals = assignment.indexOf('=');
            qputenv(assignment.left(equals).constData(),
                    assignment.mid(equals + 1).replace("%1", QByteArray::number(proxy.port())));
        }
        QNetworkProxyFactory::setUseSystemConfiguration(true);

        Upload upload("content");
        // Unreachable directly: the lookup fails or stalls.
        upload.put(serviceRequest(QUrl(QStringLiteral("http://upload.example.test:8080/p.png"))));
        upload.setStallLimit(1000);
        QVERIFY(upload.end());
        QCOMPARE(proxy.requestCount(), proxied ? 1 : 0);
        if (proxied) {
            QCOMPARE(upload.reply->error(), QNetworkReply::NoError);
            QCOMPARE(upload.reply->rawHeader("FileName"), QByteArray("proxied.png"));
            QCOMPARE(proxy.requests().first().target, QByteArray("http://upload.example.test:8080/p.png"));
            QCOMPARE(proxy.requests().first().body, QByteArray("content"));
        } else {
            QVERIFY(upload.reply->error() != QNetworkReply::NoError);
        }
    }

    // HTTPS through a local TLS endpoint: verified against the authority the
    // environment names, and refused without it.
    void httpsUpload()
    {
        TestService service;
        service.setFallback(Reply::fileName("tls.png"));
        TlsEndpoint tls(service.port());
        QVERIFY2(tls.isRunning(), qPrintable(tls.failure()));
        const QByteArray content = randomBytes(2 * 1024 * 1024 + 3, 11);
        const QUrl url = tls.baseUrl().resolved(QUrl(QStringLiteral("/s.png")));

        {
            Upload untrusted(content);
            untrusted.put(serviceRequest(url));
            QVERIFY(untrusted.end());
            QCOMPARE(untrusted.reply->error(), QNetworkReply::SslHandshakeFailedError);
            QCOMPARE(service.requestCount(), 0);
        }

        // directly, and through a proxy's tunnel
        qputenv("CURL_CA_BUNDLE", QFile::encodeName(tls.certificateFile()));
        TestService proxy;
        for (bool proxied : {false, true}) {
            Upload trusted(content);
            if (proxied)
                trusted.network.setProxy(QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), proxy.port()));
            trusted.put(serviceRequest(url));
            QVERIFY(trusted.end());
            QCOMPARE(trusted.reply->error(), QNetworkReply::NoError);
            QCOMPARE(trusted.reply->rawHeader("FileName"), QByteArray("tls.png"));
            QCOMPARE(trusted.progress.last(), qint64(content.size()));
            const TestService::Request got = service.requests().value(0);
            QVERIFY(got.head.startsWith("PUT /s.png HTTP/1.1\r\nUser-Agent: Snaplark\r\nHost: service.test\r\n"));
            QVERIFY(got.body == content);
            service.clearRequests();
        }
        QCOMPARE(proxy.requestCount(), 1);
        QCOMPARE(proxy.requests().first().method + ' ' + proxy.requests().first().target,
                 "CONNECT 127.0.0.1:" + QByteArray::number(tls.port()));
    }

    // Every failure ends in one finished signal with Qt's code; those after
    // a 2xx answer to a part of the file, or after a stall, included.
    void failures_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<Reply>("reply");
        // Qt's code and a part of the error text; some rows race between two
        QTest::addColumn<QList<int>>("errors");
        QTest::addColumn<QStringList>("texts");
        const auto row = [](const char *tag, const char *kind, const Reply &reply, QList<int> errors, QStringList texts) {
            QTest::newRow(tag) << QString::fromLatin1(kind) << reply << errors << texts;
        };
        row("refused", "refused", Reply(), {QNetworkReply::ConnectionRefusedError}, {"Connection refused"});
        row("dropped", "", Reply::dropped(), {QNetworkReply::RemoteHostClosedError}, {"Connection closed"});
        row("not found", "", Reply::httpError(404), {QNetworkReply::ContentNotFoundError},
            {"/f.gif - server replied: Not Found"});
        row("unreadable file", "unreadable", Reply(), {QNetworkReply::UnknownContentError},
            {"Cannot read the file to upload"});
        const Reply early = Reply::fileName("part.png").answeredEarly(1 << 20);
        row("2xx after 1 MB, the rest read", "", early, {QNetworkReply::ProtocolFailure}, {"answered after"});
        // the reset may reach the client before the answer does
        Reply earlyThenClosed = early;
        earlyThenClosed.dropAfterBodyBytes = 2 << 20;
        row("2xx after 1 MB, closed at 2", "", earlyThenClosed,
            {QNetworkReply::ProtocolFailure, QNetworkReply::RemoteHostClosedError}, {"answered after", "Connection closed"});
        row("4xx after 1 MB", "", Reply::httpError(413).answeredEarly(1 << 20), {QNetworkReply::UnknownContentError},
            {"server replied: Error"});
        row("stops reading after 1 MB", "", Reply::fileName("never.png").stalled(1 << 20), {QNetworkReply::TimeoutError},
            {"Nothing was sent or received for 0.4 seconds"});
        row("never answers", "", Reply::fileName("never.png").stalled(kLargeBody), {QNetworkReply::TimeoutError},
            {"Nothing was sent or received"});
        row("announces 20 MB", "", Reply::html(QByteArray()).withHeader("Content-Length", "20971520"),
            {QNetworkReply::ProtocolFailure}, {"malformed"});
    }
    void failures()
    {
        QFETCH(QString, kind);
        QFETCH(Reply, reply);
        QFETCH(QList<int>, errors);
        QFETCH(QStringList, texts);
        TestService service;
        service.setFallback(reply);
        QUrl url = service.baseUrl().resolved(QUrl(QStringLiteral("/f.gif")));
        if (kind == QLatin1String("refused")) {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            url.setPort(closed.serverPort());
        } // closed here: nothing listens on the port any more
        Upload upload(randomBytes(kLargeBody, 3));
        if (kind == QLatin1String("unreadable"))
            upload.file.close();

        upload.put(QNetworkRequest(url));
        // short only where a stall is the point: a busy machine pauses too
        const bool stalls = errors.contains(QNetworkReply::TimeoutError);
        upload.setStallLimit(stalls ? 400 : 10000);
        QElapsedTimer clock;
        clock.start();
        QVERIFY(upload.end());
        const int index = errors.indexOf(upload.reply->error());
        QVERIFY2(index >= 0, qPrintable(QStringLiteral("%1: %2").arg(upload.reply->error()).arg(upload.reply->errorString())));
        QVERIFY2(upload.reply->errorString().contains(texts.at(index)), qPrintable(upload.reply->errorString()));
        QVERIFY(std::is_sorted(upload.progress.begin(), upload.progress.end()));
        if (stalls)
            QVERIFY2(clock.elapsed() >= 400 && clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        if (kind == QLatin1String("unreadable"))
            QCOMPARE(service.requestCount(), 0);
        if (upload.reply->error() == QNetworkReply::ContentNotFoundError) {
            QCOMPARE(upload.reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 404);
            QCOMPARE(upload.reply->readAll(), QByteArray("error 404"));
        }
    }

    // The failures that passed for success: UploadManager offers Retry and
    // Save, and the capture stays where it is under its own name, although
    // "SaveLocal" is off.
    void failedUploadKeepsTheCapture_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<int>("answer"); // 2 Save, 0 closed
        QTest::newRow("answered early, save") << Reply::fileName("srv.png").answeredEarly(1 << 20) << 2;
        QTest::newRow("answered early, closed") << Reply::fileName("srv.png").answeredEarly(1 << 20) << 0;
        QTest::newRow("stalled, closed") << Reply::fileName("srv.png").stalled(1 << 20) << 0;
    }
    void failedUploadKeepsTheCapture()
    {
        QFETCH(Reply, reply);
        QFETCH(int, answer);
        TestService service;
        service.setFallback(reply);
        qputenv("SNAPLARK_SERVICE_URL", service.serviceUrl());
        QSettings(QStringLiteral("Snaplark"), QStringLiteral("Snaplark")).clear();
        Settings::setAuthId(QStringLiteral("tok"));
        Settings::setSaveLocal(false);
        const QString folder = testScratchDir(QStringLiteral("keeps"));
        QDir(folder).removeRecursively();
        QDir().mkpath(folder);
        const QByteArray content = randomBytes(kLargeBody, 5);
        const QString capture = folder + QStringLiteral("/snaplark.1.png");
        QFile file(capture);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        file.close();

        RecordingLauncher launcher;
        RunObserver run(answer);
        QStringList messages;
        run.onDialog = [&](QDialog *dialog) {
            auto *edit = dialog->findChild<QPlainTextEdit *>(QStringLiteral("edError"));
            messages << (edit ? edit->toPlainText() : QString());
        };
        g_log.clear();
        qInstallMessageHandler(keepLog);
        UploadManager::uploadFile(capture, false);
        auto *started = UploadManager::newest()->findChild<CurlUploadReply *>();
        QVERIFY(started);
        if (reply.stallAfterBodyBytes >= 0)
            started->setStallLimit(500);
        const bool ended = QTest::qWaitFor([&] { return !run.endCodes.isEmpty(); }, 15000);
        qInstallMessageHandler(nullptr);
        QVERIFY(ended);

        QCOMPARE(run.endCodes, QList<int>{0});
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages.first().startsWith(QStringLiteral("File upload failed.")));
        if (answer == 0)
            QVERIFY2(!g_log.filter(QStringLiteral("Reply error: ")).isEmpty(), qPrintable(g_log.join('\n')));
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList{QStringLiteral("snaplark.1.png")});
        QFile kept(capture);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QVERIFY(kept.readAll() == content);
        // Save shows the folder; nothing else is opened
        QCOMPARE(launcher.opened, answer == 2 ? QList<QUrl>{QUrl::fromLocalFile(folder)} : QList<QUrl>());
        QVERIFY(service.requests().value(0).bodySize < content.size());
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (qobject_cast<WndProgress *>(widget))
                widget->hide();
    }

    // Mangled and hostile replies from a raw socket, in random pieces: the
    // reply never holds more than its limits, and finishes exactly once.
    void mangledRepliesStayWithinTheLimits()
    {
        const QList<QByteArray> seeds = {
            "HTTP/1.1 200 OK\r\nFileName: a.png\r\nContent-Length: 5\r\n\r\nhello",
            "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;x=y\r\nhello\r\n0\r\nX-T: 1\r\n\r\n",
            "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.0 500 Error\n\nbody",
        };
        const QByteArray flood(24 << 20, 'a');
        struct Hostile
        {
            QByteArray head;
            QByteArray tail;
        };
        QList<Hostile> hostile = {
            {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n7fffffffffffffff\r\n", flood},
            {"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n7fffffffffffffff\r\n", flood},
            {"HTTP/1.1 200 OK\r\nContent-Length: 99999999999999999999\r\n\r\n", flood},
            {"HTTP/1.1 200 OK\r\nContent-Length: 9223372036854775807\r\n\r\n", flood},
            {"HTTP/1.1 200 OK\r\n\r\n", flood}, // a body up to the close
            {"HTTP/1.1 200 OK\r\n", QByteArray("X-Endless: header\r\n").repeated(200000)},
            {QByteArray(), QByteArray("HTTP/1.1 100 Continue\r\n\r\n").repeated(100000)},
        };
        static const QByteArray alphabet("\r\n :;0123456789abcdefxHTTP/-");
        QRandomGenerator random(20261206);
        for (int i = 0; i < 240; ++i) {
            QByteArray input = seeds.at(i % seeds.size());
            for (int edits = 1 + random.bounded(5); edits > 0; --edits) {
                const int at = random.bounded(input.size());
                if (random.bounded(2))
                    input[at] = alphabet.at(random.bounded(alphabet.size()));
                else
                    input.insert(at, char(random.bounded(256)));
            }
            hostile.append({input, QByteArray()});
        }

        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const QUrl url(QStringLiteral("http://127.0.0.1:%1/m.png").arg(server.serverPort()));
        for (int i = 0; i < hostile.size(); ++i) {
            const QByteArray response = hostile.at(i).head + hostile.at(i).tail;
            Upload upload("0123456789");
            upload.put(QNetworkRequest(url));
            upload.setStallLimit(3000);
            auto *reply = qobject_cast<CurlUploadReply *>(upload.reply);
            QVERIFY(waitFor([&] { return server.hasPendingConnections(); }, 5000));
            std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
            // the whole request first, so that any answer comes after the body
            QVERIFY(waitFor([&] { return peer->peek(1 << 16).endsWith("\r\n\r\n0123456789"); }, 5000));

            const auto withinLimits = [&] {
                qint64 head = 0;
                for (const auto &header : reply->rawHeaderPairs())
                    head += header.first.size() + header.second.size();
                return reply->bytesAvailable() <= CurlUploadReply::maxBodyBytes
                    && head <= CurlUploadReply::maxHeadBytes;
            };
            const bool large = !hostile.at(i).tail.isEmpty();
            for (int at = 0; at < response.size() && !reply->isFinished();) {
                const int step = large ? 1 + random.bounded(256 * 1024) : 1 + random.bounded(16);
                peer->write(response.constData() + at, qMin(step, response.size() - at));
                at += step;
                QElapsedTimer clock;
                clock.start();
                do
                    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
                while (peer->bytesToWrite() > 0 && peer->state() == QAbstractSocket::ConnectedState
                       && !reply->isFinished() && clock.elapsed() < 5000);
                QVERIFY2(withinLimits(), qPrintable(QStringLiteral("case %1 at byte %2").arg(i).arg(at)));
            }
            peer->disconnectFromHost();
            QVERIFY2(upload.end(5000, 5), qPrintable(QStringLiteral("case %1: finished %2 times").arg(i).arg(upload.finished)));
            QVERIFY2(withinLimits(), qPrintable(QStringLiteral("case %1 at the end").arg(i)));
            if (large)
                QVERIFY2(upload.reply->error() != QNetworkReply::NoError, qPrintable(QStringLiteral("case %1").arg(i)));
        }
    }
};

QTEST_MAIN(TestUploadTransport)
#include "tst_uploadtransport.moc"
