#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

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
    virtual void close() = 0;
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

// The file layer's messages, in one place.
namespace msg {
inline constexpr const char* FileNotFound = "File not found";
inline constexpr const char* InvalidFilename = "Invalid filename";
inline constexpr const char* AccessDenied = "File access denied";
inline constexpr const char* ReadBeyondEnd = "Read beyond end of file";
inline constexpr const char* DiskFull = "Disk full";
} // namespace msg

// "I/O error %d"
std::string ioErrorMessage(int code);
// The message for a system error number (errno; GetLastError() on Windows) met while
// working on `path`: the one place where system errors become the messages above.
std::string systemErrorMessage(int code, const std::string& path);

} // namespace tq
