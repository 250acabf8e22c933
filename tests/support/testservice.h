#pragma once

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QPair>
#include <QString>
#include <QThread>
#include <QUrl>

class TestServiceServer;
class TestServiceConnection;

// A small HTTP/1.1 web service for the tests, listening on 127.0.0.1 on a
// free port.  It serves on its own thread, so it keeps answering while the
// test blocks (waiting for a child process, running a modal dialog).
//
//   TestService service;
//   qputenv("SNAPLARK_SERVICE_URL", service.serviceUrl());   // or a child's environment
//   service.enqueue(TestService::Reply::fileName("abc.png"));  // the next upload's answer
//   service.setPage("/login", TestService::Reply::html("<html>...</html>"));
//   ... run the program ...
//   QVERIFY(service.waitForRequests(1));
//   const TestService::Request request = service.requests().first();
//   request.method, request.target, request.headers (in order), request.body
//
// Which reply a request gets, decided once its head has arrived:
//   1. a page set for its exact target (path and query), else for its path;
//   2. else the oldest queued reply (each is used once);
//   3. else the fallback reply (404 unless set).
// "/app-banner.html", which every capture run asks for, is a page (404 until
// set), so it never takes a queued reply.
// A request that expects "100-continue" gets it at once.  Every reply closes
// the connection after it is written.  A CONNECT request, as to a proxy, is
// recorded and gets a tunnel to the address it names.
class TestService
{
public:
    using Header = QPair<QByteArray, QByteArray>;

    struct Reply
    {
        int status = 200;
        QByteArray reason = "OK";
        QList<Header> headers;    // Content-Length and Connection are added
        QByteArray body;
        // Close the connection without answering once this many body bytes
        // have arrived; -1 answers normally.  Use with the whole body size
        // to drop after the full request.
        qint64 dropAfterBodyBytes = -1;
        // Read the request at most this fast (0: as fast as possible), so
        // the client's upload progress can be watched.
        qint64 readBytesPerSecond = 0;
        // Answer once this many body bytes have arrived, then read the rest
        // before closing; -1 waits for the whole body.
        qint64 answerAfterBodyBytes = -1;
        // Stop reading once this many body bytes have arrived, and never
        // answer; -1 reads on.
        qint64 stallAfterBodyBytes = -1;

        // 200 with the "FileName" header and an empty body.
        static Reply fileName(const QByteArray &name);
        // 200 with this body, as an HTML page.
        static Reply html(const QByteArray &body);
        // A status body as the service writes it: {"status":"OK","pageUrl":"..."}.
        static Reply statusOk(const QByteArray &pageUrl);
        // {"status":"ERROR","message":"..."}.
        static Reply statusError(const QByteArray &message);
        // An HTTP error status (e.g. 500) with a short text body.
        static Reply httpError(int status);
        // Closes the connection as soon as the request head has arrived.
        static Reply dropped();

        Reply withHeader(const QByteArray &name, const QByteArray &value) const;
        Reply slow(qint64 bytesPerSecond) const;
        Reply answeredEarly(qint64 bodyBytes) const;
        Reply stalled(qint64 bodyBytes) const;
    };

    struct Request
    {
        QByteArray method;
        QByteArray target;          // path and query, as sent
        QList<Header> headers;      // as sent, in order
        QByteArray head;            // request line and headers up to and including the blank line
        QByteArray body;            // the body bytes as sent (empty when bodies are not kept)
        qint64 bodySize = 0;        // body bytes received so far
        bool complete = false;      // the whole body has arrived
        double firstByteMs = 0;     // since the service started
        double firstBodyByteMs = 0;
        double lastByteMs = 0;

        QByteArray path() const;    // target without the query
        // The first header of that name (case-insensitive); null when absent.
        QByteArray header(const QByteArray &name) const;
    };

    TestService();
    ~TestService();
    TestService(const TestService &) = delete;
    TestService &operator=(const TestService &) = delete;

    bool isListening() const { return m_port != 0; }
    quint16 port() const { return m_port; }
    // "http://127.0.0.1:<port>/"
    QUrl baseUrl() const;
    QByteArray serviceUrl() const { return baseUrl().toEncoded(); }

    void setPage(const QByteArray &pathOrTarget, const Reply &reply);
    void enqueue(const Reply &reply);
    void setFallback(const Reply &reply);
    // Large uploads (benchmarks) need not be kept; only their size is counted.
    void setKeepBodies(bool keep);

    QList<Request> requests() const;
    int requestCount() const;
    // Requests whose body has fully arrived, but for the overlay's banner
    // page, which every capture run asks for.
    QList<Request> uploads() const;
    int completeCount() const;
    void clearRequests();
    // Runs the caller's event loop until that many requests have fully
    // arrived; false on timeout.
    bool waitForRequests(int count, int timeoutMs = 15000) const;

private:
    friend class TestServiceServer;
    friend class TestServiceConnection;

    // Called on the service thread.
    Reply replyFor(const QByteArray &target, const QByteArray &path);
    int addRequest(const Request &request);
    // Requests are found again by a number of their own, so clearing the
    // list while a request is still arriving does no harm.
    template <typename Change>
    void changeRequest(int id, Change change);
    bool keepBodies() const;

    mutable QMutex m_mutex;
    QList<QPair<QByteArray, Reply>> m_pages;
    QList<Reply> m_queue;
    Reply m_fallback;
    bool m_keepBodies = true;
    QList<Request> m_requests;
    QList<int> m_requestIds;
    int m_nextId = 0;

    QThread m_thread;
    TestServiceServer *m_server = nullptr;
    quint16 m_port = 0;
};

template <typename Change>
void TestService::changeRequest(int id, Change change)
{
    QMutexLocker lock(&m_mutex);
    const int index = m_requestIds.lastIndexOf(id);
    if (index >= 0)
        change(m_requests[index]);
}
