#ifndef _WIN32
#include "core/error.h"
#include "core/file_system.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tq {
namespace {

bool directoryOf(const std::string& path, std::string& dir) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return false;
    dir = slash == 0 ? "/" : path.substr(0, slash);
    return true;
}

bool isDirectory(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

std::string systemErrorMessage(int err, const std::string& path) {
    switch (err) {
    case ENOENT: {
        // A missing folder on the way is a bad name, not a missing file.
        std::string dir;
        if (path.empty() || (directoryOf(path, dir) && !isDirectory(dir))) return msg::InvalidFilename;
        return msg::FileNotFound;
    }
    case ENOTDIR:
    case ENAMETOOLONG:
        return msg::InvalidFilename;
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        return msg::AccessDenied;
    case ENOSPC:
#ifdef EDQUOT
    case EDQUOT:
#endif
    case EFBIG:
        return msg::DiskFull;
    default:
        return ioErrorMessage(err);
    }
}

namespace {

[[noreturn]] void throwPosixError(int err, const std::string& path) {
    throw Error(systemErrorMessage(err, path), path);
}

// flock() locks belong to one open file, so they also keep two windows of one process
// apart, and the system drops them with the process.
class PosixFileLock final : public FileLock {
public:
    PosixFileLock(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~PosixFileLock() override {
        // Removed while still held, so no one can lock the old file after we let go while a
        // newcomer locks a new one; tryLock checks that the file it locked is still there.
        ::unlink(path_.c_str());
        ::close(fd_);
    }

private:
    int fd_;
    std::string path_;
};

class PosixFile final : public File {
public:
    PosixFile(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
    ~PosixFile() override {
        if (fd_ >= 0) ::close(fd_);
    }

    void seek(uint64_t offset) override {
        if (::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0) throwPosixError(errno, path_);
        pos_ = offset;
    }
    uint64_t position() const override { return pos_; }
    uint64_t size() override {
        struct stat st;
        if (::fstat(fd_, &st) != 0) throwPosixError(errno, path_);
        return static_cast<uint64_t>(st.st_size);
    }
    void read(void* buffer, size_t n) override {
        if (readSome(buffer, n) != n) throw Error(msg::ReadBeyondEnd, path_);
    }
    size_t readSome(void* buffer, size_t n) override {
        auto* p = static_cast<char*>(buffer);
        size_t done = 0;
        while (done < n) {
            const ssize_t r = ::read(fd_, p + done, n - done);
            if (r < 0) {
                if (errno == EINTR) continue;
                throwPosixError(errno, path_);
            }
            if (r == 0) break;
            done += static_cast<size_t>(r);
        }
        pos_ += done;
        return done;
    }
    void write(const void* buffer, size_t n) override {
        const auto* p = static_cast<const char*>(buffer);
        size_t done = 0;
        while (done < n) {
            const ssize_t w = ::write(fd_, p + done, n - done);
            if (w < 0) {
                if (errno == EINTR) continue;
                throwPosixError(errno, path_);
            }
            if (w == 0) throw Error(msg::DiskFull, path_);
            done += static_cast<size_t>(w);
        }
        pos_ += done;
    }
    void sync() override {
        if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) throwPosixError(errno, path_);
    }
    void startWriteback() override {
#ifdef __linux__
        // Failures do not matter here: sync() reports them.
        ::sync_file_range(fd_, 0, 0, SYNC_FILE_RANGE_WRITE);
#endif
    }
    void close() override {
        if (fd_ < 0) return;
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR) throwPosixError(errno, path_);
    }
    std::string name() const override { return path_; }

private:
    int fd_;
    std::string path_;
    uint64_t pos_ = 0;
};

class PosixFileSystem final : public FileSystem {
public:
    std::unique_ptr<File> open(const std::string& path, OpenMode mode) override {
        int flags = O_CLOEXEC;
        switch (mode) {
        case OpenMode::Read: flags |= O_RDONLY; break;
        case OpenMode::ReadWrite: flags |= O_RDWR; break;
        case OpenMode::Create: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
        case OpenMode::Append: flags |= O_RDWR; break;
        }
        if (path.empty()) throw Error(msg::InvalidFilename, path);
        if (isDirectory(path)) throw Error(msg::AccessDenied, path);
        int fd;
        do {
            fd = ::open(path.c_str(), flags, 0666);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) throwPosixError(errno, path);
        auto file = std::make_unique<PosixFile>(fd, path);
        if (mode == OpenMode::Append) file->seek(file->size());
        return file;
    }
    bool exists(const std::string& path) override {
        struct stat st;
        return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    }
    uint64_t fileSize(const std::string& path) override {
        struct stat st;
        if (::stat(path.c_str(), &st) != 0) throwPosixError(errno, path);
        return static_cast<uint64_t>(st.st_size);
    }
    void rename(const std::string& from, const std::string& to) override {
        if (::rename(from.c_str(), to.c_str()) != 0) throwPosixError(errno, to);
    }
    void remove(const std::string& path) override {
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) throwPosixError(errno, path);
    }
    bool sameFile(const std::string& a, const std::string& b) override {
        struct stat sa, sb;
        if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
        return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    }
    void checkWritable(const std::string& path) override {
        // access() also reports immutable files and read-only mounts, for root too.
        if (!exists(path)) return;
        if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT)
            throwPosixError(errno, path);
    }
    std::string resolveLinks(const std::string& path) override {
        std::string at = path;
        for (int hops = 0; hops < 40; ++hops) {
            struct stat st;
            if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return at;
            std::string target(size_t(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
            const ssize_t n = ::readlink(at.c_str(), target.data(), target.size());
            if (n < 0) throwPosixError(errno, path);
            target.resize(size_t(n));
            std::string dir;
            if (!target.empty() && target[0] != '/' && directoryOf(at, dir)) target = dir + "/" + target;
            at = target;
        }
        throwPosixError(ELOOP, path);
    }
    void copyAttributes(const std::string& from, const std::string& to) override {
        struct stat st;
        if (::stat(from.c_str(), &st) != 0) return;
        // Owner and group first: changing them may clear the set-id bits the mode then restores.
        // Only root may give a file away; a group the user belongs to is allowed to anyone.
        if (::chown(to.c_str(), st.st_uid, st.st_gid) != 0) (void)::chown(to.c_str(), uid_t(-1), st.st_gid);
        if (::chmod(to.c_str(), st.st_mode & 07777) != 0) throwPosixError(errno, to);
    }
    std::vector<std::string> listFolder(const std::string& folder) override {
        std::vector<std::string> names;
        DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
        if (!dir) return names;
        while (const dirent* e = ::readdir(dir)) {
            const std::string name = e->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        ::closedir(dir);
        return names;
    }
    std::unique_ptr<FileLock> tryLock(const std::string& path, const std::string& owner,
                                      std::string& holder) override {
        for (int attempt = 0; attempt < 20; ++attempt) {
            const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
            if (fd < 0) throwPosixError(errno, path);
            if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                const int err = errno;
                if (err != EWOULDBLOCK) {
                    ::close(fd);
                    throwPosixError(err, path);
                }
                char text[512];
                const ssize_t n = ::pread(fd, text, sizeof text - 1, 0);
                ::close(fd);
                holder.assign(text, size_t(n > 0 ? n : 0));
                return nullptr;
            }
            // The holder before us may have removed the file between our open and our lock.
            struct stat mine, now;
            if (::fstat(fd, &mine) != 0 || ::stat(path.c_str(), &now) != 0 || mine.st_ino != now.st_ino ||
                mine.st_dev != now.st_dev) {
                ::close(fd);
                continue;
            }
            if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, owner.data(), owner.size(), 0) != ssize_t(owner.size())) {
                const int err = errno;
                ::unlink(path.c_str());
                ::close(fd);
                throwPosixError(err, path);
            }
            return std::make_unique<PosixFileLock>(fd, path);
        }
        throwPosixError(EAGAIN, path);
    }
};

} // namespace

