#include "service.h"

#include "names.h"
#include "pages.h"
#include "secrets.h"

#include <httplib.h>

#include <ctime>

namespace {

constexpr const char *kAuthCookie = "snaplark-auth-id";
constexpr const char *kCsrfCookie = "snaplark-csrf";
constexpr int64_t kSessionSeconds = int64_t(90) * 86400;
constexpr int64_t kUploaderTokenSeconds = int64_t(365) * 86400;
constexpr size_t kMinPassword = 8;
constexpr size_t kMaxPassword = 1024;
// Reading served files in pieces keeps memory flat in the file's size.
constexpr size_t kServeChunk = 256 * 1024;
constexpr size_t kMaxPath = 1024;

int64_t now() { return int64_t(std::time(nullptr)); }

// The program reads every HTTP error as a broken connection; only a status
// body in a 200 reply reaches the user with the server's words.
bool speaksStatusBody(const httplib::Request &request)
{
    return request.get_header_value("User-Agent") == "Snaplark";
}

void html(httplib::Response &response, const std::string &page, int status = 200)
{
    response.status = status;
    response.set_header("Content-Security-Policy", "default-src 'none'; img-src 'self'; media-src 'self'; "
                                                   "style-src 'self'; form-action 'self'; frame-ancestors 'none'");
    response.set_content(page, "text/html; charset=utf-8");
}

} // namespace

// A body on its way into storage.  It keeps reading after a failure, so the
// client gets to read the reply instead of a reset connection.
struct Service::Received
{
    std::unique_ptr<StagedFile> file;
    uint64_t limit = 0;
    uint64_t size = 0;
    enum { Receiving, TooLarge, Full, Failed } state = Receiving;

    bool feed(const char *data, size_t length)
    {
        size += length;
        if (state != Receiving)
            return true;
        if (size > limit) {
            state = TooLarge;
        } else {
            switch (file->write(data, length)) {
            case WriteResult::Written: return true;
            case WriteResult::Full: state = Full; break;
            case WriteResult::Failed: state = Failed; break;
            }
        }
        file.reset(); // gives the space back at once
        return true;
    }
};

Service::Service(Storage &storage, Metadata &metadata, const ServerOptions &options, std::string serverKey)
    : m_storage(storage), m_metadata(metadata), m_options(options), m_serverKey(std::move(serverKey))
{
    const bool ipv6 = options.host.find(':') != std::string::npos;
    m_fallbackHost = (ipv6 ? "[" + options.host + "]" : options.host) + ":" + std::to_string(options.port);
}

