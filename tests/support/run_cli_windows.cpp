#ifdef _WIN32
#include "support/run_cli.h"

#include "support/temp_dir.h"

#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <stdexcept>

namespace tq::test {
namespace {

std::wstring widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), nullptr, 0);
    std::wstring wide(size_t(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), n);
    return wide;
}

// One argument as the C runtime and CommandLineToArgvW split it again: quoted when it
// has blanks or quotes, backslashes doubled only where they precede a quote.
std::wstring quoted(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out += c;
    }
    out.append(backslashes * 2, L'\\');
    return out + L"\"";
}

// The CLI sits beside the test program in the Windows build's bin folder.
std::wstring cliPath() {
    std::wstring exe(32768, L'\0');
    const DWORD n = GetModuleFileNameW(nullptr, exe.data(), DWORD(exe.size()));
    exe.resize(n);
    return exe.substr(0, exe.find_last_of(L"\\/") + 1) + L"terraquill-cli.exe";
}

HANDLE inheritableFile(const std::string& path) {
    SECURITY_ATTRIBUTES sa{sizeof sa, nullptr, TRUE};
    HANDLE h = CreateFileW(widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &sa,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + path);
    return h;
}

// The console writes lines in text mode (CRLF); the tests compare what a script reading
// text sees.
std::string textOf(std::string bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i)
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) out += bytes[i];
    return out;
}

} // namespace

CliResult runCli(const std::vector<std::string>& args) {
    TempDir dir;
    const std::string outPath = dir.file("stdout"), errPath = dir.file("stderr");
    const std::wstring program = cliPath();
    std::wstring commandLine = quoted(program);
    for (const std::string& a : args) commandLine += L" " + quoted(widen(a));

    HANDLE out = inheritableFile(outPath), err = inheritableFile(errPath);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = INVALID_HANDLE_VALUE;
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    CliResult result;
    if (CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        WaitForSingleObject(pi.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        result.status = int(code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(out);
    CloseHandle(err);
    result.out = textOf(readBytes(outPath));
    result.err = textOf(readBytes(errPath));
    return result;
}

} // namespace tq::test
#endif
