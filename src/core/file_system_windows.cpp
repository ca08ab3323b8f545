#ifdef _WIN32
#include "core/error.h"
#include "core/file_system.h"
#include "core/file_system_windows.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

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
    throw Error(systemErrorMessage(static_cast<int>(err), path), path);
}

// LockFileEx locks are per handle and go with the process. The locked byte lies far past
// the text, so a refused writer can still read who holds it. The holder marks the file for
// removal before it lets go, so no lock file stays in the user's folder; while that removal
// is pending Windows refuses new openers, and tryLock waits for the file to go.
constexpr DWORD LockedByte = 0x7FFFFFFF;

bool removalPending(HANDLE h) {
    FILE_STANDARD_INFO info{};
    return GetFileInformationByHandleEx(h, FileStandardInfo, &info, sizeof info) && info.DeletePending;
}

class WindowsFileLock final : public FileLock {
public:
    explicit WindowsFileLock(HANDLE h) : h_(h) {}
    ~WindowsFileLock() override {
        // Marked while still held: whoever opened the file meanwhile sees the removal pending
        // and starts again on a new file, as on POSIX.
        FILE_DISPOSITION_INFO remove{};
        remove.DeleteFile = TRUE;
        SetFileInformationByHandle(h_, FileDispositionInfo, &remove, sizeof remove);
        OVERLAPPED ov{};
        ov.Offset = LockedByte;
        UnlockFileEx(h_, 0, 1, 0, &ov);
        CloseHandle(h_);
    }

private:
    HANDLE h_;
};

class WindowsFile final : public File {
public:
    WindowsFile(HANDLE h, std::string path) : h_(h), path_(std::move(path)) {}
    ~WindowsFile() override {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    void seek(uint64_t offset) override {
        LARGE_INTEGER li;
        li.QuadPart = static_cast<LONGLONG>(offset);
        if (!SetFilePointerEx(h_, li, nullptr, FILE_BEGIN)) throwWindowsError(GetLastError(), path_);
        pos_ = offset;
    }
    uint64_t position() const override { return pos_; }
    uint64_t size() override {
        LARGE_INTEGER li;
        if (!GetFileSizeEx(h_, &li)) throwWindowsError(GetLastError(), path_);
        return static_cast<uint64_t>(li.QuadPart);
    }
    void read(void* buffer, size_t n) override {
        if (readSome(buffer, n) != n) throw Error(msg::ReadBeyondEnd, path_);
    }
    size_t readSome(void* buffer, size_t n) override {
        auto* p = static_cast<char*>(buffer);
        size_t done = 0;
        while (done < n) {
            const DWORD chunk = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 30));
            DWORD got = 0;
            if (!ReadFile(h_, p + done, chunk, &got, nullptr)) throwWindowsError(GetLastError(), path_);
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
            if (!WriteFile(h_, p + done, chunk, &put, nullptr)) throwWindowsError(GetLastError(), path_);
            if (put == 0) throw Error(msg::DiskFull, path_);
            done += put;
        }
        pos_ += done;
    }
    void sync() override {
        if (!FlushFileBuffers(h_)) throwWindowsError(GetLastError(), path_);
    }
    void close() override {
        if (h_ == INVALID_HANDLE_VALUE) return;
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        if (!CloseHandle(h)) throwWindowsError(GetLastError(), path_);
    }

    std::string name() const override { return path_; }