void Service::install(httplib::Server &server)
{
    using httplib::ContentReader;
    using httplib::Request;
    using httplib::Response;

    // Only uploads may carry large bodies; everything else is read into
    // memory by the library, so it gets a small cap before that happens.
    server.set_pre_routing_handler([](const Request &request, Response &response) {
        // The library matches routes with std::regex, whose stack use grows
        // with the path: long paths would leave megabytes resident on every
        // worker thread.  No address of ours is near this long.
        if (request.path.size() > kMaxPath) {
            response.status = 414;
            response.set_header("Connection", "close");
            response.set_content("Address too long\n", "text/plain");
            return httplib::Server::HandlerResponse::Handled;
        }
        const bool upload = request.method == "PUT" || (request.method == "POST" && request.path == "/api/upload");
        if (upload)
            return httplib::Server::HandlerResponse::Unhandled;
        const bool chunked = request.has_header("Transfer-Encoding");
        const std::string length = request.get_header_value("Content-Length");
        bool small = length.size() <= 5;
        for (char c : length)
            small = small && c >= '0' && c <= '9';
        if (chunked || !small || (!length.empty() && std::stoul(length) > 65536)) {
            response.status = 413;
            response.set_header("Connection", "close");
            response.set_content("Request body too large\n", "text/plain");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });

    server.Put(".*", [this](const Request &q, Response &r, const ContentReader &c) { receiveRaw(q, r, c); });
    server.Post("/api/upload", [this](const Request &q, Response &r, const ContentReader &c) { receiveForm(q, r, c); });

    server.Get("/", [this](const Request &q, Response &r) { html(r, Pages::homePage(base(q))); });
    server.Get("/snaplark.css", [](const Request &, Response &r) {
        r.set_header("Cache-Control", "max-age=3600");
        r.set_content(Pages::kStyleSheet, "text/css");
    });
    server.Get("/([a-z0-9]+)\\.html", [this](const Request &q, Response &r) { servePage(q, r); });
    server.Get("/([a-z0-9]+)\\.([a-z0-9]+)", [this](const Request &q, Response &r) { serveFile(q, r); });
    server.Get("/netodb/plugin/auth/overlay", [this](const Request &q, Response &r) { loginForm(q, r); });
    server.Post("/netodb/plugin/auth/overlay", [this](const Request &q, Response &r) { login(q, r); });
    server.Post("/logout", [this](const Request &q, Response &r) { logout(q, r); });
    server.Get("/my-snaplarks", [this](const Request &q, Response &r) { history(q, r); });
    server.Post("/my-snaplarks/delete", [this](const Request &q, Response &r) { historyDelete(q, r); });
    server.Post("/my-snaplarks/expiry", [this](const Request &q, Response &r) { historyExpiry(q, r); });
    server.Get("/my-snaplarks/uploader.sxcu", [this](const Request &q, Response &r) { uploaderFile(q, r); });
    server.Get("/delete/([a-z0-9]+)", [this](const Request &q, Response &r) { deleteForm(q, r); });
    server.Post("/delete/([a-z0-9]+)", [this](const Request &q, Response &r) { deleteWithKey(q, r); });
    server.Get("/app-banner.html", [this](const Request &q, Response &r) { banner(q, r); });
    server.Get("/category/manuals", [this](const Request &q, Response &r) { html(r, Pages::manualsPage(base(q))); });

    server.set_error_handler(httplib::Server::HandlerWithResponse([](const Request &, Response &response) {
        if (!response.body.empty() || response.content_length_ > 0)
            return httplib::Server::HandlerResponse::Unhandled;
        html(response, Pages::messagePage(response.status == 404 ? "Not found" : "Request refused",
                                          response.status == 404 ? "Nothing is stored under this address."
                                                                 : "The server could not handle this request."),
             response.status);
        return httplib::Server::HandlerResponse::Handled;
    }));
    server.set_exception_handler([](const Request &, Response &response, std::exception_ptr) {
        response.status = 500;
        response.set_content("Internal error\n", "text/plain");
    });
}

// ---------------------------------------------------------------- uploads

bool Service::admit(const httplib::Request &request, httplib::Response &response, Caller &caller, int64_t *expires)
{
    const std::string token = Names::cookieValue(request.get_header_value("Cookie"), kAuthCookie);
    if (!token.empty()) {
        caller.account = m_metadata.sessionAccount(Secrets::tokenHash(token), now());
        caller.refused = !caller.account;
    }
    if (!caller.account && (!m_options.anonymousUploads)) {
        fail(request, response, 403,
             caller.refused ? "Your login has expired. Please log in again to upload."
                            : "This server accepts uploads only from accounts. Please log in to upload.");
        return false;
    }
    *expires = 0;
    if (request.has_header("Expires-In")) {
        const std::optional<int64_t> seconds = Names::parseDuration(request.get_header_value("Expires-In"));
        if (!seconds) {
            fail(request, response, 400, "Expires-In must be a number of seconds or like 90m or 12h or 7d.");
            return false;
        }
        *expires = now() + *seconds;
    } else if (caller.account && caller.account->defaultExpirySeconds > 0) {
        *expires = now() + caller.account->defaultExpirySeconds;
    }
    return true;
}

bool Service::store(const httplib::Request &request, httplib::Response &response, Received &received,
                    const std::string &extension, const Caller &caller, int64_t expires, Upload *upload)
{
    switch (received.state) {
    case Received::TooLarge:
        fail(request, response, 413,
             "The file is larger than this server accepts (at most " + Names::byteCount(received.limit) + ").");
        return false;
    case Received::Full:
        fail(request, response, 507, "The server has no room left for this file. Please try again later.");
        return false;
    case Received::Failed:
        fail(request, response, 500, "The server could not store this file. Please try again later.");
        return false;
    case Received::Receiving:
        break;
    }
    upload->extension = extension.empty() ? "bin" : extension;
    upload->owner = caller.account ? caller.account->id : 0;
    upload->size = received.size;
    upload->created = now();
    upload->expires = expires;
    for (int attempt = 0; attempt < 3; ++attempt) {
        upload->id = Names::newId();
        if (!m_metadata.findUpload(upload->id))
            break;
    }
    // File first, row second: a row never names a file that is not whole.
    if (!m_storage.commit(*received.file, upload->key())) {
        fail(request, response, 500, "The server could not store this file. Please try again later.");
        return false;
    }
    received.file.reset();
    if (!m_metadata.addUpload(*upload)) {
        m_storage.remove(upload->key());
        fail(request, response, 500, "The server could not record this file. Please try again later.");
        return false;
    }
    return true;
}

void Service::receiveRaw(const httplib::Request &request, httplib::Response &response,
                         const httplib::ContentReader &reader)
{
    // A refused body is still read (and dropped): a client that is still
    // sending would otherwise get a reset connection instead of the reason.
    auto drain = [&] { reader([](const char *, size_t) { return true; }); };
    const std::optional<std::string> extension = Names::putExtension(request.path);
    if (!extension) {
        fail(request, response, 400, "Upload to one plain file name such as /shot.png.");
        return drain();
    }
    Caller caller;
    int64_t expires = 0;
    if (!admit(request, response, caller, &expires))
        return drain();
    Received received{m_storage.stage(), m_options.maxUploadBytes};
    if (!reader([&](const char *data, size_t length) { return received.feed(data, length); }))
        return; // the client went away or broke the framing: the staged file goes with it
    Upload upload;
    if (!store(request, response, received, *extension, caller, expires, &upload))
        return;
    const std::string page = base(request) + upload.id + ".html";
    response.set_header("FileName", upload.id + ".html");
    response.set_header("Delete-Url", base(request) + "delete/" + upload.id + "?key=" +
                                          Secrets::deletionKey(m_serverKey, upload.id));
    response.set_content(page + "\n", "text/plain; charset=utf-8");
}

void Service::receiveForm(const httplib::Request &request, httplib::Response &response,
                          const httplib::ContentReader &reader)
{
    if (!request.is_multipart_form_data()) {
        fail(request, response, 400, "Send the file as multipart/form-data in a part named file.");
        reader([](const char *, size_t) { return true; });
        return;
    }
    Caller caller;
    int64_t expires = 0;
    if (!admit(request, response, caller, &expires)) {
        reader([](const httplib::MultipartFormData &) { return true; }, [](const char *, size_t) { return true; });
        return;
    }
    Received received{nullptr, m_options.maxUploadBytes};
    std::string extension;
    bool inFile = false;
    bool haveFile = false;
    uint64_t otherBytes = 0;
    const bool read = reader(
        [&](const httplib::MultipartFormData &part) {
            inFile = part.name == "file" && !haveFile;
            if (inFile) {
                haveFile = true;
                received.file = m_storage.stage();
                extension = Names::extensionOf(part.filename);
            }
            return true;
        },
        [&](const char *data, size_t length) {
            if (inFile)
                return received.feed(data, length);
            // Small fields ("Added") are not kept; a huge one is not a field.
            otherBytes += length;
            return otherBytes < 65536;
        });
    if (!read)
        return;
    if (!haveFile) {
        fail(request, response, 400, "Send the file as multipart/form-data in a part named file.");
        return;
    }
    Upload upload;
    if (!store(request, response, received, extension, caller, expires, &upload))
        return;
    response.set_header("Delete-Url", base(request) + "delete/" + upload.id + "?key=" +
                                          Secrets::deletionKey(m_serverKey, upload.id));
    response.set_content("{\"status\":\"OK\",\"pageUrl\":\"" + Names::jsonEscape(base(request) + upload.id + ".html") + "\"}",
                         "application/json");
}

// ---------------------------------------------------------------- reading

std::optional<Upload> Service::liveUpload(const std::string &id)
{
    if (!Names::isId(id))
        return std::nullopt;
    std::optional<Upload> upload = m_metadata.findUpload(id);
    if (upload && upload->expires > 0 && upload->expires <= now())
        return std::nullopt; // the sweep takes it soon
    return upload;
}

std::string Service::directUrl(const httplib::Request &request, const Upload &upload) const
{
    // An uploaded HTML file shares its name with its page.
    return base(request) + upload.key() + (upload.extension == "html" ? "?download" : "");
}

void Service::servePage(const httplib::Request &request, httplib::Response &response)
{
    const std::optional<Upload> upload = liveUpload(request.matches[1]);
    if (!upload) {
        response.status = 404;
        return;
    }
    if (upload->extension == "html" && request.has_param("download"))
        return serveFile(request, response);
    Pages::UploadView view{*upload, base(request) + upload->id + ".html", directUrl(request, *upload), ""};
    const std::optional<Account> viewer = signedIn(request);
    if (viewer && upload->owner != 0 && viewer->id == upload->owner)
        view.deleteUrl = base(request) + "delete/" + upload->id + "?key=" + Secrets::deletionKey(m_serverKey, upload->id);
    response.set_header("Cache-Control", "private, no-cache");
    html(response, Pages::uploadPage(view));
}

void Service::serveFile(const httplib::Request &request, httplib::Response &response)
{
    const std::optional<Upload> upload = liveUpload(request.matches[1]);
    std::shared_ptr<StoredFile> file = upload ? std::shared_ptr<StoredFile>(m_storage.open(upload->key())) : nullptr;
    if (!file) {
        response.status = 404;
        return;
    }
    // The stored extension decides the type, whatever extension was asked for.
    const std::string extension = upload->extension;
    response.set_header("Content-Security-Policy", "default-src 'none'; sandbox");
    response.set_header("Cache-Control", "public, max-age=86400");
    if (!Names::servedInline(extension))
        response.set_header("Content-Disposition", "attachment; filename=\"" + upload->key() + "\"");
    response.set_content_provider(
        size_t(file->size()), Names::contentTypeOf(extension),
        [file](size_t offset, size_t length, httplib::DataSink &sink) {
            std::vector<char> buffer(std::min(length, kServeChunk));
            const long got = file->read(offset, buffer.data(), buffer.size());
            if (got <= 0)
                return false;
            return sink.write(buffer.data(), size_t(got));
        });
}

void Service::banner(const httplib::Request &request, httplib::Response &response)
{
    const std::optional<Account> account = signedIn(request);
    const Usage usage = account ? m_metadata.usageOf(account->id) : Usage();
    response.set_header("Cache-Control", "no-cache");
    html(response, Pages::bannerPage(account ? &*account : nullptr, usage));
}

// ---------------------------------------------------------------- accounts

void Service::loginForm(const httplib::Request &request, httplib::Response &response)
{
    const bool desktop = request.get_param_value("client") == "desktop";
    html(response, Pages::loginPage(csrfToken(request, response), desktop, std::string()));
}

void Service::login(const httplib::Request &request, httplib::Response &response)
{
    const bool desktop = request.get_param_value("client") == "desktop";
    auto refuse = [&](int status, const std::string &message) {
        html(response, Pages::loginPage(csrfToken(request, response), desktop, message), status);
    };
    if (!csrfMatches(request))
        return refuse(403, "The form had expired. Please try again.");
    const std::string name = request.get_param_value("name");
    const std::string password = request.get_param_value("password");
    const std::string action = request.get_param_value("action");
    std::optional<Account> account;
    if (action == "signup") {
        if (!Names::isAccountName(name))
            return refuse(400, "Names are 3 to 32 letters, digits, dots, dashes or underscores.");
        if (password.size() < kMinPassword || password.size() > kMaxPassword)
            return refuse(400, "Passwords have at least 8 characters.");
        const std::string hash = Secrets::hashPassword(password);
        if (hash.empty())
            return refuse(503, "The server is busy. Please try again.");
        const std::optional<int64_t> id = m_metadata.createAccount(name, hash);
        if (!id)
            return refuse(409, "That name is taken.");
        account = Account{*id, name, hash, 0};
    } else {
        account = Names::isAccountName(name) ? m_metadata.findAccount(name) : std::nullopt;
        // An unknown name costs a hash check too, so that timing does not tell which names exist.
        static const std::string unknownName = Secrets::hashPassword(Secrets::newToken());
        const bool verified = Secrets::verifyPassword(account ? account->passwordHash : unknownName, password);
        if (!account || password.size() > kMaxPassword || !verified)
            return refuse(403, "Wrong name or password.");
    }
    const std::string token = Secrets::newToken();
    m_metadata.addSession(Secrets::tokenHash(token), account->id, now() + kSessionSeconds);
    response.set_header("Set-Cookie", std::string(kAuthCookie) + "=" + token + "; Max-Age=" +
                                          std::to_string(kSessionSeconds) + "; SameSite=Lax" + cookieAttributes());
    if (desktop)
        html(response, Pages::signedInPage(token, account->name));
    else
        response.set_redirect("/my-snaplarks", 303);
}

void Service::logout(const httplib::Request &request, httplib::Response &response)
{
    if (!csrfMatches(request)) {
        html(response, Pages::messagePage("Request refused", "The form had expired. Please try again."), 403);
        return;
    }
    const std::string token = Names::cookieValue(request.get_header_value("Cookie"), kAuthCookie);
    if (!token.empty())
        m_metadata.removeSession(Secrets::tokenHash(token));
    response.set_header("Set-Cookie", std::string(kAuthCookie) + "=; Max-Age=0; SameSite=Lax" + cookieAttributes());
    response.set_redirect("/", 303);
}

// ---------------------------------------------------------------- history

void Service::history(const httplib::Request &request, httplib::Response &response)
{
    const std::optional<Account> account = signedIn(request);
    if (!account) {
        response.set_redirect("/netodb/plugin/auth/overlay", 303);
        return;
    }
    std::vector<Pages::UploadView> views;
    for (const Upload &upload : m_metadata.uploadsOf(account->id)) {
        if (upload.expires > 0 && upload.expires <= now())
            continue;
        views.push_back({upload, base(request) + upload.id + ".html", directUrl(request, upload), ""});
    }
    response.set_header("Cache-Control", "private, no-store");
    html(response, Pages::historyPage(*account, views, m_metadata.usageOf(account->id), csrfToken(request, response)));
}

void Service::historyDelete(const httplib::Request &request, httplib::Response &response)
{
    const std::optional<Account> account = signedIn(request);
    if (!account || !csrfMatches(request)) {
        html(response, Pages::messagePage("Request refused", "Please sign in and use the Delete button of your history."), 403);
        return;
    }
    const std::optional<Upload> upload = liveUpload(request.get_param_value("id"));
    if (!upload || upload->owner != account->id) {
        html(response, Pages::messagePage("Request refused", "Only the owner of an upload can delete it."), 403);
        return;
    }
    removeUpload(*upload);
    response.set_redirect("/my-snaplarks", 303);
}

void Service::historyExpiry(const httplib::Request &request, httplib::Response &response)
{
    const std::optional<Account> account = signedIn(request);
    if (!account || !csrfMatches(request)) {
        html(response, Pages::messagePage("Request refused", "Please sign in and use the form of your history."), 403);
        return;
    }
    const std::string value = request.get_param_value("expiry");
    const std::optional<int64_t> seconds = value == "0" ? std::optional<int64_t>(0) : Names::parseDuration(value);
    if (!seconds) {
        html(response, Pages::messagePage("Request refused", "That is not a time to keep uploads for."), 400);
        return;
    }
    m_metadata.setDefaultExpiry(account->id, *seconds);
    response.set_redirect("/my-snaplarks", 303);
}

void Service::uploaderFile(const httplib::Request &request, httplib::Response &response)
{
    const std::optional<Account> account = signedIn(request);
    if (!account) {
        response.set_redirect("/netodb/plugin/auth/overlay", 303);
        return;
    }
    // A key of its own, so signing out of the browser leaves the client working.
    const std::string token = Secrets::newToken();
    m_metadata.addSession(Secrets::tokenHash(token), account->id, now() + kUploaderTokenSeconds);
    response.set_header("Content-Disposition", "attachment; filename=\"snaplark.sxcu\"");
    response.set_header("Cache-Control", "no-store");
    response.set_content(Pages::customUploader(base(request), token), "application/json");
}

void Service::deleteForm(const httplib::Request &request, httplib::Response &response)
{
    const std::string id = request.matches[1];
    const std::string key = request.get_param_value("key");
    if (!liveUpload(id) || !Secrets::isDeletionKey(m_serverKey, id, key)) {
        response.status = 404;
        return;
    }
    html(response, Pages::deletePage(id, key));
}

void Service::deleteWithKey(const httplib::Request &request, httplib::Response &response)
{
    const std::string id = request.matches[1];
    const std::optional<Upload> upload = liveUpload(id);
    if (!upload || !Secrets::isDeletionKey(m_serverKey, id, request.get_param_value("key"))) {
        html(response, Pages::messagePage("Request refused", "This deletion link is not valid."), 403);
        return;
    }
    removeUpload(*upload);
    html(response, Pages::messagePage("Deleted", "The upload is gone."));
}

bool Service::removeUpload(const Upload &upload)
{
    // Row first: once it is gone nobody is sent to the file.
    const bool removed = m_metadata.removeUpload(upload.id);
    m_storage.remove(upload.key());
    return removed;
}

void Service::sweepExpired(int64_t time)
{
    for (const Upload &upload : m_metadata.expiredUploads(time))
        removeUpload(upload);
}

void Service::removeUnrecorded()
{
    std::vector<std::string> orphans;
    m_storage.forEachKey([&](const std::string &key) {
        const size_t dot = key.find('.');
        const std::optional<Upload> upload = m_metadata.findUpload(key.substr(0, dot));
        if (!upload || upload->key() != key)
            orphans.push_back(key);
    });
    for (const std::string &key : orphans)
        m_storage.remove(key);
}

// ---------------------------------------------------------------- helpers

std::optional<Account> Service::signedIn(const httplib::Request &request)
{
    const std::string token = Names::cookieValue(request.get_header_value("Cookie"), kAuthCookie);
    if (token.empty())
        return std::nullopt;
    return m_metadata.sessionAccount(Secrets::tokenHash(token), now());
}

std::string Service::csrfToken(const httplib::Request &request, httplib::Response &response)
{
    const std::string current = Names::cookieValue(request.get_header_value("Cookie"), kCsrfCookie);
    if (current.size() == 64)
        return current;
    const std::string token = Secrets::newToken();
    response.set_header("Set-Cookie", std::string(kCsrfCookie) + "=" + token + "; SameSite=Strict" + cookieAttributes());
    return token;
}

bool Service::csrfMatches(const httplib::Request &request)
{
    return Secrets::sameSecret(Names::cookieValue(request.get_header_value("Cookie"), kCsrfCookie),
                               request.get_param_value("csrf"));
}

std::string Service::base(const httplib::Request &request) const
{
    return Names::baseUrl(m_options.publicUrl, request.get_header_value("Host"), m_fallbackHost);
}

std::string Service::cookieAttributes() const
{
    const bool secure = m_options.publicUrl.rfind("https://", 0) == 0;
    return std::string("; Path=/; HttpOnly") + (secure ? "; Secure" : "");
}

void Service::fail(const httplib::Request &request, httplib::Response &response, int status, const std::string &message)
{
    // The program splits the message at commas: none in ours.
    response.status = speaksStatusBody(request) ? 200 : status;
    response.set_content("{\"status\":\"ERROR\",\"message\":\"" + Names::jsonEscape(message) + "\"}", "application/json");
}
