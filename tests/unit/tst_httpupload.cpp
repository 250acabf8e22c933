// The upload transport: the response reader over whole and byte-by-byte
// input, the request head, which requests it takes over, and real uploads to
// the test service with their failures.
#include "testservice.h"
#include "upload/httpresponsereader.h"
#include "upload/httpuploadreply.h"
#include "upload/uploadnetworkmanager.h"

#include <QNetworkProxy>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryFile>
#include <QtTest>

using State = HttpResponseReader::State;
Q_DECLARE_METATYPE(HttpResponseReader::State)

class TestHttpUpload : public QObject
{
    Q_OBJECT
private slots:
    void responseReader_data();
    void responseReader();
    void readerSurvivesMangledResponses();
    void requestHead();
    void sendsItself_data();
    void sendsItself();
    void uploadStreamsTheWholeFile();
    void failuresFinishOnce_data();
    void failuresFinishOnce();
};

void TestHttpUpload::responseReader_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("closed"); // the server closes after the input
    QTest::addColumn<State>("state");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("content length, rest ignored")
        << QByteArray("HTTP/1.1 200 OK\r\nFileName: a.png\r\nContent-Length: 5\r\n\r\nhelloEXTRA") << false
        << State::Done << 200 << QByteArray("hello");
    QTest::newRow("chunked with extension and trailer")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5;x=y\r\nhello\r\n6\r\n world\r\n"
                      "0\r\nX-Trailer: 1\r\n\r\n")
        << false << State::Done << 200 << QByteArray("hello world");
    QTest::newRow("interim response skipped")
        << QByteArray("HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 201 Created\r\nContent-Length: 2\r\n\r\nok") << false
        << State::Done << 201 << QByteArray("ok");
    QTest::newRow("body until close") << QByteArray("HTTP/1.0 200 OK\n\n{\"status\":\"OK\"}") << true << State::Done
                                      << 200 << QByteArray("{\"status\":\"OK\"}");
    QTest::newRow("no content") << QByteArray("HTTP/1.1 204 No Content\r\n\r\n") << false << State::Done << 204
                                << QByteArray();
    QTest::newRow("cut short") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc") << true
                               << State::Malformed << 200 << QByteArray("abc");
    QTest::newRow("not http") << QByteArray("SSH-2.0-OpenSSH_9.2\r\n\r\n") << false << State::Malformed << 0
                              << QByteArray();
    QTest::newRow("negative length") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n") << false
                                     << State::Malformed << 200 << QByteArray();
    QTest::newRow("header without colon") << QByteArray("HTTP/1.1 200 OK\r\nbroken\r\n\r\n") << false
                                          << State::Malformed << 200 << QByteArray();
    QTest::newRow("chunk beyond the limit")
        << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nffffffffff\r\n") << false
        << State::Malformed << 200 << QByteArray();
    QTest::newRow("head that never ends") << QByteArray("HTTP/1.1 200 OK\r\nX: ") + QByteArray(70000, 'a') << false
                                          << State::Malformed << 0 << QByteArray();
}

void TestHttpUpload::responseReader()
{
    QFETCH(QByteArray, input);
    QFETCH(bool, closed);
    QFETCH(State, state);
    QFETCH(int, status);
    QFETCH(QByteArray, body);

    // All at once, and one byte at a time: the result must not depend on how
    // the bytes were split.
    for (int step : {input.size(), 1}) {
        HttpResponseReader reader;
        for (int at = 0; at < input.size() && reader.state() == State::Reading; at += step)
            reader.feed(input.mid(at, step));
        if (closed)
            reader.finishAtClose();
        QCOMPARE(reader.state(), state);
        if (state == State::Done || status)
            QCOMPARE(reader.statusCode(), status);
        if (state == State::Done)
            QCOMPARE(reader.body(), body);
    }
}

// Whatever a server sends, the reader ends in a state, within its limits.
void TestHttpUpload::readerSurvivesMangledResponses()
{
    const QList<QByteArray> seeds = {
        "HTTP/1.1 200 OK\r\nFileName: a.png\r\nContent-Length: 5\r\n\r\nhello",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n",
        "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.0 500 Error\n\nbody",
    };
    static const QByteArray alphabet("\r\n :;0123456789abcdefHTTP/-", 29);
    QRandomGenerator random(20261206);
    for (int i = 0; i < 100000; ++i) {
        QByteArray input = seeds.at(i % seeds.size());
        for (int edits = 1 + random.bounded(5); edits > 0; --edits) {
            const int at = random.bounded(input.size());
            if (random.bounded(2))
                input[at] = alphabet.at(random.bounded(alphabet.size()));
            else
                input.insert(at, char(random.bounded(256)));
        }
        HttpResponseReader reader;
        for (int at = 0, step = 1; at < input.size(); at += step) {
            step = 1 + random.bounded(16);
            reader.feed(input.mid(at, step));
        }
        reader.finishAtClose();
        QVERIFY(reader.state() != State::Reading);
        QVERIFY(reader.body().size() <= input.size());
    }
}

void TestHttpUpload::requestHead()
{
    QNetworkRequest request(QUrl(QStringLiteral("http://example.test:8080/a%20b/c.png?x=1#frag")));
    request.setRawHeader("User-Agent", "Snaplark");
    request.setRawHeader("Version", "1.24");
    request.setRawHeader("Cookie", "snaplark-auth-id=tok\r\nX-Injected: 1");
    QCOMPARE(HttpUploadReply::requestHead("PUT", request, 12),
             QByteArray("PUT /a%20b/c.png?x=1 HTTP/1.1\r\n"
                        "User-Agent: Snaplark\r\nVersion: 1.24\r\nCookie: snaplark-auth-id=tokX-Injected: 1\r\n"
                        "Host: example.test:8080\r\nContent-Length: 12\r\nConnection: close\r\n\r\n"));

    // a Host set by the caller is the only one, in its place
    request.setRawHeader("Host", "service.test");
    const QByteArray head = HttpUploadReply::requestHead("POST", request, 0);
    QCOMPARE(head.count("Host:"), 1);
    QVERIFY(head.indexOf("Host: service.test") > head.indexOf("Cookie:"));
}

