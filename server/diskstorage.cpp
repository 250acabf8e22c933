#include "diskstorage.h"

#include "names.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

bool makeFolder(const std::string &path)
{
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

template <typename Visit>
void listFolder(const std::string &path, Visit visit)
{
    DIR *dir = ::opendir(path.c_str());
    if (!dir)
        return;
    while (const dirent *entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != "..")
            visit(name);
    }
    ::closedir(dir);
}

class DiskStagedFile : public StagedFile
{
public:
    DiskStagedFile(DiskStorage &storage, std::string path, int fd)
        : m_storage(storage), m_path(std::move(path)), m_fd(fd) {}

    ~DiskStagedFile() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_committed) {
            ::unlink(m_path.c_str());
            m_storage.release(m_size);
        }
    }

    // The HTTP library hands the body over in small pieces; they are
    // gathered into blocks so the disk sees few large writes.
    WriteResult write(const char *data, size_t size) override
    {
        if (m_fd < 0)
            return WriteResult::Failed;
        if (!m_storage.reserve(size))
            return WriteResult::Full;
        m_size += size;
        if (m_buffer.size() + size < kBlock) {
            m_buffer.insert(m_buffer.end(), data, data + size);
            return WriteResult::Written;
        }
        WriteResult result = flush();
        if (result == WriteResult::Written)
            result = size < kBlock ? (m_buffer.assign(data, data + size), WriteResult::Written)
                                   : writeAll(data, size);
        return result;
    }

    uint64_t size() const override { return m_size; }

    // The body is on the disk before its name is, so a crash right after
    // the rename cannot leave a short file under a final name.
    bool finish(const std::string &target)
    {
        if (m_fd < 0 || flush() != WriteResult::Written || ::fsync(m_fd) != 0 || ::close(m_fd) != 0) {
            m_fd = -1;
            return false;
        }
        m_fd = -1;
        if (::rename(m_path.c_str(), target.c_str()) != 0)
            return false;
        m_committed = true;
        return true;
    }

private:
    static constexpr size_t kBlock = 256 * 1024;

    WriteResult flush()
    {
        const WriteResult result = writeAll(m_buffer.data(), m_buffer.size());
        m_buffer.clear();
        return result;
    }

    WriteResult writeAll(const char *data, size_t size)
    {
        const size_t total = size;
        while (size > 0) {
            const ssize_t written = ::write(m_fd, data, size);
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                return errno == ENOSPC || errno == EDQUOT ? WriteResult::Full : WriteResult::Failed;
            data += written;
            size -= size_t(written);
        }
        // Start the disk writing what has arrived, so the sync at the end
        // waits only for the last blocks.
        if (total > 0)
            ::sync_file_range(m_fd, m_written, off_t(total), SYNC_FILE_RANGE_WRITE);
        m_written += off_t(total);
        return WriteResult::Written;
    }

    DiskStorage &m_storage;
    std::string m_path;
    int m_fd;
    std::vector<char> m_buffer;
    off_t m_written = 0;
    uint64_t m_size = 0;
    bool m_committed = false;
};

class DiskStoredFile : public StoredFile
{
public:
    DiskStoredFile(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
    ~DiskStoredFile() override { ::close(m_fd); }
    uint64_t size() const override { return m_size; }
    long read(uint64_t offset, char *buffer, size_t size) override
    {
        const ssize_t got = ::pread(m_fd, buffer, size, off_t(offset));
        return got < 0 ? -1 : long(got);
    }

private:
    int m_fd;
    uint64_t m_size;
};

} // namespace

DiskStorage::DiskStorage(const std::string &root, uint64_t quotaBytes)
    : m_root(root), m_quota(quotaBytes) {}

bool DiskStorage::prepare(std::string *error)
{
    for (const std::string &folder : {m_root, m_root + "/staging", m_root + "/files"}) {
        if (!makeFolder(folder)) {
            *error = "cannot create " + folder + ": " + std::strerror(errno);
            return false;
        }
    }
    // Bodies of a previous run that never completed.
    listFolder(m_root + "/staging", [this](const std::string &name) { ::unlink((m_root + "/staging/" + name).c_str()); });
    uint64_t used = 0;
    forEachKey([&](const std::string &key) {
        struct stat info;
        if (::stat(pathOf(key).c_str(), &info) == 0)
            used += uint64_t(info.st_size);
    });
    m_used = used;
    return true;
}

bool DiskStorage::reserve(uint64_t bytes)
{
    if (m_quota == 0) {
        m_used += bytes;
        return true;
    }
    uint64_t used = m_used.load();
    do {
        if (used + bytes > m_quota)
            return false;
    } while (!m_used.compare_exchange_weak(used, used + bytes));
    return true;
}

std::unique_ptr<StagedFile> DiskStorage::stage()
{
    const std::string path = m_root + "/staging/" + std::to_string(::getpid()) + "-"
                             + std::to_string(m_nextStage++) + ".part";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    return std::make_unique<DiskStagedFile>(*this, path, fd);
}

bool DiskStorage::commit(StagedFile &file, const std::string &key)
{
    const std::string target = pathOf(key);
    if (!makeFolder(target.substr(0, target.rfind('/'))))
        return false;
    return static_cast<DiskStagedFile &>(file).finish(target);
}

std::unique_ptr<StoredFile> DiskStorage::open(const std::string &key)
{
    const int fd = ::open(pathOf(key).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat info;
    if (::fstat(fd, &info) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<DiskStoredFile>(fd, uint64_t(info.st_size));
}

bool DiskStorage::remove(const std::string &key)
{
    struct stat info;
    const std::string path = pathOf(key);
    if (::stat(path.c_str(), &info) != 0 || ::unlink(path.c_str()) != 0)
        return false;
    release(uint64_t(info.st_size));
    return true;
}

void DiskStorage::forEachKey(const std::function<void(const std::string &)> &visit)
{
    listFolder(m_root + "/files", [&](const std::string &shard) {
        listFolder(m_root + "/files/" + shard, [&](const std::string &key) { visit(key); });
    });
}

std::string DiskStorage::pathOf(const std::string &key) const
{
    // Keys are made by the server ("<id>.<ext>"), but a path is built only from one that checks out.
    const size_t dot = key.find('.');
    if (dot == std::string::npos || !Names::isId(key.substr(0, dot))
        || Names::extensionOf(key) != key.substr(dot + 1))
        return m_root + "/files/invalid/invalid";
    return m_root + "/files/" + key.substr(0, 2) + "/" + key;
}