private:
    HANDLE h_;
    std::string path_;
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
            if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_READONLY)) throw Error(msg::AccessDenied, path);
        }
        DWORD access = GENERIC_READ;
        DWORD disposition = OPEN_EXISTING;
        if (mode != OpenMode::Read) access |= GENERIC_WRITE;
        if (mode == OpenMode::Create) disposition = CREATE_ALWAYS;
        // Others may read and write meanwhile: the map editor keeps the map open.
        HANDLE h = CreateFileW(name.c_str(), access,
                               FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE) throwWindowsError(GetLastError(), path);
        auto file = std::make_unique<WindowsFile>(h, path);
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
            throwWindowsError(GetLastError(), path);
        return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    void rename(const std::string& from, const std::string& to) override {
        if (!MoveFileExW(windowsPath(from).c_str(), windowsPath(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            throwWindowsError(GetLastError(), to);
    }
    void remove(const std::string& path) override {
        if (!DeleteFileW(windowsPath(path).c_str())) {
            const DWORD err = GetLastError();
            if (err != ERROR_FILE_NOT_FOUND && err != ERROR_PATH_NOT_FOUND) throwWindowsError(err, path);
        }
    }
    void checkWritable(const std::string& path) override {
        const std::wstring name = windowsPath(path);
        const DWORD attr = GetFileAttributesW(name.c_str());
        if (attr == INVALID_FILE_ATTRIBUTES) return;  // a new file
        if (attr & FILE_ATTRIBUTE_READONLY) throw Error(msg::AccessDenied, path);
        // A file the game client or server holds open without letting others delete it
        // cannot be replaced: the rename at the end would fail after all the work, and in
        // a two-file operation after the first file was already replaced. Asking for the
        // right to delete it, as the rename will, finds that out before anything is written.
        HANDLE h = CreateFileW(name.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) {
            const DWORD err = GetLastError();
            if (err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND) return;
            throwWindowsError(err, path);
        }
        CloseHandle(h);
    }
    bool sameFile(const std::string& a, const std::string& b) override {
        BY_HANDLE_FILE_INFORMATION ia, ib;
        if (!info(a, ia) || !info(b, ib)) return false;
        return ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
               ia.nFileIndexHigh == ib.nFileIndexHigh && ia.nFileIndexLow == ib.nFileIndexLow;
    }
    std::string resolveLinks(const std::string& path) override {
        namespace fs = std::filesystem;
        std::error_code ec;
        fs::path at = fs::u8path(path);
        for (int hops = 0; hops < 40 && fs::is_symlink(fs::symlink_status(at, ec)); ++hops) {
            fs::path target = fs::read_symlink(at, ec);
            if (ec) break;
            at = target.is_absolute() ? target : at.parent_path() / target;
        }
        const auto text = at.u8string();
        return std::string(text.begin(), text.end());
    }
    void copyAttributes(const std::string& from, const std::string& to) override {
        const DWORD attr = GetFileAttributesW(widen(from).c_str());
        if (attr == INVALID_FILE_ATTRIBUTES) return;
        const DWORD keep = attr & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                   FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
        if (keep && !SetFileAttributesW(widen(to).c_str(), keep)) throwWindowsError(GetLastError(), to);
    }
    std::vector<std::string> listFolder(const std::string& folder) override {
        std::vector<std::string> names;
        std::error_code ec;
        for (std::filesystem::directory_iterator it(std::filesystem::u8path(folder.empty() ? "." : folder), ec), end;
             !ec && it != end; it.increment(ec)) {
            const auto text = it->path().filename().u8string();
            names.emplace_back(text.begin(), text.end());
        }
        return names;
    }
    std::unique_ptr<FileLock> tryLock(const std::string& path, const std::string& owner,
                                      std::string& holder) override {
        const std::wstring name = widen(path);
        // A lock file on its way out refuses openers until its last handle closes: wait for
        // it (a second at most, then the caller reports the world as busy).
        for (int attempt = 0; attempt < 50; ++attempt) {
            if (attempt > 0) Sleep(20);
            HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (h == INVALID_HANDLE_VALUE) {
                const DWORD err = GetLastError();
                if (err == ERROR_ACCESS_DENIED && GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES)
                    continue;
                throwWindowsError(err, path);
            }
            OVERLAPPED ov{};
            ov.Offset = LockedByte;
            if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &ov)) {
                const DWORD err = GetLastError();
                char text[512];
                DWORD got = 0;
                if (err == ERROR_LOCK_VIOLATION || err == ERROR_IO_PENDING) {
                    ReadFile(h, text, sizeof text - 1, &got, nullptr);
                    CloseHandle(h);
                    holder.assign(text, got);
                    return nullptr;
                }
                CloseHandle(h);
                throwWindowsError(err, path);
            }
            if (removalPending(h)) {  // the last holder's file, about to go: start on a new one
                UnlockFileEx(h, 0, 1, 0, &ov);
                CloseHandle(h);
                continue;
            }
            DWORD put = 0;
            LARGE_INTEGER zero{};
            if (!SetFilePointerEx(h, zero, nullptr, FILE_BEGIN) || !SetEndOfFile(h) ||
                !WriteFile(h, owner.data(), static_cast<DWORD>(owner.size()), &put, nullptr)) {
                const DWORD err = GetLastError();
                CloseHandle(h);
                throwWindowsError(err, path);
            }
            return std::make_unique<WindowsFileLock>(h);
        }
        return nullptr;
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

// Large pages need a privilege ordinary users lack; the heap serves.
void* allocateLargeMemory(size_t bytes) { return ::operator new(bytes ? bytes : 1); }
void releaseLargeMemory(void* memory, size_t) { ::operator delete(memory); }

} // namespace tq
#endif