FileSystem& realFileSystem() {
    static PosixFileSystem fs;
    return fs;
}

namespace {
constexpr size_t LargePage = size_t(2) << 20;
// From half a large page up the memory is mapped by itself (rounded up to whole large pages).
constexpr size_t MappedFrom = LargePage / 2;
size_t wholeLargePages(size_t bytes) { return (bytes + LargePage - 1) / LargePage * LargePage; }
} // namespace

void* allocateLargeMemory(size_t bytes) {
    if (bytes < MappedFrom) {
        if (void* memory = std::malloc(bytes ? bytes : 1)) return memory;
        throw std::bad_alloc();
    }
    // Aligned to a large page, so the system can back every part of it with one.
    const size_t size = wholeLargePages(bytes);
    void* mapped = ::mmap(nullptr, size + LargePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) throw std::bad_alloc();
    char* const base = static_cast<char*>(mapped);
    char* const start = reinterpret_cast<char*>((reinterpret_cast<uintptr_t>(base) + LargePage - 1) & ~(LargePage - 1));
    const size_t head = size_t(start - base);
    if (head > 0) ::munmap(base, head);
    ::munmap(start + size, LargePage - head);
#ifdef MADV_HUGEPAGE
    ::madvise(start, size, MADV_HUGEPAGE);  // a hint: without large pages the memory still works
#endif
    return start;
}

void releaseLargeMemory(void* memory, size_t bytes) {
    if (!memory) return;
    if (bytes < MappedFrom) std::free(memory);
    else ::munmap(memory, wholeLargePages(bytes));
}

} // namespace tq
#endif
