#include "platform.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#endif

namespace tq::cli {

#ifdef _WIN32

namespace {

std::string narrow(const wchar_t* wide) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string text(size_t(n - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), n, nullptr, nullptr);
    return text;
}

UINT previousOutputCodePage = 0;

void restoreConsole() { SetConsoleOutputCP(previousOutputCodePage); }

} // namespace

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!wide) return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) args.push_back(narrow(wide[i]));
    LocalFree(wide);
    return args;
}

void setUpConsole() {
    previousOutputCodePage = GetConsoleOutputCP();
    // 0: no console (output redirected by a service, say); nothing to set or restore.
    if (previousOutputCodePage == 0 || previousOutputCodePage == CP_UTF8) return;
    if (SetConsoleOutputCP(CP_UTF8)) std::atexit(restoreConsole);
}

#else

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

void setUpConsole() {}

#endif

} // namespace tq::cli
