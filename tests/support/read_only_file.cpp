#ifndef _WIN32
#include "support/read_only_file.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tq::test {
namespace {

bool setImmutable(const std::string& path, bool on) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

} // namespace

ReadOnlyFile::ReadOnlyFile(std::string path) : path_(std::move(path)) {
    ::chmod(path_.c_str(), 0444);
    if (::geteuid() == 0) immutable_ = setImmutable(path_, true);
    effective_ = ::access(path_.c_str(), W_OK) != 0;
}

ReadOnlyFile::~ReadOnlyFile() {
    if (immutable_) setImmutable(path_, false);
    ::chmod(path_.c_str(), 0644);
}

} // namespace tq::test
#endif
