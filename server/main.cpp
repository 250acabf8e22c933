// snaplark-server: the upload service of Snaplark.  See --help, README.md
// ("Running the service for a team") and docs/server.md.
#include "diskstorage.h"
#include "secrets.h"
#include "serveroptions.h"
#include "service.h"
#include "sqlitemetadata.h"

#include <httplib.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <thread>

namespace {

// Connections served at once; idle keep-alive connections hold one each.
constexpr int kWorkers = 64;
constexpr int kSweepSeconds = 5;
constexpr time_t kReadTimeoutSeconds = 30;   // a client that stops sending mid-body
constexpr time_t kWriteTimeoutSeconds = 30;  // a client that stops reading a download
constexpr time_t kKeepAliveSeconds = 5;

httplib::Server *g_server = nullptr;

void onSignal(int)
{
    if (g_server)
        g_server->stop();
}

bool makeFolders(const std::string &path)
{
    for (size_t slash = path.find('/', 1); ; slash = path.find('/', slash + 1)) {
        const std::string part = path.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (slash == std::string::npos)
            return true;
    }
}

// The key behind deletion links: made once, written atomically, kept private.
bool loadServerKey(const std::string &path, std::string *key)
{
    if (FILE *file = std::fopen(path.c_str(), "rb")) {
        key->assign(Secrets::serverKeySize(), '\0');
        const size_t got = std::fread(&(*key)[0], 1, key->size(), file);
        std::fclose(file);
        return got == key->size();
    }
    *key = Secrets::newServerKey();
    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, key->data(), key->size()) == ssize_t(key->size()) && ::fsync(fd) == 0;
    ::close(fd);
    return written && ::rename(temporary.c_str(), path.c_str()) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    const OptionsResult parsed = parseOptions(std::vector<std::string>(argv + 1, argv + argc),
                                              [](const char *name) { return std::getenv(name); });
    if (parsed.showHelp) {
        std::fputs(helpText().c_str(), stdout);
        return 0;
    }
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "snaplark-server: %s (see --help)\n", parsed.error.c_str());
        return 2;
    }
    const ServerOptions &options = parsed.options;
    if (!Secrets::initialise()) {
        std::fprintf(stderr, "snaplark-server: libsodium cannot start\n");
        return 1;
    }
    std::string error;
    if (!makeFolders(options.dataFolder)) {
        std::fprintf(stderr, "snaplark-server: cannot create %s: %s\n", options.dataFolder.c_str(), std::strerror(errno));
        return 1;
    }
    DiskStorage storage(options.dataFolder + "/uploads", options.maxStorageBytes);
    SqliteMetadata metadata(options.dataFolder + "/snaplark.db");
    std::string serverKey;
    if (!storage.prepare(&error) || !metadata.open(&error)) {
        std::fprintf(stderr, "snaplark-server: %s\n", error.c_str());
        return 1;
    }
    if (!loadServerKey(options.dataFolder + "/server.key", &serverKey)) {
        std::fprintf(stderr, "snaplark-server: cannot read or write %s/server.key\n", options.dataFolder.c_str());
        return 1;
    }

    Service service(storage, metadata, options, serverKey);
    service.removeUnrecorded();
    service.sweepExpired(std::time(nullptr));

    httplib::Server server;
    server.new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
    server.set_read_timeout(kReadTimeoutSeconds);
    server.set_write_timeout(kWriteTimeoutSeconds);
    server.set_keep_alive_timeout(kKeepAliveSeconds);
    // The service enforces the upload limit itself, while reading, so that
    // the client gets a status body it can show.
    server.set_payload_max_length(std::numeric_limits<size_t>::max());
    server.set_default_headers({{"X-Content-Type-Options", "nosniff"}, {"Referrer-Policy", "same-origin"}});
    server.set_logger([](const httplib::Request &request, const httplib::Response &response) {
        // The path only: queries carry deletion keys.
        std::fprintf(stderr, "%s %s %d\n", request.method.c_str(), request.path.c_str(), response.status);
    });
    service.install(server);

    if (!server.bind_to_port(options.host, options.port)) {
        std::fprintf(stderr, "snaplark-server: cannot listen on %s:%d: %s\n", options.host.c_str(), options.port,
                     std::strerror(errno));
        return 1;
    }
    g_server = &server;
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    std::signal(SIGPIPE, SIG_IGN);

    std::mutex mutex;
    std::condition_variable stopping;
    bool stopped = false;
    std::thread sweeper([&] {
        std::unique_lock<std::mutex> lock(mutex);
        while (!stopping.wait_for(lock, std::chrono::seconds(kSweepSeconds), [&] { return stopped; }))
            service.sweepExpired(std::time(nullptr));
    });

    std::fprintf(stderr, "snaplark-server: listening on %s:%d, data in %s\n", options.host.c_str(), options.port,
                 options.dataFolder.c_str());
    const bool ok = server.listen_after_bind();
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopped = true;
    }
    stopping.notify_all();
    sweeper.join();
    std::fprintf(stderr, "snaplark-server: stopped\n");
    return ok ? 0 : 1;
}
