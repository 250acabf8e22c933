#pragma once

#include "storage.h"

#include <atomic>
#include <cstdint>
#include <string>

// Uploads as files below one folder: "staging/" for bodies still arriving,
// "files/<first two letters>/<key>" for complete ones.  A quota (0: none)
// makes the backend report itself full before the disk is.
class DiskStorage : public Storage
{
public:
    DiskStorage(const std::string &root, uint64_t quotaBytes);

    // Creates the folders, drops what a crash left in staging and counts
    // what is stored; false (with a reason) when the folder is unusable.
    bool prepare(std::string *error);

    std::unique_ptr<StagedFile> stage() override;
    bool commit(StagedFile &file, const std::string &key) override;
    std::unique_ptr<StoredFile> open(const std::string &key) override;
    bool remove(const std::string &key) override;
    void forEachKey(const std::function<void(const std::string &)> &visit) override;

    uint64_t usedBytes() const { return m_used.load(); }

    // Called by staged files as they grow and shrink.
    bool reserve(uint64_t bytes);
    void release(uint64_t bytes) { m_used -= bytes; }

private:
    std::string pathOf(const std::string &key) const;

    std::string m_root;
    uint64_t m_quota;
    std::atomic<uint64_t> m_used{0};
    std::atomic<uint64_t> m_nextStage{0};
};
