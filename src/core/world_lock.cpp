#include "core/world_lock.h"

#include "core/commit_journal.h"
#include "core/error.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <thread>

#ifdef _WIN32
#include <process.h>
#define tq_getpid _getpid
#else
#include <unistd.h>
#define tq_getpid getpid
#endif

namespace tq {

namespace {

// The lock files this process holds, with how many WorldLocks hold each: an operation
// called by a command that already locked its world (to load the index under the lock)
// must not refuse itself. Operations run on one thread (the windows' or the command's).
std::map<std::string, int>& heldHere() {
    static std::map<std::string, int> held;
    return held;
}

LogSink& fallbackLog() {
    static LogSink log;
    return log;
}

} // namespace

std::string lockFileFor(const std::string& path) {
    // One spelling per file ("./a/../staidx0.mul" is "staidx0.mul"), so a process knows its own lock.
    std::error_code ec;
    const auto whole = std::filesystem::absolute(fileSystem().resolveLinks(path), ec).lexically_normal();
    return (ec ? fileSystem().resolveLinks(path) : whole.string()) + ".lock";
}

std::string lockedMessage(const std::string& path, const std::string& holderText) {
    std::string pid, command;
    size_t at = 0;
    while (at < holderText.size() && holderText[at] >= '0' && holderText[at] <= '9') pid += holderText[at++];
    if (at < holderText.size() && holderText[at] == ' ') ++at;
    command = holderText.substr(at);
    while (!command.empty() && (command.back() == '\n' || command.back() == '\r' || command.back() == ' '))
        command.pop_back();
    if (pid.empty()) pid = "unknown";
    if (command.empty()) command = "starting";
    return path + " is being changed by another Terraquill (process " + pid + ", " + command +
           ") \xE2\x80\x94 try again when it has finished";
}

void setInterruptedWorkLog(LogSink log) { fallbackLog() = std::move(log); }
const LogSink& interruptedWorkLog() { return fallbackLog(); }

WorldLock::WorldLock(const std::vector<std::string>& locked, const std::string& command,
                     const std::vector<std::string>& companions, const LogSink& log) {
    const std::string owner = std::to_string(tq_getpid()) + " " + command + "\n";
    bool outermost = true;
    for (const std::string& path : locked) {
        if (path.empty()) continue;
        Held h;
        try {
            h.key = lockFileFor(path);
        } catch (const Error&) {
            continue;  // a name that leads nowhere: the operation itself says what is wrong
        }
        {
            auto it = heldHere().find(h.key);
            if (it != heldHere().end()) {
                ++it->second;
                outermost = false;
                held_.push_back(std::move(h));
                continue;
            }
        }
        std::string holder;
        try {
            // A holder that has only just taken the lock may not have written its name yet.
            for (int attempt = 0; attempt < 5; ++attempt) {
                holder.clear();
                h.lock = fileSystem().tryLock(h.key, owner, holder);
                if (h.lock || !holder.empty()) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        } catch (const Error&) {
            // No lock file can be made beside this file (a read-only folder, a missing one):
            // nothing can be replaced there either, and the operation says why. In-place
            // writers still work, unlocked, as they did.
            continue;
        }
        if (!h.lock) throw WorldBusy(lockedMessage(path, holder), path);
        heldHere()[h.key] = 1;
        held_.push_back(std::move(h));
    }
    if (!outermost) return;
    // Under the lock no one else writes these files: what a killed run left can be finished.
    try {
        const LogSink& sink = log ? log : interruptedWorkLog();
        for (const std::string& path : locked)
            if (!path.empty()) finishInterruptedWork(path, companions, sink);
    } catch (...) {
        release();
        throw;
    }
}

WorldLock::~WorldLock() { release(); }

void finishInterruptedWorkBeforeReading(const std::string& indexPath, const std::vector<std::string>& companions,
                                        const LogSink& log) {
    try {
        if (indexPath.empty() || !fileSystem().exists(journalFileFor(indexPath))) return;
    } catch (const Error&) {
        return;  // a name that leads nowhere: the reader itself says what is wrong
    }
    try {
        const WorldLock lock({indexPath}, "reading", companions, log);
    } catch (const WorldBusy&) {
        // A writer is at work on this world and finishes the journal itself.
    }
}

void WorldLock::release() {
    for (auto it = held_.rbegin(); it != held_.rend(); ++it) {
        auto found = heldHere().find(it->key);
        if (found != heldHere().end() && --found->second == 0) heldHere().erase(found);
        it->lock.reset();
    }
    held_.clear();
}

} // namespace tq
