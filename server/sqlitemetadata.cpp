#include "sqlitemetadata.h"

#include <sqlite3.h>

namespace {

constexpr const char *kSchema = R"sql(
PRAGMA journal_mode = WAL;
PRAGMA foreign_keys = ON;
CREATE TABLE IF NOT EXISTS accounts (
    id INTEGER PRIMARY KEY,
    name TEXT NOT NULL UNIQUE COLLATE NOCASE,
    password_hash TEXT NOT NULL,
    default_expiry INTEGER NOT NULL DEFAULT 0,
    created INTEGER NOT NULL DEFAULT (strftime('%s', 'now')));
CREATE TABLE IF NOT EXISTS sessions (
    token_hash TEXT PRIMARY KEY,
    account INTEGER NOT NULL REFERENCES accounts(id) ON DELETE CASCADE,
    expires INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS uploads (
    id TEXT PRIMARY KEY,
    extension TEXT NOT NULL,
    owner INTEGER NOT NULL DEFAULT 0,
    size INTEGER NOT NULL,
    created INTEGER NOT NULL,
    expires INTEGER NOT NULL DEFAULT 0);
CREATE INDEX IF NOT EXISTS uploads_by_owner ON uploads(owner, created);
CREATE INDEX IF NOT EXISTS uploads_by_expiry ON uploads(expires) WHERE expires > 0;
)sql";

} // namespace

class SqliteMetadata::Statement
{
public:
    Statement(sqlite3 *db, const char *sql) { sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr); }
    ~Statement() { sqlite3_finalize(m_statement); }

    Statement &bind(int index, const std::string &text)
    {
        sqlite3_bind_text(m_statement, index, text.data(), int(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    Statement &bind(int index, int64_t value)
    {
        sqlite3_bind_int64(m_statement, index, value);
        return *this;
    }
    bool row() { return m_statement && sqlite3_step(m_statement) == SQLITE_ROW; }
    bool run() { return m_statement && sqlite3_step(m_statement) == SQLITE_DONE; }
    int64_t integer(int column) { return sqlite3_column_int64(m_statement, column); }
    std::string text(int column)
    {
        const auto *text = sqlite3_column_text(m_statement, column);
        return text ? std::string(reinterpret_cast<const char *>(text)) : std::string();
    }

private:
    sqlite3_stmt *m_statement = nullptr;
};

SqliteMetadata::SqliteMetadata(const std::string &path) : m_path(path) {}

SqliteMetadata::~SqliteMetadata()
{
    sqlite3_close(m_db);
}

bool SqliteMetadata::open(std::string *error)
{
    if (sqlite3_open_v2(m_path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        *error = "cannot open " + m_path + ": " + sqlite3_errmsg(m_db);
        return false;
    }
    sqlite3_busy_timeout(m_db, 5000);
    char *message = nullptr;
    if (sqlite3_exec(m_db, kSchema, nullptr, nullptr, &message) != SQLITE_OK) {
        *error = "cannot set up " + m_path + ": " + (message ? message : "unknown error");
        sqlite3_free(message);
        return false;
    }
    return true;
}

std::optional<int64_t> SqliteMetadata::createAccount(const std::string &name, const std::string &passwordHash)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement insert(m_db, "INSERT INTO accounts (name, password_hash) VALUES (?, ?)");
    if (!insert.bind(1, name).bind(2, passwordHash).run())
        return std::nullopt;
    return sqlite3_last_insert_rowid(m_db);
}

std::optional<Account> SqliteMetadata::findAccount(const std::string &name)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement select(m_db, "SELECT id, name, password_hash, default_expiry FROM accounts WHERE name = ?");
    if (!select.bind(1, name).row())
        return std::nullopt;
    return Account{select.integer(0), select.text(1), select.text(2), select.integer(3)};
}

void SqliteMetadata::setDefaultExpiry(int64_t account, int64_t seconds)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement(m_db, "UPDATE accounts SET default_expiry = ? WHERE id = ?").bind(1, seconds).bind(2, account).run();
}

void SqliteMetadata::addSession(const std::string &tokenHash, int64_t account, int64_t expires)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement(m_db, "INSERT INTO sessions (token_hash, account, expires) VALUES (?, ?, ?)")
        .bind(1, tokenHash).bind(2, account).bind(3, expires).run();
}

std::optional<Account> SqliteMetadata::sessionAccount(const std::string &tokenHash, int64_t now)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement select(m_db, "SELECT a.id, a.name, a.password_hash, a.default_expiry FROM sessions s "
                           "JOIN accounts a ON a.id = s.account WHERE s.token_hash = ? AND s.expires > ?");
    if (!select.bind(1, tokenHash).bind(2, now).row())
        return std::nullopt;
    return Account{select.integer(0), select.text(1), select.text(2), select.integer(3)};
}

void SqliteMetadata::removeSession(const std::string &tokenHash)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement(m_db, "DELETE FROM sessions WHERE token_hash = ?").bind(1, tokenHash).run();
}

bool SqliteMetadata::addUpload(const Upload &upload)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return Statement(m_db, "INSERT INTO uploads (id, extension, owner, size, created, expires) VALUES (?, ?, ?, ?, ?, ?)")
        .bind(1, upload.id).bind(2, upload.extension).bind(3, upload.owner).bind(4, int64_t(upload.size))
        .bind(5, upload.created).bind(6, upload.expires).run();
}

std::vector<Upload> SqliteMetadata::uploads(Statement &statement)
{
    std::vector<Upload> found;
    while (statement.row())
        found.push_back(Upload{statement.text(0), statement.text(1), statement.integer(2), uint64_t(statement.integer(3)),
                               statement.integer(4), statement.integer(5)});
    return found;
}

std::optional<Upload> SqliteMetadata::findUpload(const std::string &id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement select(m_db, "SELECT id, extension, owner, size, created, expires FROM uploads WHERE id = ?");
    select.bind(1, id);
    std::vector<Upload> found = uploads(select);
    if (found.empty())
        return std::nullopt;
    return found.front();
}

std::vector<Upload> SqliteMetadata::uploadsOf(int64_t account)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement select(m_db, "SELECT id, extension, owner, size, created, expires FROM uploads "
                           "WHERE owner = ? ORDER BY created DESC, rowid DESC");
    select.bind(1, account);
    return uploads(select);
}

bool SqliteMetadata::removeUpload(const std::string &id)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement(m_db, "DELETE FROM uploads WHERE id = ?").bind(1, id).run();
    return sqlite3_changes(m_db) > 0;
}

std::vector<Upload> SqliteMetadata::expiredUploads(int64_t now)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement select(m_db, "SELECT id, extension, owner, size, created, expires FROM uploads "
                           "WHERE expires > 0 AND expires <= ?");
    select.bind(1, now);
    return uploads(select);
}

Usage SqliteMetadata::usageOf(int64_t account)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Statement select(m_db, "SELECT count(*), coalesce(sum(size), 0) FROM uploads WHERE owner = ?");
    if (!select.bind(1, account).row())
        return Usage();
    return Usage{select.integer(0), uint64_t(select.integer(1))};
}
