#pragma once
// An in-memory file system for the fuzz harnesses: a whole freeze or apply per input
// without touching the disk. Files are stored in pages; a page that was never written
// with anything but zeros takes no memory, so a full-size zero map costs nothing.
#include "core/file_system.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tq::fuzz {

class MemoryFileSystem : public FileSystem {
public:
    using Page = std::shared_ptr<std::vector<uint8_t>>;
    struct Node {
        uint64_t size = 0;
        // Page number -> PageSize bytes. Pages are shared between copies of a file and
        // copied on their first write, so a harness can start every input from the same
        // world without copying it.
        std::map<uint64_t, Page> pages;
        uint64_t writes = 0;  // write calls that reached this file
    };
    static constexpr uint64_t PageSize = 64 * 1024;

    std::unique_ptr<File> open(const std::string& path, OpenMode mode) override;
    bool exists(const std::string& path) override { return files_.count(path) != 0; }
    uint64_t fileSize(const std::string& path) override;
    void rename(const std::string& from, const std::string& to) override;
    void remove(const std::string& path) override { files_.erase(path); }
    bool sameFile(const std::string& a, const std::string& b) override;
    // The names of the files directly inside `folder` (folders exist only as path prefixes).
    std::vector<std::string> listFolder(const std::string& folder) override;

    // Test-side access.
    void clear() { files_.clear(); }
    void put(const std::string& path, const std::string& bytes);
    // A copy of a node (sharing its pages until either is written).
    void putCopy(const std::string& path, const Node& original);
    // A file of `size` zero bytes that takes no memory.
    void putZeros(const std::string& path, uint64_t size);
    std::string get(const std::string& path) const;
    // The node a path names now (null when missing): a file replaced by a rename is a
    // different node, a file written in place keeps its node and counts the writes.
    std::shared_ptr<Node> node(const std::string& path) const;
    std::vector<std::string> names() const;

private:
    std::map<std::string, std::shared_ptr<Node>> files_;
};

// Reads or writes a node's bytes (used by the files it hands out).
void readNode(const MemoryFileSystem::Node& node, uint64_t pos, void* out, size_t n);
void writeNode(MemoryFileSystem::Node& node, uint64_t pos, const void* in, size_t n);
// True when the two nodes hold the same bytes.
bool sameBytes(const MemoryFileSystem::Node& a, const MemoryFileSystem::Node& b);
// A node holding these bytes.
MemoryFileSystem::Node nodeOf(const std::string& bytes);

} // namespace tq::fuzz
