#ifdef _WIN32
#include "core/error.h"
#include "core/file_system.h"
#include "core/file_system_windows.h"

#include <algorithm>

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

namespace tq {
namespace {

// Paths are UTF-8 inside the program; Windows wants UTF-16. A name that is not UTF-8, or
// that has a NUL inside (the system would cut it there and open another file), is refused.
std::wstring widen(const std::string& utf8) {
    if (utf8.empty() || utf8.find('\0') != std::string::npos) throw Error(msg::InvalidFilename);
    const int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                                      nullptr, 0);
    if (n <= 0) throw Error(msg::InvalidFilename);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
    return wide;
}

} // namespace

// Plain names reach at most MAX_PATH (260) characters; a longer one is made absolute the
// way the system would (current folder, "/" to "\", "." and "..", trailing dots and blanks
// dropped) and given the "\\?\" prefix that lifts the limit. Game folders nested under
// long user and library names pass 260 sooner than one would think.
std::wstring windowsPath(const std::string& utf8) {
    std::wstring wide = widen(utf8);
    // A margin below MAX_PATH: folders stop at 248, and the temporary file's suffix adds ~20.
    constexpr size_t Short = MAX_PATH - 40;
    if (wide.size() < Short || wide.rfind(LR"(\\?\)", 0) == 0) return wide;
    DWORD n = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (n == 0) return wide;
    std::wstring full(n, L'\0');
    n = GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
    if (n == 0 || n >= full.size()) return wide;
    full.resize(n);
    if (full.rfind(LR"(\\.\)", 0) == 0 || full.rfind(LR"(\\?\)", 0) == 0) return full;  // a device
    if (full.rfind(LR"(\\)", 0) == 0) return LR"(\\?\UNC\)" + full.substr(2);          // \\server\share
    return LR"(\\?\)" + full;
}

std::string systemErrorMessage(int code, const std::string&) {
    switch (static_cast<DWORD>(code)) {
    case ERROR_FILE_NOT_FOUND: return msg::FileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_FILENAME_EXCED_RANGE: return msg::InvalidFilename;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_WRITE_PROTECT: return msg::AccessDenied;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return msg::DiskFull;
    case ERROR_HANDLE_EOF: return msg::ReadBeyondEnd;
    default: return ioErrorMessage(code);
    }
}

namespace {

[[noreturn]] void throwWindowsError(DWORD err, const std::string& path = {}) {
    throw Error(systemErrorMessage(static_cast<int>(err), path));
}

class WindowsFile final : public File {
public:
    explicit WindowsFile(HANDLE h) : h_(h) {}
    ~WindowsFile() override {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    void seek(uint64_t offset) override {
        LARGE_INTEGER li;
        li.QuadPart = static_cast<LONGLONG>(offset);
        if (!SetFilePointerEx(h_, li, nullptr, FILE_BEGIN)) throwWindowsError(GetLastError());
        pos_ = offset;
    }
    uint64_t position() const override { return pos_; }
    uint64_t size() override {
        LARGE_INTEGER li;
        if (!GetFileSizeEx(h_, &li)) throwWindowsError(GetLastError());
        return static_cast<uint64_t>(li.QuadPart);
    }
    void read(void* buffer, size_t n) override {
        if (readSome(buffer, n) != n) throw Error(msg::ReadBeyondEnd);
    }
    size_t readSome(void* buffer, size_t n) override {
        auto* p = static_cast<char*>(buffer);
        size_t done = 0;
        while (done < n) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 30));
            DWORD got = 0;
            if (!ReadFile(h_, p + done, chunk, &got, nullptr)) throwWindowsError(GetLastError());
            if (got == 0) break;
            done += got;
        }
        pos_ += done;
        return done;
    }
    void write(const void* buffer, size_t n) override {
        const auto* p = static_cast<const char*>(buffer);
        size_t done = 0;
        while (done < n) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 30));
            DWORD put = 0;
            if (!WriteFile(h_, p + done, chunk, &put, nullptr)) throwWindowsError(GetLastError());
            if (put == 0) throw Error(msg::DiskFull);
            done += put;
        }
        pos_ += done;
    }
    void sync() override {
        if (!FlushFileBuffers(h_)) throwWindowsError(GetLastError());
    }
    void close() override {
        if (h_ == INVALID_HANDLE_VALUE) return;
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        if (!CloseHandle(h)) throwWindowsError(GetLastError());
    }

