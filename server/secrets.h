#pragma once

#include <string>

// Passwords, tokens and keys, all through libsodium.
namespace Secrets {

// Call once before anything else; false when libsodium cannot start.
bool initialise();

// Argon2id in libsodium's self-describing string form; empty when out of memory.
std::string hashPassword(const std::string &password);
// Checked by libsodium against the stored hash, never compared as text.
bool verifyPassword(const std::string &storedHash, const std::string &password);

// 32 random bytes as 64 hex digits: session tokens, CSRF tokens.
std::string newToken();
// What the database keeps of a token: a stolen database does not sign anyone in.
std::string tokenHash(const std::string &token);

// Constant-time comparison of two secrets.
bool sameSecret(const std::string &a, const std::string &b);

// The deletion key of an upload, derived from the server's own key, so it
// need not be stored and can be shown to the owner again at any time.
std::string deletionKey(const std::string &serverKey, const std::string &id);
bool isDeletionKey(const std::string &serverKey, const std::string &id, const std::string &key);
// A new server key (raw bytes).
std::string newServerKey();
size_t serverKeySize();

} // namespace Secrets
