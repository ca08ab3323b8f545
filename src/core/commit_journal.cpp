#include "core/commit_journal.h"

#include "core/error.h"
#include "core/file_system.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace tq {

namespace {

constexpr const char* JournalHeader = "TQJOURNAL 1";
constexpr const char* JournalEnd = "END";
// A freeze on a folder save replaces the index, every region file that loses items (28 x 4
// areas and overflow.wsc at most, more when a folder holds extra .wsc files) and a patch file.
constexpr uint64_t MaxJournalEntries = 4096;

struct Entry {
    uint64_t size = 0;
    std::string temporary, target;
};

struct Journal {
    std::string operation, worldName;
    std::vector<Entry> entries;
};

// Paths may hold any byte but NUL, so each is written with its length in front.
void putPath(std::string& out, const std::string& path) { out += std::to_string(path.size()) + ":" + path; }

std::string encode(const Journal& j) {
    std::string out = std::string(JournalHeader) + "\n" + j.operation + "\n";
    putPath(out, j.worldName);
    out += "\n" + std::to_string(j.entries.size()) + "\n";
    for (const Entry& e : j.entries) {
        out += std::to_string(e.size) + " ";
        putPath(out, e.temporary);
        out += " ";
        putPath(out, e.target);
        out += "\n";
    }
    return out + JournalEnd + "\n";
}

class Reader {
public:
    explicit Reader(const std::string& text) : t_(text) {}
    bool line(std::string& out) {
        const size_t end = t_.find('\n', at_);
        if (end == std::string::npos) return false;
        out = t_.substr(at_, end - at_);
        at_ = end + 1;
        return true;
    }
    bool number(uint64_t& n) {
        size_t digits = 0;
        n = 0;
        while (at_ < t_.size() && t_[at_] >= '0' && t_[at_] <= '9' && digits < 19) {
            n = n * 10 + uint64_t(t_[at_++] - '0');
            ++digits;
        }
        return digits > 0;
    }
    bool expect(char c) {
        if (at_ >= t_.size() || t_[at_] != c) return false;
        ++at_;
        return true;
    }
    bool path(std::string& out) {
        uint64_t n = 0;
        if (!number(n) || !expect(':') || n > t_.size() - at_) return false;
        out = t_.substr(at_, size_t(n));
        at_ += size_t(n);
        return true;
    }

private:
    const std::string& t_;
    size_t at_ = 0;
};

bool decode(const std::string& text, Journal& j) {
    Reader r(text);
    std::string line;
    uint64_t count = 0;
    if (!r.line(line) || line != JournalHeader || !r.line(j.operation) || !r.path(j.worldName) || !r.expect('\n') ||
        !r.number(count) || !r.expect('\n') || count > MaxJournalEntries)
        return false;
    for (uint64_t i = 0; i < count; ++i) {
        Entry e;
        if (!r.number(e.size) || !r.expect(' ') || !r.path(e.temporary) || !r.expect(' ') || !r.path(e.target) ||
            !r.expect('\n'))
            return false;
        j.entries.push_back(std::move(e));
    }
    return r.line(line) && line == JournalEnd;
}

void say(const LogSink& log, const std::string& line) {
    if (log) log(line);
}

// Removes "<name>.tqtmp-…" beside the file `path` leads to.
void removeTemporariesOf(const std::string& path) {
    FileSystem& fs = fileSystem();
    const std::string target = fs.resolveLinks(path);
    const std::string folder = folderOf(target);
    const std::string prefix = nameOf(target) + TemporaryMarker;
    for (const std::string& name : fs.listFolder(folder))
        if (name.compare(0, prefix.size(), prefix) == 0) fs.remove(folder.empty() ? name : folder + "/" + name);
}

} // namespace

std::string journalFileFor(const std::string& worldFile) { return fileSystem().resolveLinks(worldFile) + ".journal"; }

