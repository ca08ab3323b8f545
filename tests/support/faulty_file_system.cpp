#include "support/faulty_file_system.h"

#include "core/error.h"

namespace tq::test {
namespace {

class FaultyFile final : public File {
public:
    FaultyFile(std::unique_ptr<File> base, FaultyFileSystem& owner) : base_(std::move(base)), owner_(owner) {}
    void seek(uint64_t offset) override { base_->seek(offset); }
    uint64_t position() const override { return base_->position(); }
    uint64_t size() override { return base_->size(); }
    void read(void* buffer, size_t n) override {
        if (owner_.shortRead()) {
            if (n > 0) base_->readSome(buffer, n - 1);
            throw Error(msg::ReadBeyondEnd);
        }
        base_->read(buffer, n);
    }
    size_t readSome(void* buffer, size_t n) override {
        if (owner_.shortRead()) throw Error(msg::ReadBeyondEnd);
        return base_->readSome(buffer, n);
    }
    void write(const void* buffer, size_t n) override {
        owner_.beforeWrite();
        base_->write(buffer, n);
    }
    void sync() override { base_->sync(); }
    void close() override { base_->close(); }
    std::string name() const override { return base_->name(); }

private:
    std::unique_ptr<File> base_;
    FaultyFileSystem& owner_;
};

} // namespace

std::unique_ptr<File> FaultyFileSystem::open(const std::string& path, OpenMode mode) {
    ++opens;
    if (failOpenAt && opens == failOpenAt) {
        faulted = true;
        throw Error(openMessage);
    }
    return std::make_unique<FaultyFile>(base_.open(path, mode), *this);
}

void FaultyFileSystem::rename(const std::string& from, const std::string& to) {
    ++renames;
    if (failRenameAt && renames == failRenameAt) {
        faulted = true;
        throw Error(renameMessage);
    }
    base_.rename(from, to);
}

void FaultyFileSystem::beforeWrite() {
    ++writes;
    if (failWriteAt && writes == failWriteAt) {
        faulted = true;
        throw Error(msg::DiskFull);
    }
}

bool FaultyFileSystem::shortRead() {
    ++reads;
    if (shortReadAt && reads == shortReadAt) {
        faulted = true;
        return true;
    }
    return false;
}

} // namespace tq::test
