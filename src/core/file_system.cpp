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

std::string ioErrorMessage(int code) {
    char text[32];
    std::snprintf(text, sizeof text, "I/O error %d", code);
    return text;
}

} // namespace tq