CommitJournal::CommitJournal(const std::string& worldFile, const std::string& operation,
                             const std::vector<AtomicFile*>& files) {
    Journal j;
    j.operation = operation;
    j.worldName = worldFile;
    // Whole paths: the next run may start in another folder.
    auto whole = [](const std::string& p) {
        std::error_code ec;
        const std::string a = std::filesystem::absolute(p, ec).string();
        return ec ? p : a;
    };
    for (AtomicFile* f : files)
        if (f)
            j.entries.push_back(
                {fileSystem().fileSize(f->temporaryPath()), whole(f->temporaryPath()), whole(f->targetPath())});
    if (j.entries.size() < 2) return;
    // One the next run could not read would leave a killed run's renames half done.
    if (j.entries.size() > MaxJournalEntries)
        throw Error("Cannot replace " + std::to_string(j.entries.size()) + " files in one run; at most " +
                    std::to_string(MaxJournalEntries) + " are journaled");
    const std::string path = journalFileFor(worldFile);
    // Written whole under a temporary name and renamed: a journal is there complete or not at all.
    writeFileAtomic(path, encode(j));
    path_ = path;
}

CommitJournal::~CommitJournal() {
    if (path_.empty()) return;
    try {
        fileSystem().remove(path_);
    } catch (...) {
        // A journal whose temporaries are gone finishes as nothing the next time.
    }
}

void CommitJournal::finish() {
    if (path_.empty()) return;
    const std::string path = std::move(path_);
    path_.clear();
    fileSystem().remove(path);
}

void commitInOrder(const std::string& worldFile, const std::string& operation, const std::vector<AtomicFile*>& files) {
    CommitJournal journal(worldFile, operation, files);
    for (AtomicFile* f : files)
        if (f) f->commitPrepared();
    journal.finish();
}

void commitIndexThenStatics(const std::string& operation, AtomicFile& newIndex, AtomicFile& newStatics) {
    const std::string& indexPath = newIndex.targetPath();
    const bool hadIndex = fileExists(indexPath);
    const std::string oldIndex = hadIndex ? readWholeFile(indexPath) : std::string();
    newStatics.prepare();
    newIndex.prepare();
    CommitJournal journal(indexPath, operation, {&newIndex, &newStatics});
    newIndex.commitPrepared();
    try {
        newStatics.commitPrepared();
    } catch (...) {
        try {
            if (hadIndex) writeFileAtomic(indexPath, oldIndex);
            else fileSystem().remove(indexPath);
        } catch (...) {
            // The first failure is the one the user must see.
        }
        throw;
    }
    journal.finish();
}

bool finishInterruptedWork(const std::string& worldFile, const std::vector<std::string>& companions,
                           const LogSink& log) {
    FileSystem& fs = fileSystem();
    const std::string path = journalFileFor(worldFile);
    Journal j;
    const bool found = fs.exists(path);
    if (found) {
        if (!decode(readWholeFile(path), j)) {
            // Journals are renamed into place whole, so this one was not written by us.
            say(log, "Ignored " + path + ": it is not a journal this program can read");
            j = Journal{};
        } else {
            bool anyRenamed = false, anyIncomplete = false;
            for (const Entry& e : j.entries) {
                if (!fs.exists(e.temporary)) anyRenamed = true;
                else if (fs.fileSize(e.temporary) != e.size) anyIncomplete = true;
            }
            if (anyIncomplete && !anyRenamed) {
                for (const Entry& e : j.entries) fs.remove(e.temporary);
                say(log, "Undid an interrupted " + j.operation + " of " + j.worldName +
                             ": its new files were incomplete, the old ones are kept");
            } else {
                for (const Entry& e : j.entries)
                    if (fs.exists(e.temporary) && fs.fileSize(e.temporary) == e.size) fs.rename(e.temporary, e.target);
                say(log, "Finished an interrupted " + j.operation + " of " + j.worldName);
            }
        }
        fs.remove(path);
    }
    std::vector<std::string> files = companions;
    files.push_back(worldFile);
    files.push_back(path);
    for (const Entry& e : j.entries) files.push_back(e.target);
    for (const std::string& f : files)
        if (!f.empty()) removeTemporariesOf(f);
    return found;
}

} // namespace tq
