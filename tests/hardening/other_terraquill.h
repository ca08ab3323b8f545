#pragma once
// Another Terraquill holding a world's lock: a child process that takes the WorldLock and
// waits. Killing it with SIGKILL is what a crash or `kill -9` does.
#include "core/world_lock.h"

#include <csignal>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tq::test {

class OtherTerraquill {
public:
    OtherTerraquill(const std::string& path, const std::string& command) {
        int ready[2];
        if (::pipe(ready) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            try {
                const WorldLock lock(path, command);
                (void)!::write(ready[1], "y", 1);
                for (;;) ::pause();
            } catch (...) {
                (void)!::write(ready[1], "n", 1);
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        char answer = 0;
        held_ = pid_ > 0 && ::read(ready[0], &answer, 1) == 1 && answer == 'y';
        ::close(ready[0]);
    }
    ~OtherTerraquill() { kill(); }
    OtherTerraquill(const OtherTerraquill&) = delete;
    OtherTerraquill& operator=(const OtherTerraquill&) = delete;

    bool held() const { return held_; }
    pid_t pid() const { return pid_; }
    // SIGKILL, as a crash: no destructor runs, the lock file stays behind.
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
    bool held_ = false;
};

// The refusal a second writer gets.
inline std::string lockedBy(const std::string& path, pid_t pid, const std::string& command) {
    return path + " is being changed by another Terraquill (process " + std::to_string(pid) + ", " + command +
           ") \xE2\x80\x94 try again when it has finished";
}

} // namespace tq::test
