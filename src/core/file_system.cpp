#include "core/file_system.h"

#include "core/error.h"

#include <cstdio>

namespace tq {

namespace {
FileSystem* current = nullptr;
}

FileSystem& fileSystem() { return current ? *current : realFileSystem(); }

ScopedFileSystem::ScopedFileSystem(FileSystem& replacement) : previous_(current) {
    current = &replacement;
}

ScopedFileSystem::~ScopedFileSystem() { current = previous_; }

std::unique_ptr<File> openFile(const std::string& path, OpenMode mode) {
    return fileSystem().open(path, mode);
}

bool fileExists(const std::string& path) { return fileSystem().exists(path); }

std::string readWholeFile(const std::string& path) {
    auto f = openFile(path, OpenMode::Read);
    const uint64_t size = f->size();
    std::string bytes;
    bytes.resize(static_cast<size_t>(size));
    if (size > 0) f->read(bytes.data(), bytes.size());
    f->close();
    return bytes;
}

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    if (slash == std::string::npos) return "";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ioErrorMessage(int code) {
    char text[32];
    std::snprintf(text, sizeof text, "I/O error %d", code);
    return text;
}

} // namespace tq
