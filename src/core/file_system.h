#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tq {

// How a file is opened. Files that are only read are opened Read, so originals on
// read-only media work.
enum class OpenMode {
    Read,       // existing file, read only
    ReadWrite,  // existing file, read and write, never created or truncated
    Create,     // create, or truncate an existing file; read and write
    Append,     // existing file, writes go to its end
};

// An open file. Every failure throws tq::Error with the file layer's message.
class File {
public:
    virtual ~File() = default;
    virtual void seek(uint64_t offset) = 0;
    virtual uint64_t position() const = 0;
    virtual uint64_t size() = 0;
    // Reads exactly n bytes or throws "Read beyond end of file".
    virtual void read(void* buffer, size_t n) = 0;
    // Reads up to n bytes; returns how many (0 at the end).
    virtual size_t readSome(void* buffer, size_t n) = 0;
    virtual void write(const void* buffer, size_t n) = 0;
    // Pushes buffered data to the system and to the disk (before a rename commits it).
    virtual void sync() = 0;
    // Starts writing what has been written so far to the disk, without waiting for it, so a
    // long rewrite's final sync() has little left to do. Only a hint: a no-op where the system
    // offers no such call.
    virtual void startWriteback() {}
    virtual void close() = 0;
    // The name the file was opened under, for messages ("" when it has none).
    virtual std::string name() const { return {}; }
};

// An operating-system lock held on a lock file: released when this object goes, and by
// the system itself when the process dies, so a killed program never leaves one held.
class FileLock {
public:
    virtual ~FileLock() = default;
};

// The one gate to the file system. Tests swap in a wrapper that fails on demand.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    virtual std::unique_ptr<File> open(const std::string& path, OpenMode mode) = 0;
    virtual bool exists(const std::string& path) = 0;
    virtual uint64_t fileSize(const std::string& path) = 0;
    // Replaces `to` with `from` in one step (both in the same folder).
    virtual void rename(const std::string& from, const std::string& to) = 0;
    // Removes a file; a missing file is not an error.
    virtual void remove(const std::string& path) = 0;
    // True when both names lead to one existing file (hard links, case, "..").
    virtual bool sameFile(const std::string& a, const std::string& b) = 0;
    // Throws "File access denied" when an existing file may not be written (read-only
    // attribute, read-only medium). A file replaced by rename is never opened for
    // writing, so this keeps a read-only original from being replaced behind its back.
    virtual void checkWritable(const std::string& path) { (void)path; }
    // The file a path finally leads to, following symbolic links (relative ones from the
    // link's folder); the path itself when it is no link or does not exist. A whole-file
    // rewrite replaces this file, so the link the user keeps stays a link.
    virtual std::string resolveLinks(const std::string& path) { return path; }
    // Gives `to` (a new temporary file) the permission bits of `from` and, where the
    // process may, its owner and group; on Windows its hidden/system attributes. Nothing
    // when `from` does not exist (a new file gets the system's defaults).
    virtual void copyAttributes(const std::string& from, const std::string& to) {
        (void)from;
        (void)to;
    }
    // The names (not paths) of the entries of a folder; empty when it cannot be read.
    virtual std::vector<std::string> listFolder(const std::string& folder) {
        (void)folder;
        return {};
    }
    // Takes an exclusive lock on the file `path` (created when missing) without waiting
    // and writes `owner` into it. When another process holds it: returns null and sets
    // `holder` to the text that process wrote. Without real files there is no one to
    // share with: the default always succeeds.
    virtual std::unique_ptr<FileLock> tryLock(const std::string& path, const std::string& owner,
                                              std::string& holder) {
        (void)path;
        (void)owner;
        (void)holder;
        return std::make_unique<FileLock>();
    }
};

// The file system every operation uses; the real one unless a test replaced it.
FileSystem& fileSystem();
// The real, operating-system file system.
FileSystem& realFileSystem();

// Replaces the process's file system for the lifetime of this object (tests only).
class ScopedFileSystem {
public:
    explicit ScopedFileSystem(FileSystem& replacement);
    ~ScopedFileSystem();
    ScopedFileSystem(const ScopedFileSystem&) = delete;
    ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

private:
    FileSystem* previous_;
};

// Shorthands over fileSystem().
std::unique_ptr<File> openFile(const std::string& path, OpenMode mode);
bool fileExists(const std::string& path);
std::string readWholeFile(const std::string& path);
// The folder part of a path ("" for a bare name) and the name part.
std::string folderOf(const std::string& path);
std::string nameOf(const std::string& path);

// The file layer's messages, in one place.
namespace msg {
inline constexpr const char* FileNotFound = "File not found";
inline constexpr const char* InvalidFilename = "Invalid filename";
inline constexpr const char* AccessDenied = "File access denied";
inline constexpr const char* ReadBeyondEnd = "Read beyond end of file";
inline constexpr const char* DiskFull = "Disk full";
} // namespace msg

// Memory for large working buffers and arrays (megabytes): where the system offers them, in
// large pages, since on some machines the first touch of each small page costs about 10 µs
// (a 100 MB buffer would spend a quarter of a second on it). Untouched parts cost nothing.
// Throws std::bad_alloc; give releaseLargeMemory the same size.
void* allocateLargeMemory(size_t bytes);
void releaseLargeMemory(void* memory, size_t bytes);

// "I/O error %d"
std::string ioErrorMessage(int code);
// The message for a system error number (errno; GetLastError() on Windows) met while
// working on `path`: the one place where system errors become the messages above.
std::string systemErrorMessage(int code, const std::string& path);

} // namespace tq
