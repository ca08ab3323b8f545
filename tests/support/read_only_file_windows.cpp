#ifdef _WIN32
#include "support/read_only_file.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace tq::test {
namespace {

std::wstring widen(const std::string& utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), n);
    return wide;
}

} // namespace

// The read-only attribute: Windows refuses writes for every user, administrators too.
ReadOnlyFile::ReadOnlyFile(std::string path) : path_(std::move(path)) {
    const DWORD attr = GetFileAttributesW(widen(path_).c_str());
    effective_ = attr != INVALID_FILE_ATTRIBUTES &&
                 SetFileAttributesW(widen(path_).c_str(), attr | FILE_ATTRIBUTE_READONLY) != 0;
}

ReadOnlyFile::~ReadOnlyFile() {
    const DWORD attr = GetFileAttributesW(widen(path_).c_str());
    if (attr != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(widen(path_).c_str(), attr & ~DWORD(FILE_ATTRIBUTE_READONLY));
}

} // namespace tq::test
#endif
