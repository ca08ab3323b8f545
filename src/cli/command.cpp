#include "command.h"
#include "core/error.h"

#include <cstdio>
#include <filesystem>
#include <unistd.h>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#endif

namespace tq::cli {

Args::Args(const std::vector<std::string>& argv, const std::set<std::string>& valueOptions,
           const std::set<std::string>& flags) {
    for (size_t i = 0; i < argv.size(); ++i) {
        const std::string& a = argv[i];
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            const std::string name = a.substr(2);
            if (valueOptions.count(name)) {
                if (i + 1 >= argv.size()) throw UsageError("option --" + name + " needs a value");
                options_[name] = argv[++i];
            } else if (flags.count(name)) {
                flags_.insert(name);
            } else {
                throw UsageError("unknown option " + a);
            }
        } else {
            positional_.push_back(a);
        }
    }
}

std::optional<std::string> Args::option(const std::string& name) const {
    auto it = options_.find(name);
    if (it == options_.end()) return std::nullopt;
    return it->second;
}

std::string Args::required(const std::string& name) const {
    auto value = option(name);
    if (!value) throw UsageError("missing option --" + name);
    return *value;
}

bool Args::flag(const std::string& name) const { return flags_.count(name) > 0; }

void Args::expectPositional(size_t n) const {
    if (positional_.size() != n)
        throw UsageError("expected " + std::to_string(n) + " argument(s), got " +
                         std::to_string(positional_.size()));
}

namespace {
std::vector<Command>& registry() {
    static std::vector<Command> all;
    return all;
}
} // namespace

void registerCommand(Command command) { registry().push_back(std::move(command)); }
const std::vector<Command>& commands() { return registry(); }

void printLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
}

Progress terminalProgress() {
    Progress progress;
    if (!isatty(fileno(stderr))) return progress;
    auto last = std::make_shared<int>(-1);
    progress.position = [last](int percent) {
        if (percent == *last) return;
        *last = percent;
        const int width = 40;
        const int filled = percent * width / 100;
        std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(size_t(filled), '#').c_str(),
                     std::string(size_t(width - filled), ' ').c_str(), percent);
        if (percent >= 100) std::fputc('\n', stderr);
        std::fflush(stderr);
    };
    return progress;
}

std::string programFolder() {
#ifdef _WIN32
    std::wstring exe(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, exe.data(), DWORD(exe.size()));
        if (n == 0) return ".";
        if (n < exe.size()) {
            exe.resize(n);
            break;
        }
        exe.resize(exe.size() * 2);
    }
    const std::u8string folder = std::filesystem::path(exe).parent_path().u8string();
    return std::string(folder.begin(), folder.end());
#else
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return ".";
    return exe.parent_path().string();
#endif
}

int runReportingFailures(const std::string& usage, const std::function<int()>& run) {
    try {
        return run();
    } catch (const UsageError& e) {
        std::fprintf(stderr, "error: %s\nusage: terraquill-cli %s\n", e.what(), usage.c_str());
        return 2;
    } catch (const tq::Error& e) {
        std::fflush(stdout);
        // A message that starts with its file's name already says which file it was.
        const std::string what = e.what();
        if (e.path().empty() || what.rfind(e.path(), 0) == 0) std::fprintf(stderr, "error: %s\n", e.what());
        else std::fprintf(stderr, "error: %s: %s\n", e.path().c_str(), e.what());
        return 1;
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
}

} // namespace tq::cli
