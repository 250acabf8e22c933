// Malformed requests by the hundred thousand: the server answers or closes
// each one, keeps its memory, leaves no stray file, and still serves.
#include "processdriver.h"
#include "serverprocess.h"
#include "testsupport.h"

#include <QDirIterator>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kRequests = 100000;
constexpr int kClients = 4;
constexpr int kReplyTimeoutMs = 5000;  // a reply or a close, per request
constexpr qint64 kGrowthLimitKb = 48 * 1024;

// Request pieces that parsers trip over.
const char *const kMethods[] = {"GET", "PUT", "POST", "HEAD", "DELETE", "OPTIONS", "PATCH", "BREW", "G\x01T", "", "PUT PUT"};
const char *const kPaths[] = {"/", "/..", "/../server.key", "/%2e%2e/%2e%2e/etc/passwd", "/%2e%2e%2fsnaplark.db", "/a%00.png",
                              "/%", "/%zz.png", "/%c0%ae%c0%ae/x", "//x.png", "/a.png?x=%00", "*", "", "http://evil/x.png",
                              "/netodb/plugin/auth/overlay?client=desktop", "/api/upload", "/my-snaplarks/delete",
                              "/delete/abcdefghijkm?key=%", "/app-banner.html", "/abcdefghijkm.html", "/x.png\r\nX: y"};
const char *const kVersions[] = {"HTTP/1.1", "HTTP/1.0", "HTTP/9.9", "HTTP/1.1 extra", "", "HTTP/", "http/1.1"};
const char *const kLengths[] = {"-1", "99999999999999999999999", "18446744073709551615", "abc", "0x10", " 5", "5, 6",
                                "4294967296", "1e9", "100000000"};
const char *const kHeaders[] = {"Transfer-Encoding: chunked", "Transfer-Encoding: gzip, chunked", "Expect: 100-continue",
                                "Cookie: snaplark-auth-id=", "Cookie: snaplark-auth-id=;;;==;", "Host:", "Host: [::1",
                                "Content-Type: multipart/form-data", "Content-Type: multipart/form-data; boundary=",
                                "Content-Type: multipart/form-data; boundary=\"\"", "Expires-In: 99999999999999d",
                                "Range: bytes=-0,5-1,99999999999999999999-", "Connection: keep-alive, close",
                                "no colon here", ": empty name", "X-Bin: \x01\x02\xff", "Content-Length: 5\r\nContent-Length: 7"};

std::string randomBytes(std::mt19937 &random, size_t size)
{
    std::string out(size, '\0');
    for (char &c : out)
        c = char(random() & 0xff);
    return out;
}

std::string multipartBody(std::mt19937 &random, const std::string &boundary)
{
    switch (random() % 6) {
    case 0: return "--" + boundary + "\r\nContent-Disposition: form-data; name=\"file\"; filename=\"../../x.png\"\r\n\r\nabc";
    case 1: return "--" + boundary + "\r\n" + std::string(10000, 'H') + "\r\n\r\n";
    case 2: return "--" + boundary + "\r\nContent-Disposition: form-data\r\n\r\n--" + boundary + "-";
    case 3: return "--" + boundary + "--\r\n--" + boundary + "\r\n\r\n";
    case 4: return "--wrong\r\nContent-Disposition: form-data; name=\"file\"; filename=\"a\0b.png\"\r\n\r\nx\r\n--wrong--";
    default: return "--" + boundary + "\r\n" + randomBytes(random, 64 + random() % 512);
    }
}

std::string malformedRequest(std::mt19937 &random)
{
    auto pick = [&](const auto &list) { return std::string(list[random() % (sizeof list / sizeof list[0])]); };
    switch (random() % 8) {
    case 0: // noise
        return randomBytes(random, 1 + random() % 600);
    case 1: // an overlong line
        return "GET /" + std::string(8000 + random() % 20000, 'a') + " HTTP/1.1\r\n\r\n";
    case 2: { // too many or too long headers
        std::string request = "GET / HTTP/1.1\r\n";
        const bool longOne = random() % 2;
        for (int i = 0; i < (longOne ? 1 : 150); ++i)
            request += "X-" + std::to_string(i) + ": " + std::string(longOne ? 9000 : 20, 'v') + "\r\n";
        return request + "\r\n";
    }
    case 3: { // a broken chunked body
        std::string request = "PUT /shot.png HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n";
        const char *const chunks[] = {"ffffffffffffffffff\r\nx", "5\r\nabc\r\n", "zz\r\n", "-1\r\n", "5;ext=\x01\r\nab", "5\r\nabcdeXX0\r\n\r\n"};
        return request + chunks[random() % 6];
    }
    case 4: { // a multipart form that is not one
        const std::string boundary = random() % 4 ? "b0undary" : std::string(200, 'B');
        const std::string body = multipartBody(random, boundary);
        return "POST /api/upload HTTP/1.1\r\nContent-Type: multipart/form-data; boundary=" + boundary +
               "\r\nContent-Length: " + std::to_string(body.size() + random() % 3 * 50) + "\r\n\r\n" + body;
    }
    case 5: // lying lengths: huge, negative, not a number
        return pick(kMethods) + " " + pick(kPaths) + " HTTP/1.1\r\nContent-Length: " + pick(kLengths) + "\r\n\r\nshort body";
    case 6: { // a mix of odd pieces
        std::string request = pick(kMethods) + " " + pick(kPaths) + " " + pick(kVersions) + "\r\n";
        for (int i = int(random() % 4); i > 0; --i)
            request += pick(kHeaders) + "\r\n";
        return request + (random() % 3 ? "\r\n" : "") + randomBytes(random, random() % 64);
    }
    default: { // a form with broken encodings
        const std::string body = "csrf=%&action=%zz&name=%00%00&password=" + randomBytes(random, random() % 40);
        return "POST /netodb/plugin/auth/overlay?client=desktop&%=% HTTP/1.1\r\nContent-Type: application/x-www-form-urlencoded\r\n"
               "Cookie: snaplark-csrf=" + randomBytes(random, 8) + "\r\nContent-Length: " + std::to_string(body.size()) +
               "\r\n\r\n" + body;
    }
    }
}

