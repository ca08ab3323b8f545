#include "core/atomic_file.h"

#include <atomic>
#include <chrono>
#include <cstdio>

namespace tq {

namespace {
std::string temporaryNameFor(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    const auto stamp = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, ".tqtmp-%llx-%u", stamp & 0xffffffffull, counter++);
    return target + suffix;
}
} // namespace

AtomicFile::AtomicFile(std::string target)
    : target_(std::move(target)), tempPath_(temporaryNameFor(target_)) {
    // Truncating in place would have needed write access to the target; so does replacing it.
    fileSystem().checkWritable(target_);
    file_ = fileSystem().open(tempPath_, OpenMode::Create);
}

AtomicFile::~AtomicFile() {
    if (!done_) {
        try {
            discard();
        } catch (...) {
            // Cleanup after an earlier failure; that failure is what the user sees.
        }
    }
}

void AtomicFile::prepare() {
    file_->sync();
    file_->close();
}

void AtomicFile::commitPrepared() {
    fileSystem().rename(tempPath_, target_);
    done_ = true;
}

void AtomicFile::commit() {
    prepare();
    commitPrepared();
}

void AtomicFile::discard() {
    done_ = true;
    if (file_) file_.reset();
    fileSystem().remove(tempPath_);
}

void writeFileAtomic(const std::string& path, const std::string& bytes) {
    AtomicFile out(path);
    out.file().write(bytes.data(), bytes.size());
    out.commit();
}

} // namespace tq
