#pragma once

#include "metadata.h"
#include "serveroptions.h"
#include "storage.h"

#include <optional>
#include <string>

namespace httplib {
class Server;
struct Request;
struct Response;
class ContentReader;
} // namespace httplib

// The handlers of every address the server answers.  They see storage and
// metadata only through their interfaces.
class Service
{
public:
    Service(Storage &storage, Metadata &metadata, const ServerOptions &options, std::string serverKey);

    void install(httplib::Server &server);

    // Removes expired uploads (file and row).
    void sweepExpired(int64_t now);
    // Removes stored files without a row: a crash between storing a file
    // and recording it.
    void removeUnrecorded();

private:
    struct Caller
    {
        std::optional<Account> account;
        bool refused = false; // a token that no session knows, where uploads need an account
    };
    struct Received;

    void receiveRaw(const httplib::Request &request, httplib::Response &response, const httplib::ContentReader &reader);
    void receiveForm(const httplib::Request &request, httplib::Response &response, const httplib::ContentReader &reader);
    // Checks the caller before a body is read; false when the reply is made.
    bool admit(const httplib::Request &request, httplib::Response &response, Caller &caller,
               int64_t *expires);
    // Commits a complete body and records it; false when the reply is made.
    bool store(const httplib::Request &request, httplib::Response &response, Received &received,
               const std::string &extension, const Caller &caller, int64_t expires, Upload *upload);

    void servePage(const httplib::Request &request, httplib::Response &response);
    void serveFile(const httplib::Request &request, httplib::Response &response);
    void loginForm(const httplib::Request &request, httplib::Response &response);
    void login(const httplib::Request &request, httplib::Response &response);
    void logout(const httplib::Request &request, httplib::Response &response);
    void history(const httplib::Request &request, httplib::Response &response);
    void historyDelete(const httplib::Request &request, httplib::Response &response);
    void historyExpiry(const httplib::Request &request, httplib::Response &response);
    void uploaderFile(const httplib::Request &request, httplib::Response &response);
    void deleteForm(const httplib::Request &request, httplib::Response &response);
    void deleteWithKey(const httplib::Request &request, httplib::Response &response);
    void banner(const httplib::Request &request, httplib::Response &response);

    std::optional<Account> signedIn(const httplib::Request &request);
    // The CSRF token of this browser, set as a cookie when it has none yet.
    std::string csrfToken(const httplib::Request &request, httplib::Response &response);
    bool csrfMatches(const httplib::Request &request);
    std::string base(const httplib::Request &request) const;
    std::string directUrl(const httplib::Request &request, const Upload &upload) const;
    std::string cookieAttributes() const;
    // A failure the user can act on, as the program's status body.
    void fail(const httplib::Request &request, httplib::Response &response, int status, const std::string &message);
    std::optional<Upload> liveUpload(const std::string &id);
    bool removeUpload(const Upload &upload);

    Storage &m_storage;
    Metadata &m_metadata;
    ServerOptions m_options;
    std::string m_serverKey;
    std::string m_fallbackHost;
};
