#pragma once
// Two files cannot be replaced in one step. An operation that replaces several (freeze: the
// index, the world-save, the patch file; melt; applying a package) first writes a journal
// beside the world's index naming each new file's temporary name and the file it replaces,
// flushed to disk before the first rename and removed after the last. A run killed between
// the renames leaves the journal; the next run that locks the world (world_lock.h) finishes
// the renames, so the files are never seen as a mix of old and new by an operation.
#include "core/atomic_file.h"
#include "core/progress.h"

#include <string>
#include <vector>

namespace tq {

// "<the file the world file's name leads to>.journal"
std::string journalFileFor(const std::string& worldFile);

// Journals the replacement of `files` (prepared, in the order they are to be renamed).
// The journal is on disk when the constructor returns; rename the files in that order,
// then call finish(). If the object goes without finish() (a failure, handled by the
// caller), the journal is removed: the temporaries it names go with their AtomicFiles.
// With fewer than two files no journal is needed and none is written.
class CommitJournal {
public:
    CommitJournal(const std::string& worldFile, const std::string& operation, const std::vector<AtomicFile*>& files);
    ~CommitJournal();
    CommitJournal(const CommitJournal&) = delete;
    CommitJournal& operator=(const CommitJournal&) = delete;
    void finish();

private:
    std::string path_;  // "" when no journal was written
};

// Renames prepared files in the given order under a journal (null entries are skipped).
void commitInOrder(const std::string& worldFile, const std::string& operation, const std::vector<AtomicFile*>& files);

// Replaces a static index and its statics together, both written in full: prepared, then
// the index renamed first under a journal (it is what makes the new runs count); should the
// statics then not take their place, the old index (or its absence) is put back, so a
// failure leaves the old pair or the new pair. Only a kill between the two renames parts
// them, and the next run finishes the journal.
void commitIndexThenStatics(const std::string& operation, AtomicFile& newIndex, AtomicFile& newStatics);

// Finishes a journal found beside `worldFile`: the renames it names are done (rolled
// forward); should a temporary it names be incomplete while no rename has been done yet,
// the temporaries are removed instead (rolled back). Logs "Finished an interrupted freeze
// of <file>" or "Undid an interrupted freeze of <file>: …". Then removes the dead temporary
// files ("<name>.tqtmp-…") of `worldFile`, of `companions` and of the journal's files.
// Call it only while holding the world's lock. Returns true when a journal was found.
bool finishInterruptedWork(const std::string& worldFile, const std::vector<std::string>& companions,
                           const LogSink& log);

} // namespace tq