private:
    HANDLE h_;
    uint64_t pos_ = 0;
};

class WindowsFileSystem final : public FileSystem {
public:
    std::unique_ptr<File> open(const std::string& path, OpenMode mode) override {
        const std::wstring name = windowsPath(path);
        // Windows itself refuses to write a read-only file, but not every implementation of
        // its calls does (Wine run as root writes it): the attribute is the user's word.
        if (mode != OpenMode::Read) {
            const DWORD attr = GetFileAttributesW(name.c_str());
            if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_READONLY)) throw Error(msg::AccessDenied);
        }
        DWORD access = GENERIC_READ;
        DWORD disposition = OPEN_EXISTING;
        if (mode != OpenMode::Read) access |= GENERIC_WRITE;
        if (mode == OpenMode::Create) disposition = CREATE_ALWAYS;
        // Others may read and write meanwhile: the map editor keeps the map open.
        HANDLE h = CreateFileW(name.c_str(), access,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) throwWindowsError(GetLastError());
        auto file = std::make_unique<WindowsFile>(h);
        if (mode == OpenMode::Append) file->seek(file->size());
        return file;
    }
    bool exists(const std::string& path) override {
        std::wstring name;
        if (!usableName(path, name)) return false;
        const DWORD attr = GetFileAttributesW(name.c_str());
        return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
    }
    uint64_t fileSize(const std::string& path) override {
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (!GetFileAttributesExW(windowsPath(path).c_str(), GetFileExInfoStandard, &data))
            throwWindowsError(GetLastError());
        return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    void rename(const std::string& from, const std::string& to) override {
        if (!MoveFileExW(windowsPath(from).c_str(), windowsPath(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            throwWindowsError(GetLastError());
    }
    void remove(const std::string& path) override {
        if (!DeleteFileW(windowsPath(path).c_str())) {
            const DWORD err = GetLastError();
            if (err != ERROR_FILE_NOT_FOUND && err != ERROR_PATH_NOT_FOUND) throwWindowsError(err);
        }
    }
    void checkWritable(const std::string& path) override {
        const std::wstring name = windowsPath(path);
        const DWORD attr = GetFileAttributesW(name.c_str());
        if (attr == INVALID_FILE_ATTRIBUTES) return;  // a new file
        if (attr & FILE_ATTRIBUTE_READONLY) throw Error(msg::AccessDenied);
        // A file the game client or server holds open without letting others delete it
        // cannot be replaced: the rename at the end would fail after all the work, and in
        // a two-file operation after the first file was already replaced. Asking for the
        // right to delete it, as the rename will, finds that out before anything is written.
        HANDLE h = CreateFileW(name.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD err = GetLastError();
            if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) return;
            throwWindowsError(err);
        }
        CloseHandle(h);
    }
    bool sameFile(const std::string& a, const std::string& b) override {
        BY_HANDLE_FILE_INFORMATION ia, ib;
        if (!info(a, ia) || !info(b, ib)) return false;
        return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
               ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
    }

private:
    // For the questions that answer "no" rather than fail: a name that cannot be a file's.
    static bool usableName(const std::string& path, std::wstring& name) {
        try {
            name = windowsPath(path);
            return true;
        } catch (const Error&) {
            return false;
        }
    }
    static bool info(const std::string& path, BY_HANDLE_FILE_INFORMATION& out) {
        std::wstring name;
        if (!usableName(path, name)) return false;
        HANDLE h = CreateFileW(name.c_str(), 0,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) return false;
        const bool ok = GetFileInformationByHandle(h, &out) != 0;
        CloseHandle(h);
        return ok;
    }
};

} // namespace

FileSystem& realFileSystem() {
    static WindowsFileSystem fs;
    return fs;
}

} // namespace tq
#endif
