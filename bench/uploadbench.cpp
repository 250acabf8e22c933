// Upload throughput and memory: the program uploads a file named on its
// command line (200 MB by default) to the loopback test service, and curl -T
// sends the same file to the same service, alternately, several times; once
// over plain HTTP and once over HTTPS through the same local TLS endpoint
// (stunnel with a certificate made for the run, trusted by both through
// CURL_CA_BUNDLE).  Reports the rate at which the service received each
// body, with Qt's own stack (a plain QNetworkAccessManager PUT) beside them
// for reference, the wall time of each run, and the program's peak resident
// memory.  Needs a display (bench/run-all).
//   uploadbench [program] [megabytes] [rounds]
#include "benchstats.h"
#include "settings/settings.h"
#include "testservice.h"
#include "tlsendpoint.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslConfiguration>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using BenchStats::median;

struct Run
{
    double wallMs = 0;
    double receiveMs = 0; // first to last body byte at the service
    qint64 bodyBytes = 0;
    long peakRssKb = 0;
    int status = -1;
};

// Starts the command with its output discarded and waits for it; the service
// serves on its own thread meanwhile.
Run runAndWait(const QStringList &command)
{
    std::vector<QByteArray> storage;
    for (const QString &part : command)
        storage.push_back(QFile::encodeName(part));
    std::vector<char *> argv;
    for (QByteArray &part : storage)
        argv.push_back(part.data());
    argv.push_back(nullptr);

    Run run;
    QElapsedTimer clock;
    clock.start();
    fflush(stdout); // or the child's stream would repeat what is buffered
    const pid_t pid = fork();
    if (pid == 0) {
        freopen("/dev/null", "w", stdout);
        freopen("/dev/null", "w", stderr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage = {};
    wait4(pid, &status, 0, &usage);
    run.wallMs = clock.nsecsElapsed() / 1e6;
    run.peakRssKb = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

void takeReceipt(TestService &service, Run *run)
{
    const QList<TestService::Request> requests = service.requests();
    if (!requests.isEmpty() && requests.last().complete) {
        run->receiveMs = requests.last().lastByteMs - requests.last().firstBodyByteMs;
        run->bodyBytes = requests.last().bodySize;
    }
    service.clearRequests();
}

// Qt's own stack for reference: a plain QNetworkAccessManager PUT of the
// file, in this process, with nothing else around it.
Run bareQtPut(const QString &path, const QUrl &url)
{
    Run run;
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QNetworkAccessManager network;
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/octet-stream"));
    QElapsedTimer clock;
    clock.start();
    QNetworkReply *reply = network.put(request, &file);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    run.wallMs = clock.nsecsElapsed() / 1e6;
    run.status = reply->error() == QNetworkReply::NoError ? 0 : 1;
    delete reply;
    return run;
}

bool writeFile(const QString &path, qint64 size)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1 << 20, '\0');
    for (int i = 0; i < block.size(); ++i)
        block[i] = char((i * 2654435761u) >> 24);
    for (qint64 left = size; left > 0; left -= block.size())
        if (file.write(block.constData(), qMin<qint64>(left, block.size())) < 0)
            return false;
    return true;
}

double rate(const Run &run)
{
    return run.receiveMs > 0 ? run.bodyBytes / 1e6 / (run.receiveMs / 1000) : 0;
}

struct Series
{
    std::vector<double> curlRates, programRates, qtRates, curlWall, programWall;
};

// One round over one scheme: curl, the program, Qt's stack, each to the
// service at base.
bool runRound(TestService &service, const QString &program, const QString &file, const QString &base, Series *series,
              long *peakRss, qint64 bytes)
{
    qputenv("SNAPLARK_SERVICE_URL", base.toUtf8());
    Run curl = runAndWait({QStringLiteral("curl"), QStringLiteral("-s"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
                           QStringLiteral("-T"), file, base + QStringLiteral("curl.mp4")});
    takeReceipt(service, &curl);
    Run ours = runAndWait({program, file});
    takeReceipt(service, &ours);
    Run qt = bareQtPut(file, QUrl(base + QStringLiteral("qt.mp4")));
    takeReceipt(service, &qt);
    printf("  %-5s curl %4.0f MB/s (%5.0f ms), program %4.0f MB/s (%5.0f ms), Qt's stack %4.0f MB/s, "
           "program peak RSS %.1f MB\n",
           qPrintable(QUrl(base).scheme()), rate(curl), curl.wallMs, rate(ours), ours.wallMs, rate(qt),
           ours.peakRssKb / 1024.0);
    fflush(stdout);
    series->curlRates.push_back(rate(curl));
    series->programRates.push_back(rate(ours));
    series->qtRates.push_back(rate(qt));
    series->curlWall.push_back(curl.wallMs);
    series->programWall.push_back(ours.wallMs);
    *peakRss = std::max(*peakRss, ours.peakRssKb);
    return curl.status == 0 && ours.status == 0 && qt.status == 0 && ours.bodyBytes > bytes && curl.bodyBytes == bytes;
}

void summarise(const char *name, qint64 megabytes, int rounds, const Series &series)
{
    const double curl = median(series.curlRates);
    const double ours = median(series.programRates);
    printf("%s, %lld MB, median of %d: curl -T %.0f MB/s, program %.0f MB/s, ratio %.2f (goal >= 0.90); "
           "Qt's stack %.0f MB/s (%.2f of curl)\n",
           name, megabytes, rounds, curl, ours, curl > 0 ? ours / curl : 0, median(series.qtRates),
           curl > 0 ? median(series.qtRates) / curl : 0);
    printf("  wall time, median: curl %.0f ms, program %.0f ms (start-up and window included)\n",
           median(series.curlWall), median(series.programWall));
}

} // namespace

int main(int argc, char **argv)
{
    // A private home: the program's settings, and nothing of the user's.
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/.config")));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.path() + QStringLiteral("/.cache")));
    // The page opens in a browser that does nothing.
    const QString standins = home.path() + QStringLiteral("/bin");
    QDir().mkpath(standins);
    QFile opener(standins + QStringLiteral("/xdg-open"));
    opener.open(QIODevice::WriteOnly);
    opener.write("#!/bin/sh\nexit 0\n");
    opener.close();
    opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", QFile::encodeName(standins) + ':' + qgetenv("PATH"));

    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString program = args.value(1, QStringLiteral(SNAPLARK_BIN_DIR "/snaplark"));
    const qint64 megabytes = args.value(2, QStringLiteral("200")).toLongLong();
    const int rounds = args.value(3, QStringLiteral("3")).toInt();
    const qint64 bytes = megabytes * 1000 * 1000;

    // Logged in, so a command-line video goes out as the multipart form.
    Settings::setAuthId(QStringLiteral("bench"));

    TestService service;
    service.setKeepBodies(false);
    // A status body rather than a name: no clipboard, so no keeper outlives a run.
    service.setFallback(TestService::Reply::statusOk("http://127.0.0.1/bench"));
    TlsEndpoint tls(service.port());
    if (!tls.isRunning()) {
        fprintf(stderr, "uploadbench: no TLS endpoint: %s\n", qPrintable(tls.failure()));
        return 2;
    }
    // The run's own authority, for curl, the program and Qt alike; nothing
    // else is trusted less for it.
    qputenv("CURL_CA_BUNDLE", QFile::encodeName(tls.certificateFile()));
    QSslConfiguration ssl = QSslConfiguration::defaultConfiguration();
    ssl.addCaCertificates(tls.certificateFile());
    QSslConfiguration::setDefaultConfiguration(ssl);

    const QString file = home.path() + QStringLiteral("/bench.mp4");
    if (!writeFile(file, bytes)) {
        fprintf(stderr, "uploadbench: cannot write %s\n", qPrintable(file));
        return 2;
    }

    Series plain, secure;
    long peakRss = 0;
    bool ok = true;
    for (int round = 0; round < rounds; ++round) {
        printf("round %d\n", round + 1);
        ok = runRound(service, program, file, service.baseUrl().toString(), &plain, &peakRss, bytes) && ok;
        ok = runRound(service, program, file, tls.baseUrl().toString(), &secure, &peakRss, bytes) && ok;
    }
    summarise("HTTP ", megabytes, rounds, plain);
    summarise("HTTPS", megabytes, rounds, secure);
    printf("program peak resident memory: %.1f MB (goal < 150 MB)\n", peakRss / 1024.0);
    if (!ok) {
        fprintf(stderr, "uploadbench: a run failed\n");
        return 1;
    }
    return 0;
}
