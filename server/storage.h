#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <functional>
#include <string>

// Where upload bodies live.  A body is written to a staged file while it
// arrives and becomes visible under its key only by commit(), so a reader
// never sees half a file.  Keys are "<id>.<ext>" made by the server.
// The disk backend is DiskStorage; docs/server.md says what an object-store
// backend must guarantee to replace it.

enum class WriteResult { Written, Full, Failed };

class StagedFile
{
public:
    virtual ~StagedFile() = default; // discards the body unless committed
    virtual WriteResult write(const char *data, size_t size) = 0;
    virtual uint64_t size() const = 0;
};

class StoredFile
{
public:
    virtual ~StoredFile() = default;
    virtual uint64_t size() const = 0;
    // Up to `size` bytes from `offset`; the count read, or -1 on failure.
    virtual long read(uint64_t offset, char *buffer, size_t size) = 0;
};

class Storage
{
public:
    virtual ~Storage() = default;
    virtual std::unique_ptr<StagedFile> stage() = 0;
    // Moves the complete body into place; nothing else sees it before.
    virtual bool commit(StagedFile &file, const std::string &key) = 0;
    virtual std::unique_ptr<StoredFile> open(const std::string &key) = 0;
    virtual bool remove(const std::string &key) = 0;
    // Calls `visit` for every stored key (start-up repair).
    virtual void forEachKey(const std::function<void(const std::string &)> &visit) = 0;
};
