#pragma once
#include "core/error.h"
#include "core/file_system.h"
#include "core/progress.h"

#include <memory>
#include <string>
#include <vector>

namespace tq {

// One writer per world. An operation that writes holds a WorldLock for its whole run: an
// operating-system lock on "<file>.lock" beside the world's index (or its map, for map-only
// work), holding the process id and the command. A second writer, in this process or any
// other, is refused before it changes anything. The system drops the lock with the process,
// so a killed run never blocks the next one. Readers do not lock.
//
// Taking the lock also finishes what a killed run left (see commit_journal.h): a journal
// beside a locked file is rolled forward or back, and the temporary files of the world's
// files are removed, since no one else may be writing them now.
class WorldLock {
public:
    // `locked`: the files whose lock files are taken ("" entries are skipped); `command`:
    // what this run does ("freeze"), shown to a refused writer; `companions`: the other
    // files the operation writes, whose leftover temporary files are dead; `log` receives
    // "Finished an interrupted freeze of …" (interruptedWorkLog() when empty).
    // Throws WorldBusy: "<file> is being changed by another Terraquill (process N, freeze) — try
    // again when it has finished".
    WorldLock(const std::vector<std::string>& locked, const std::string& command,
              const std::vector<std::string>& companions = {}, const LogSink& log = {});
    WorldLock(const std::string& locked, const std::string& command) : WorldLock(std::vector{locked}, command) {}
    ~WorldLock();
    WorldLock(const WorldLock&) = delete;
    WorldLock& operator=(const WorldLock&) = delete;

private:
    void release();
    struct Held {
        std::string key;                 // the lock file's path
        std::unique_ptr<FileLock> lock;  // null when an outer WorldLock of this process holds it
    };
    std::vector<Held> held_;
};

// Thrown by WorldLock when another writer holds the world.
class WorldBusy : public Error {
public:
    using Error::Error;
};

// Readers do not lock, but one that finds the journal of a killed writer beside `indexPath`
// finishes it first, under the lock, so that it never reads a new index beside old statics.
// When a writer holds the world, that writer finishes it: the reader reads what is there.
void finishInterruptedWorkBeforeReading(const std::string& indexPath, const std::vector<std::string>& companions = {},
                                        const LogSink& log = {});

// The lock file of a world file: "<file the name leads to>.lock".
std::string lockFileFor(const std::string& path);
// "<file> is being changed by another Terraquill (process N, <command>) — try again when
// it has finished", from the text a holder wrote into its lock file ("<pid> <command>").
std::string lockedMessage(const std::string& path, const std::string& holderText);

// Where operations without a log of their own report finished interrupted work (the
// command line prints it); nothing by default.
void setInterruptedWorkLog(LogSink log);
const LogSink& interruptedWorkLog();

} // namespace tq
