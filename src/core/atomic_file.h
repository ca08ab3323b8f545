#pragma once
#include "core/file_system.h"

#include <functional>
#include <memory>
#include <string>

namespace tq {

// Writes a whole file under a temporary name beside the file it replaces and renames it
// over that file on commit(). Until then the old file stays whole; if commit() is never
// reached (error, exception) the temporary file is removed.
//
// The file replaced is the one the name finally leads to: a symbolic link stays a link and
// its target gets the new contents. The new file keeps the old one's permission bits, and
// its owner and group where the process may. A file the user may not write is refused
// before anything is written. Every failure names the file as the caller named it.
class AtomicFile {
public:
    explicit AtomicFile(std::string target);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    File& file() { return *file_; }
    const std::string& temporaryPath() const { return tempPath_; }
    // The file that is replaced (symbolic links followed).
    const std::string& targetPath() const { return target_; }
    // The name the caller gave.
    const std::string& namedPath() const { return named_; }

    // Flushes, closes and renames over the target. After this the object is spent.
    void commit();
    // Flushes and closes without renaming, so several files can be committed in a
    // chosen order with commitPrepared() (multi-file operations; see CommitJournal).
    void prepare();
    void commitPrepared();
    // Drops the temporary file (also done by the destructor when not committed).
    void discard();

private:
    std::string named_;
    std::string target_;
    std::string tempPath_;
    std::unique_ptr<File> file_;
    bool done_ = false;
};

// Prepares files (AtomicFile::prepare: flushed to disk and closed) one after another on a
// thread of its own, so that the disk's work on one file overlaps the making of the next.
// Nothing else of a file is touched there; a file must outlive the wait() that follows its
// add(). The destructor waits as well, dropping a failure (the caller is then unwinding from
// one of its own).
class BackgroundPrepare {
public:
    BackgroundPrepare();
    ~BackgroundPrepare();
    BackgroundPrepare(const BackgroundPrepare&) = delete;
    BackgroundPrepare& operator=(const BackgroundPrepare&) = delete;
    void add(AtomicFile& file);
    // The same for a file written in place (flushed to disk, then closed).
    void add(std::unique_ptr<File> file);
    // Returns once every file added is prepared; throws the first failure.
    void wait();

private:
    void addJob(std::function<void()> job);
    struct Queue;
    std::unique_ptr<Queue> queue_;
};

// Throws what AtomicFile(path) would throw when `path` may not be replaced, without
// creating anything: for operations that must refuse before their first write.
void checkReplaceable(const std::string& path);

// Replaces `path` with `bytes` atomically.
void writeFileAtomic(const std::string& path, const std::string& bytes);

// The marker in the names of temporary files: "<name>.tqtmp-…".
inline constexpr const char* TemporaryMarker = ".tqtmp-";

} // namespace tq
