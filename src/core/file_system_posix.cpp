#ifndef _WIN32
#include "core/error.h"
#include "core/file_system.h"

#include <cerrno>
#include <fcntl.h>
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
    throw Error(systemErrorMessage(err, path));
}

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
        if (readSome(buffer, n) != n) throw Error(msg::ReadBeyondEnd);
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
            if (w == 0) throw Error(msg::DiskFull);
            done += static_cast<size_t>(w);
        }
        pos_ += done;
    }
    void sync() override {
        if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) throwPosixError(errno, path_);
    }
    void close() override {
        if (fd_ < 0) return;
        const int fd = fd_;
        fd_ = -1;
        if (::close(fd) != 0 && errno != EINTR) throwPosixError(errno, path_);
    }

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
        if (path.empty()) throw Error(msg::InvalidFilename);
        if (isDirectory(path)) throw Error(msg::AccessDenied);
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
        if (::access(path.c_str(), W_OK) != 0 && errno != ENOENT) throwPosixError(errno, path);
    }
};

} // namespace

FileSystem& realFileSystem() {
    static PosixFileSystem fs;
    return fs;
}

} // namespace tq
#endif
