#include "memory_file_system.h"

#include "core/error.h"

#include <algorithm>
#include <cstring>

namespace tq::fuzz {

void readNode(const MemoryFileSystem::Node& node, uint64_t pos, void* out, size_t n) {
    auto* p = static_cast<uint8_t*>(out);
    while (n > 0) {
        const uint64_t page = pos / MemoryFileSystem::PageSize;
        const size_t in = size_t(pos % MemoryFileSystem::PageSize);
        const size_t take = std::min(n, size_t(MemoryFileSystem::PageSize) - in);
        auto it = node.pages.find(page);
        if (it == node.pages.end()) std::memset(p, 0, take);
        else std::memcpy(p, it->second->data() + in, take);
        p += take;
        pos += take;
        n -= take;
    }
}

void writeNode(MemoryFileSystem::Node& node, uint64_t pos, const void* in, size_t n) {
    const auto* p = static_cast<const uint8_t*>(in);
    node.size = std::max(node.size, pos + n);
    while (n > 0) {
        const uint64_t page = pos / MemoryFileSystem::PageSize;
        const size_t at = size_t(pos % MemoryFileSystem::PageSize);
        const size_t take = std::min(n, size_t(MemoryFileSystem::PageSize) - at);
        auto it = node.pages.find(page);
        if (it == node.pages.end()) {
            // Zeros over a page that holds only zeros change nothing.
            static const std::vector<uint8_t> zeros(MemoryFileSystem::PageSize, 0);
            if (std::memcmp(p, zeros.data(), take) == 0) {
                p += take;
                pos += take;
                n -= take;
                continue;
            }
            it = node.pages.emplace(page, std::make_shared<std::vector<uint8_t>>(MemoryFileSystem::PageSize, 0)).first;
        } else if (it->second.use_count() > 1) {
            it->second = std::make_shared<std::vector<uint8_t>>(*it->second);
        }
        std::memcpy(it->second->data() + at, p, take);
        p += take;
        pos += take;
        n -= take;
    }
}

namespace {

void truncateNode(MemoryFileSystem::Node& node) {
    node.pages.clear();
    node.size = 0;
}

class MemoryFile final : public File {
public:
    explicit MemoryFile(std::shared_ptr<MemoryFileSystem::Node> node) : node_(std::move(node)) {}
    void seek(uint64_t offset) override { pos_ = offset; }
    uint64_t position() const override { return pos_; }
    uint64_t size() override { return node_->size; }
    void read(void* buffer, size_t n) override {
        if (readSome(buffer, n) != n) throw Error(msg::ReadBeyondEnd);
    }
    size_t readSome(void* buffer, size_t n) override {
        if (pos_ >= node_->size) return 0;
        const size_t take = size_t(std::min<uint64_t>(n, node_->size - pos_));
        readNode(*node_, pos_, buffer, take);
        pos_ += take;
        return take;
    }
    void write(const void* buffer, size_t n) override {
        ++node_->writes;
        // Like a real file, a write past the end leaves a hole of zeros.
        writeNode(*node_, pos_, buffer, n);
        pos_ += n;
    }
    void sync() override {}
    void close() override {}

private:
    std::shared_ptr<MemoryFileSystem::Node> node_;
    uint64_t pos_ = 0;
};

} // namespace

std::unique_ptr<File> MemoryFileSystem::open(const std::string& path, OpenMode mode) {
    if (path.empty()) throw Error(msg::InvalidFilename);
    auto it = files_.find(path);
    if (mode == OpenMode::Create) {
        if (it == files_.end()) it = files_.emplace(path, std::make_shared<Node>()).first;
        else truncateNode(*it->second);
        return std::make_unique<MemoryFile>(it->second);
    }
    if (it == files_.end()) throw Error(msg::FileNotFound);
    auto file = std::make_unique<MemoryFile>(it->second);
    if (mode == OpenMode::Append) file->seek(it->second->size);
    return file;
}

uint64_t MemoryFileSystem::fileSize(const std::string& path) {
    auto it = files_.find(path);
    if (it == files_.end()) throw Error(msg::FileNotFound);
    return it->second->size;
}

void MemoryFileSystem::rename(const std::string& from, const std::string& to) {
    auto it = files_.find(from);
    if (it == files_.end()) throw Error(msg::FileNotFound);
    auto node = it->second;
    files_.erase(it);
    files_[to] = node;
}

bool MemoryFileSystem::sameFile(const std::string& a, const std::string& b) {
    auto ia = files_.find(a), ib = files_.find(b);
    return ia != files_.end() && ib != files_.end() && ia->second == ib->second;
}

void MemoryFileSystem::put(const std::string& path, const std::string& bytes) {
    auto node = std::make_shared<Node>();
    writeNode(*node, 0, bytes.data(), bytes.size());
    files_[path] = node;
}

void MemoryFileSystem::putCopy(const std::string& path, const Node& original) {
    auto node = std::make_shared<Node>();
    node->size = original.size;
    node->pages = original.pages;
    files_[path] = node;
}

bool sameBytes(const MemoryFileSystem::Node& a, const MemoryFileSystem::Node& b) {
    if (a.size != b.size) return false;
    std::vector<uint8_t> x(MemoryFileSystem::PageSize), y(MemoryFileSystem::PageSize);
    for (uint64_t pos = 0; pos < a.size; pos += MemoryFileSystem::PageSize) {
        const uint64_t page = pos / MemoryFileSystem::PageSize;
        auto ia = a.pages.find(page), ib = b.pages.find(page);
        if (ia != a.pages.end() && ib != b.pages.end() && ia->second == ib->second) continue;
        const size_t n = size_t(std::min<uint64_t>(MemoryFileSystem::PageSize, a.size - pos));
        readNode(a, pos, x.data(), n);
        readNode(b, pos, y.data(), n);
        if (std::memcmp(x.data(), y.data(), n) != 0) return false;
    }
    return true;
}

MemoryFileSystem::Node nodeOf(const std::string& bytes) {
    MemoryFileSystem::Node node;
    writeNode(node, 0, bytes.data(), bytes.size());
    return node;
}

void MemoryFileSystem::putZeros(const std::string& path, uint64_t size) {
    auto node = std::make_shared<Node>();
    node->size = size;
    files_[path] = node;
}

std::string MemoryFileSystem::get(const std::string& path) const {
    auto it = files_.find(path);
    if (it == files_.end()) return {};
    std::string bytes(size_t(it->second->size), '\0');
    readNode(*it->second, 0, bytes.data(), bytes.size());
    return bytes;
}

std::shared_ptr<MemoryFileSystem::Node> MemoryFileSystem::node(const std::string& path) const {
    auto it = files_.find(path);
    return it == files_.end() ? nullptr : it->second;
}

std::vector<std::string> MemoryFileSystem::listFolder(const std::string& folder) {
    const std::string prefix = folder + "/";
    std::vector<std::string> out;
    for (const auto& [name, node] : files_)
        if (name.compare(0, prefix.size(), prefix) == 0 && name.find('/', prefix.size()) == std::string::npos)
            out.push_back(name.substr(prefix.size()));
    return out;
}

std::vector<std::string> MemoryFileSystem::names() const {
    std::vector<std::string> out;
    for (const auto& [name, node] : files_) out.push_back(name);
    return out;
}

} // namespace tq::fuzz
