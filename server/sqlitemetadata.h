#pragma once

#include "metadata.h"

#include <mutex>
#include <string>

struct sqlite3;

// Metadata in one SQLite file (WAL journal), shared by the server's threads
// through one connection.
class SqliteMetadata : public Metadata
{
public:
    explicit SqliteMetadata(const std::string &path);
    ~SqliteMetadata() override;

    bool open(std::string *error);

    std::optional<int64_t> createAccount(const std::string &name, const std::string &passwordHash) override;
    std::optional<Account> findAccount(const std::string &name) override;
    void setDefaultExpiry(int64_t account, int64_t seconds) override;
    void addSession(const std::string &tokenHash, int64_t account, int64_t expires) override;
    std::optional<Account> sessionAccount(const std::string &tokenHash, int64_t now) override;
    void removeSession(const std::string &tokenHash) override;
    bool addUpload(const Upload &upload) override;
    std::optional<Upload> findUpload(const std::string &id) override;
    std::vector<Upload> uploadsOf(int64_t account) override;
    bool removeUpload(const std::string &id) override;
    std::vector<Upload> expiredUploads(int64_t now) override;
    Usage usageOf(int64_t account) override;

private:
    class Statement;
    std::vector<Upload> uploads(Statement &statement);

    std::string m_path;
    sqlite3 *m_db = nullptr;
    std::mutex m_mutex;
};
