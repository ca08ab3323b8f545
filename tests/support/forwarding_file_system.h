#pragma once
#include "core/file_system.h"

#include <memory>
#include <string>
#include <vector>

namespace tq::test {

// Hands every call to another file system (the real one unless given): a test double derives
// from it and overrides only the calls it changes.
class ForwardingFileSystem : public FileSystem {
public:
    explicit ForwardingFileSystem(FileSystem& base = realFileSystem()) : base_(base) {}

    std::unique_ptr<File> open(const std::string& path, OpenMode mode) override { return base_.open(path, mode); }
    bool exists(const std::string& path) override { return base_.exists(path); }
    uint64_t fileSize(const std::string& path) override { return base_.fileSize(path); }
    void rename(const std::string& from, const std::string& to) override { base_.rename(from, to); }
    void remove(const std::string& path) override { base_.remove(path); }
    bool sameFile(const std::string& a, const std::string& b) override { return base_.sameFile(a, b); }
    void checkWritable(const std::string& path) override { base_.checkWritable(path); }
    std::string resolveLinks(const std::string& path) override { return base_.resolveLinks(path); }
    void copyAttributes(const std::string& from, const std::string& to) override { base_.copyAttributes(from, to); }
    std::vector<std::string> listFolder(const std::string& folder) override { return base_.listFolder(folder); }
    std::unique_ptr<FileLock> tryLock(const std::string& path, const std::string& owner, std::string& holder) override {
        return base_.tryLock(path, owner, holder);
    }

protected:
    FileSystem& base_;
};

} // namespace tq::test
