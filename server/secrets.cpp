#include "secrets.h"

#include <sodium.h>

#include <mutex>
#include <condition_variable>

namespace Secrets {

namespace {

std::string hex(const unsigned char *data, size_t size)
{
    std::string out(size * 2 + 1, '\0');
    sodium_bin2hex(&out[0], out.size(), data, size);
    out.pop_back();
    return out;
}

// Each Argon2id run takes 64 MiB; a burst of sign-ins must not multiply that
// without bound.
class HashSlots
{
public:
    void acquire()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_free.wait(lock, [this] { return m_used < kSlots; });
        ++m_used;
    }
    void release()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_used;
        m_free.notify_one();
    }

private:
    static constexpr int kSlots = 2;
    std::mutex m_mutex;
    std::condition_variable m_free;
    int m_used = 0;
};

HashSlots &hashSlots()
{
    static HashSlots slots;
    return slots;
}

struct SlotGuard
{
    SlotGuard() { hashSlots().acquire(); }
    ~SlotGuard() { hashSlots().release(); }
};

} // namespace

bool initialise()
{
    return sodium_init() >= 0;
}

std::string hashPassword(const std::string &password)
{
    SlotGuard slot;
    char out[crypto_pwhash_STRBYTES];
    if (crypto_pwhash_str_alg(out, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                              crypto_pwhash_MEMLIMIT_INTERACTIVE, crypto_pwhash_ALG_ARGON2ID13) != 0)
        return std::string();
    return out;
}

bool verifyPassword(const std::string &storedHash, const std::string &password)
{
    if (storedHash.empty() || storedHash.size() >= crypto_pwhash_STRBYTES)
        return false;
    SlotGuard slot;
    return crypto_pwhash_str_verify(storedHash.c_str(), password.data(), password.size()) == 0;
}

std::string newToken()
{
    unsigned char bytes[32];
    randombytes_buf(bytes, sizeof bytes);
    return hex(bytes, sizeof bytes);
}

std::string tokenHash(const std::string &token)
{
    unsigned char digest[crypto_generichash_BYTES];
    crypto_generichash(digest, sizeof digest, reinterpret_cast<const unsigned char *>(token.data()), token.size(),
                       nullptr, 0);
    return hex(digest, sizeof digest);
}

bool sameSecret(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && !a.empty() && sodium_memcmp(a.data(), b.data(), a.size()) == 0;
}

std::string deletionKey(const std::string &serverKey, const std::string &id)
{
    if (serverKey.size() != crypto_auth_KEYBYTES)
        return std::string();
    unsigned char mac[crypto_auth_BYTES];
    crypto_auth(mac, reinterpret_cast<const unsigned char *>(id.data()), id.size(),
                reinterpret_cast<const unsigned char *>(serverKey.data()));
    return hex(mac, 16); // 128 bits are plenty for a link
}

bool isDeletionKey(const std::string &serverKey, const std::string &id, const std::string &key)
{
    return sameSecret(deletionKey(serverKey, id), key);
}

std::string newServerKey()
{
    std::string key(crypto_auth_KEYBYTES, '\0');
    crypto_auth_keygen(reinterpret_cast<unsigned char *>(&key[0]));
    return key;
}

size_t serverKeySize()
{
    return crypto_auth_KEYBYTES;
}

} // namespace Secrets
