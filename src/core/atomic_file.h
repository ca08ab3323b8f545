#pragma once
#include "core/file_system.h"

#include <memory>
#include <string>

namespace tq {

// Writes a whole file under a temporary name in the target's folder and renames it
// over the target on commit(). Until then the old file stays whole; if commit() is
// never reached (error, exception) the temporary file is removed.
class AtomicFile {
public:
    explicit AtomicFile(std::string target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    File& file() { return *file_; }
    const std::string& temporaryPath() const { return tempPath_; }
    const std::string& targetPath() const { return target_; }

    // Flushes, closes and renames over the target. After this the object is spent.
    void commit();
    // Flushes and closes without renaming, so several files can be committed in a
    // chosen order with commitPrepared() (multi-file operations).
    void prepare();
    void commitPrepared();
    // Drops the temporary file (also done by the destructor when not committed).
    void discard();

private:
    std::string target_;
    std::string tempPath_;
    std::unique_ptr<File> file_;
    bool done_ = false;
};

// Replaces `path` with `bytes` atomically.
void writeFileAtomic(const std::string& path, const std::string& bytes);

} // namespace tq
