#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What the server knows about accounts, sessions and uploads.  The SQLite
// backend is SqliteMetadata; docs/server.md says what a shared database
// backend must guarantee to replace it.

struct Account
{
    int64_t id = 0;
    std::string name;
    std::string passwordHash;
    int64_t defaultExpirySeconds = 0; // 0: uploads are kept
};

struct Upload
{
    std::string id;
    std::string extension;
    int64_t owner = 0;    // account id; 0 for an upload without an account
    uint64_t size = 0;
    int64_t created = 0;  // Unix seconds
    int64_t expires = 0;  // Unix seconds; 0: never

    std::string key() const { return id + "." + extension; }
};

struct Usage
{
    int64_t uploads = 0;
    uint64_t bytes = 0;
};

class Metadata
{
public:
    virtual ~Metadata() = default;

    // nullopt when the name is taken (names are compared without case).
    virtual std::optional<int64_t> createAccount(const std::string &name, const std::string &passwordHash) = 0;
    virtual std::optional<Account> findAccount(const std::string &name) = 0;
    virtual void setDefaultExpiry(int64_t account, int64_t seconds) = 0;

    virtual void addSession(const std::string &tokenHash, int64_t account, int64_t expires) = 0;
    // The account of a session that has not expired.
    virtual std::optional<Account> sessionAccount(const std::string &tokenHash, int64_t now) = 0;
    virtual void removeSession(const std::string &tokenHash) = 0;

    // Called only once the file is in storage: a row always names a whole file.
    virtual bool addUpload(const Upload &upload) = 0;
    virtual std::optional<Upload> findUpload(const std::string &id) = 0;
    // Newest first.
    virtual std::vector<Upload> uploadsOf(int64_t account) = 0;
    virtual bool removeUpload(const std::string &id) = 0;
    virtual std::vector<Upload> expiredUploads(int64_t now) = 0;
    virtual Usage usageOf(int64_t account) = 0;
};