void TestHttpUpload::sendsItself_data()
{
    QTest::addColumn<int>("operation");
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("proxied");
    QTest::addColumn<bool>("expected");
    QTest::newRow("plain http put") << int(QNetworkAccessManager::PutOperation) << "http://127.0.0.1:1/x" << false
                                    << true;
    QTest::newRow("plain http post") << int(QNetworkAccessManager::PostOperation) << "http://h/api/upload" << false
                                     << true;
    QTest::newRow("https") << int(QNetworkAccessManager::PutOperation) << "https://h/x" << false << false;
    QTest::newRow("get") << int(QNetworkAccessManager::GetOperation) << "http://h/x" << false << false;
    QTest::newRow("through a proxy") << int(QNetworkAccessManager::PutOperation) << "http://h/x" << true << false;
}

void TestHttpUpload::sendsItself()
{
    QFETCH(int, operation);
    QFETCH(QString, url);
    QFETCH(bool, proxied);
    QFETCH(bool, expected);
    QNetworkProxy::setApplicationProxy(proxied ? QNetworkProxy(QNetworkProxy::HttpProxy, QStringLiteral("proxy"), 3128)
                                               : QNetworkProxy(QNetworkProxy::NoProxy));
    QCOMPARE(UploadNetworkManager::sendsItself(QNetworkAccessManager::Operation(operation), QUrl(url)), expected);
    QNetworkProxy::setApplicationProxy(QNetworkProxy(QNetworkProxy::NoProxy));
}

void TestHttpUpload::uploadStreamsTheWholeFile()
{
    TestService service;
    service.enqueue(TestService::Reply::fileName("abc.png"));
    // several blocks and a ragged end
    QByteArray content(3 * int(HttpUploadReply::blockBytes) + 7, Qt::Uninitialized);
    QRandomGenerator(7).fillRange(reinterpret_cast<quint32 *>(content.data()), content.size() / 4);
    QTemporaryFile file;
    QVERIFY(file.open());
    file.write(content);
    file.seek(0);

    UploadNetworkManager network;
    QSignalSpy finished(&network, &QNetworkAccessManager::finished);
    QNetworkRequest request(service.baseUrl().resolved(QUrl(QStringLiteral("/u.png"))));
    request.setRawHeader("Host", "service.test");
    QNetworkReply *reply = network.put(request, &file);
    QVERIFY(qobject_cast<HttpUploadReply *>(reply));
    QList<qint64> sent;
    connect(reply, &QNetworkReply::uploadProgress, [&](qint64 done, qint64 total) {
        QCOMPARE(total, qint64(content.size()));
        sent.append(done);
    });
    QVERIFY(finished.wait(15000));
    QTest::qWait(50);
    QCOMPARE(finished.count(), 1);

    QCOMPARE(reply->error(), QNetworkReply::NoError);
    QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 200);
    QCOMPARE(reply->rawHeader("FileName"), QByteArray("abc.png"));
    QVERIFY(!sent.isEmpty() && std::is_sorted(sent.begin(), sent.end()));
    QCOMPARE(sent.last(), qint64(content.size()));
    const TestService::Request got = service.requests().value(0);
    QCOMPARE(got.method, QByteArray("PUT"));
    QCOMPARE(got.header("Content-Length").toLongLong(), qint64(content.size()));
    QVERIFY(got.body == content);
    delete reply;
}

void TestHttpUpload::failuresFinishOnce_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("error");
    QTest::newRow("refused") << "refused" << int(QNetworkReply::ConnectionRefusedError);
    QTest::newRow("dropped") << "dropped" << int(QNetworkReply::RemoteHostClosedError);
    QTest::newRow("not found") << "404" << int(QNetworkReply::ContentNotFoundError);
    QTest::newRow("unreadable file") << "unreadable" << int(QNetworkReply::UnknownContentError);
}

void TestHttpUpload::failuresFinishOnce()
{
    QFETCH(QString, kind);
    QFETCH(int, error);
    TestService service;
    QUrl url = service.baseUrl().resolved(QUrl(QStringLiteral("/f.gif")));
    if (kind == QLatin1String("refused")) {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        url.setPort(closed.serverPort());
    } // closed here: nothing listens on the port any more
    service.setFallback(kind == QLatin1String("dropped") ? TestService::Reply::dropped()
                                                         : TestService::Reply::httpError(404));
    QTemporaryFile file;
    QVERIFY(file.open());
    file.write(QByteArray(100000, 'x'));
    file.seek(0);
    if (kind == QLatin1String("unreadable"))
        file.close();

    UploadNetworkManager network;
    QSignalSpy finished(&network, &QNetworkAccessManager::finished);
    QNetworkReply *reply = network.put(QNetworkRequest(url), &file);
    QVERIFY(finished.wait(15000));
    QTest::qWait(50);
    QCOMPARE(finished.count(), 1);
    QCOMPARE(int(reply->error()), error);
    QVERIFY(!reply->errorString().isEmpty());
    if (kind == QLatin1String("404")) {
        QCOMPARE(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), 404);
        QVERIFY(!reply->readAll().isEmpty());
    }
    if (kind == QLatin1String("unreadable"))
        QCOMPARE(service.requestCount(), 0);
    delete reply;
}

QTEST_MAIN(TestHttpUpload)
#include "tst_httpupload.moc"
