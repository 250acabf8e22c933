// Upload throughput and memory: the program uploads a 500 MB file named on
// its command line to the loopback test service, and curl -T sends the same
// file to the same service, alternately, several times.  Reports the rate at
// which the service received each body (and, as the floor of any Qt client,
// that of a plain QNetworkAccessManager PUT), the wall time of each run, and the
// program's peak resident memory.  Needs a display (bench/run-all).
//   uploadbench [program] [megabytes] [rounds]
#include "benchstats.h"
#include "settings/settings.h"
#include "testservice.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
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

// The floor of any Qt upload: a plain QNetworkAccessManager PUT of the file,
// in this process, with nothing else around it.
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
    const qint64 megabytes = args.value(2, QStringLiteral("500")).toLongLong();
    const int rounds = args.value(3, QStringLiteral("3")).toInt();

    // Logged in, so a command-line video goes out as the multipart form.
    Settings::setAuthId(QStringLiteral("bench"));

    TestService service;
    service.setKeepBodies(false);
    // A status body rather than a name: no clipboard, so no keeper outlives a run.
    service.setFallback(TestService::Reply::statusOk("http://127.0.0.1/bench"));
    qputenv("SNAPLARK_SERVICE_URL", service.serviceUrl());

    const QString file = home.path() + QStringLiteral("/bench.mp4");
    if (!writeFile(file, megabytes * 1000 * 1000)) {
        fprintf(stderr, "uploadbench: cannot write %s\n", qPrintable(file));
        return 2;
    }
    const QString curlTarget = service.baseUrl().toString() + QStringLiteral("curl.mp4");

    std::vector<double> programRates, curlRates, bareRates, programWall, curlWall;
    long peakRss = 0;
    bool ok = true;
    for (int round = 0; round < rounds; ++round) {
        Run curl = runAndWait({QStringLiteral("curl"), QStringLiteral("-s"), QStringLiteral("-o"),
                               QStringLiteral("/dev/null"), QStringLiteral("-T"), file, curlTarget});
        takeReceipt(service, &curl);
        Run ours = runAndWait({program, file});
        takeReceipt(service, &ours);
        Run bare = bareQtPut(file, QUrl(service.baseUrl().toString() + QStringLiteral("bare.mp4")));
        takeReceipt(service, &bare);
        ok = ok && curl.status == 0 && ours.status == 0 && bare.status == 0
            && ours.bodyBytes > megabytes * 1000 * 1000;
        printf("round %d: curl %.0f MB/s (%.0f ms), program %.0f MB/s (%.0f ms), plain Qt PUT %.0f MB/s, "
               "program peak RSS %.1f MB\n",
               round + 1, rate(curl), curl.wallMs, rate(ours), ours.wallMs, rate(bare), ours.peakRssKb / 1024.0);
        bareRates.push_back(rate(bare));
        curlRates.push_back(rate(curl));
        programRates.push_back(rate(ours));
        curlWall.push_back(curl.wallMs);
        programWall.push_back(ours.wallMs);
        peakRss = std::max(peakRss, ours.peakRssKb);
    }

    const double ratio = median(curlRates) > 0 ? median(programRates) / median(curlRates) : 0;
    printf("%lld MB upload, median of %d: curl -T %.0f MB/s, program %.0f MB/s, ratio %.2f (goal >= 0.90)\n",
           megabytes, rounds, median(curlRates), median(programRates), ratio);
    printf("plain QNetworkAccessManager PUT in the same run: %.0f MB/s, the program reaches %.2f of it\n",
           median(bareRates), median(bareRates) > 0 ? median(programRates) / median(bareRates) : 0);
    printf("wall time, median: curl %.0f ms, program %.0f ms (start-up and window included)\n",
           median(curlWall), median(programWall));
    printf("program peak resident memory: %.1f MB (goal < 150 MB)\n", peakRss / 1024.0);
    if (!ok) {
        fprintf(stderr, "uploadbench: a run failed\n");
        return 1;
    }
    return 0;
}