enum class Outcome { Answered, Closed, Hung, Unreachable };

Outcome send(quint16 port, const std::string &request)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        ::close(fd);
        return Outcome::Unreachable;
    }
    // Neither side keeps the connection in TIME_WAIT: 100,000 of them would use up the ports.
    const linger reset{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
    // Whatever the server still waits for will not come.  The library takes
    // a half-closed client for gone and mostly skips its reply, so most
    // requests end "closed": parsing and handling ran all the same, and the
    // service's own test checks the replies.
    ::shutdown(fd, SHUT_WR);
    Outcome outcome = Outcome::Closed;
    char buffer[4096];
    pollfd wait{fd, POLLIN, 0};
    for (;;) {
        if (::poll(&wait, 1, kReplyTimeoutMs) <= 0) {
            outcome = Outcome::Hung;
            break;
        }
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0)
            break;
        if (got >= 12 && std::string(buffer, 5) == "HTTP/")
            outcome = Outcome::Answered;
    }
    ::close(fd);
    return outcome;
}

} // namespace

class TestFuzz : public QObject
{
    Q_OBJECT

private slots:
    void malformedRequests()
    {
        const QString folder = testScratchDir(QStringLiteral("fuzz"));
        ServerProcess server(folder);
        QVERIFY(server.start({QStringLiteral("--max-upload"), QStringLiteral("1M")}));
        // warm up the pool's threads, so that growth means leaks
        for (int i = 0; i < 200; ++i)
            Http::get(server.port(), "/category/manuals");
        const qint64 before = server.residentKb();

        const quint32 seed = quint32(QDateTime::currentMSecsSinceEpoch());
        qInfo("seed %u", seed);
        std::atomic<int> next{0}, answered{0}, closed{0}, hung{0}, unreachable{0};
        std::vector<std::thread> clients;
        for (int c = 0; c < kClients; ++c) {
            clients.emplace_back([&, c] {
                std::mt19937 random(seed + quint32(c));
                while (next++ < kRequests) {
                    switch (send(server.port(), malformedRequest(random))) {
                    case Outcome::Answered: ++answered; break;
                    case Outcome::Closed: ++closed; break;
                    case Outcome::Hung: ++hung; break;
                    case Outcome::Unreachable: ++unreachable; break;
                    }
                }
            });
        }
        for (std::thread &client : clients)
            client.join();
        qInfo("answered %d, closed without a reply %d, hung %d; resident %lld kB before, %lld kB after, peak %lld kB",
              answered.load(), closed.load(), hung.load(), before, server.residentKb(), server.peakResidentKb());

        QCOMPARE(answered + closed + hung + unreachable, kRequests);
        QCOMPARE(unreachable.load(), 0);
        QCOMPARE(hung.load(), 0);
        QVERIFY(server.isRunning());
        QVERIFY2(server.residentKb() - before < kGrowthLimitKb, qPrintable(QString::number(server.residentKb() - before)));
        QVERIFY(server.peakResidentKb() < before + 2 * kGrowthLimitKb);

        // still serving, and nothing half-written is left
        const HttpReply upload = Http::put(server.port(), "/after.png", "still here");
        QCOMPARE(upload.status, 200);
        QCOMPARE(Http::get(server.port(), "/" + upload.header("FileName").replace(".html", ".png")).body, QByteArray("still here"));
        QVERIFY(waitUntil([&] { return QDir(folder + QStringLiteral("/uploads/staging")).isEmpty(); }, 5000));
        QVERIFY(server.stop());
    }
};

QTEST_GUILESS_MAIN(TestFuzz)
#include "tst_fuzz.moc"
