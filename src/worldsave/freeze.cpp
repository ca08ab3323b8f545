#include "worldsave/freeze.h"

#include "core/ascii_case.h"
#include "core/atomic_file.h"
#include "core/commit_journal.h"
#include "core/crowded_block.h"
#include "core/error.h"
#include "core/file_system.h"
#include "core/spaced_hex.h"
#include "core/world_lock.h"
#include "worldsave/extraction.h"
#include "worldsave/folder_save.h"
#include "worldsave/folder_save_text.h"
#include "worldsave/patch_text.h"
#include "worldsave/patch_writer.h"
#include "worldsave/world_save_store.h"
#include "worldsave/world_save_text.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tq {

bool SameWscAndPat(const std::string& patPath, const std::string& wscPath) {
    return asciiUpper(patPath) == asciiUpper(wscPath) || fileSystem().sameFile(patPath, wscPath);
}

void CheckWscAndPat(const std::string& patPath, const std::string& wscPath) {
    if (SameWscAndPat(patPath, wscPath)) throw Error(SameWscAndPatMessage);
}

void LoadAutoSelectList(const std::string& path, AutoSelectIds& ids) {
    ids.reset();
    const std::string text = readWholeFile(path);
    wstext::LineReader reader(text);
    wstext::Line line;
    aboutFile(path, [&] {
        while (reader.next(line)) {
            const std::string_view entry = wstext::trimBlanks(line.text);
            if (entry.empty() || entry[0] == '#') continue;
            // Only the first five characters ("0E ED") count; the rest is a comment.
            const int32_t id = SpacedHexToInt(wstext::trimBlanks(entry.substr(0, 5)), 2);
            ids.set(size_t(id) & 0xFFFF);
        }
    });
}

namespace {

std::string blockText(int x, int y) { return "XBlock: " + std::to_string(x) + " YBlock: " + std::to_string(y); }

constexpr size_t AppendBufferLimit = size_t(4) << 20;
constexpr uint64_t MaxStaticsEnd = 0x7FFFFFFFull;  // Start is a signed 32-bit offset

struct MarkedBlock {
    int x = 0, y = 0;
    size_t first = 0, count = 0;  // its new records in the sorted record list
};

// What the checks found and prepared: nothing the user owns has been written yet.
struct FreezePlan {
    std::vector<MarkedBlock> blocks;     // x-major
    LargeVector<TStaticRec> newRecords;  // by block, in block order
    std::unique_ptr<File> statics;       // open when a block is marked
    uint64_t staticsEnd = 0;             // statics0.mul's size before the freeze
    // What the world-save gives up; its files without the frozen items (the single file, or
    // the region files of a folder that lose items, in name order) stay here until the commit.
    FreezeTake take;
    std::optional<AtomicFile> newPat;  // the patch file with them, when asked
    // Flushes the new files to disk while the next ones are made. Last, so that it is gone
    // (its thread done) before the files it works on.
    BackgroundPrepare preparing;
};

} // namespace

bool WorldSaveCoversFacet(int facet, bool sharedWorld) { return facet == 0 || (facet == 1 && sharedWorld); }

std::string skippedItemsMessage(int64_t items, int facet) {
    return "Skipped " + std::to_string(items) + (items == 1 ? " item" : " items") + " not on facet " +
           std::to_string(facet) + " (the world-save's items stand on facet 0)";
}

namespace {

// A block's new index entry, before the commit makes it count.
struct NewEntry {
    int x, y;
    TStaticIndexRec entry;
};

using Say = std::function<void(const std::string&)>;

// ---- Checks. Nothing the user owns is written until all of them have passed. ----
void planBlocksAndPatch(const FreezeOptions& options, const StaticIndexBuffer& index,
                        const std::vector<uint32_t>& markedKeys, LargeVector<detail::ExtractedRecord>& records,
                        FreezePlan& plan);

void planFreeze(const FreezeOptions& options, WorldSaveStore& store, const StaticIndexBuffer& index,
                const Progress& progress, const LogSink& log, const Say& say, FreezePlan& plan) {
    RequireStaticIndexLength(options.staidxPath, index);
    if (options.writePat) CheckWscAndPat(options.patPath, options.worldSavePath);
    checkReplaceable(options.staidxPath);  // replaced last, after the statics have grown
    AutoSelectIds autoIds;
    if (options.rule == SelectionRule::Auto) LoadAutoSelectList(options.autoSelectPath, autoIds);
    if (options.announce) say(FreezingInProgressMessage);

    progress.report(0);
    if (const auto found = store.foundMessage()) say(*found);
    if (options.writePat) store.checkPatFile(options.patPath);
    FreezeTake& take = plan.take;
    const TakeRequest request{options.rule, &autoIds, &index.world(), options.sharedWorld, &plan.preparing};
    store.takeItems(request, log, progress, take);
    if (take.items.empty() && take.markedBlocks.empty()) return;

    // The marked blocks in x-major order; an item's pass is its block's place in that order.
    // Counted over the world's blocks (a few hundred thousand) rather than sorted.
    LargeVector<uint32_t> passOf(size_t(index.world().blockCount()), 0);
    for (const TakenItem& item : take.items) passOf[item.block] = 1;
    for (const uint32_t block : take.markedBlocks) passOf[block] = 1;
    std::vector<uint32_t> markedKeys;
    for (size_t block = 0; block < passOf.size(); ++block)
        if (passOf[block]) {
            passOf[block] = uint32_t(markedKeys.size());
            markedKeys.push_back(uint32_t(block));
        }
    LargeVector<detail::ExtractedRecord> records;
    records.reserve(take.items.size());
    for (const TakenItem& item : take.items) records.push_back({passOf[item.block], item.rec});
    take.items.clear();
    take.items.shrink_to_fit();
    // Every marked block's old run must be readable and must leave room for its new records.
    plan.statics = openFile(options.staticsPath, OpenMode::ReadWrite);
    plan.staticsEnd = plan.statics->size();
    planBlocksAndPatch(options, index, markedKeys, records, plan);
}

// The new records grouped by block, every marked block checked against its old run, and the
// patch file's new text prepared.
void planBlocksAndPatch(const FreezeOptions& options, const StaticIndexBuffer& index,
                        const std::vector<uint32_t>& markedKeys, LargeVector<detail::ExtractedRecord>& records,
                        FreezePlan& plan) {
    const WorldGeometry& world = index.world();
    // Grouped by block, in block order; one block's items stay in file order.
    std::vector<size_t> firstOf(markedKeys.size() + 1, 0);
    for (const auto& r : records) ++firstOf[r.pass + 1];
    for (size_t i = 1; i < firstOf.size(); ++i) firstOf[i] += firstOf[i - 1];
    {
        LargeVector<TStaticRec> grouped(records.size());
        std::vector<size_t> next(firstOf.begin(), firstOf.end() - 1);
        for (const auto& r : records) grouped[next[r.pass]++] = r.rec;
        plan.newRecords.swap(grouped);
        records.clear();
        records.shrink_to_fit();
    }

    uint64_t end = plan.staticsEnd;
    for (size_t i = 0; i < markedKeys.size(); ++i) {
        MarkedBlock b{int(markedKeys[i]) / world.blocksHigh, int(markedKeys[i]) % world.blocksHigh, firstOf[i],
                      firstOf[i + 1] - firstOf[i]};
        const TStaticIndexRec& entry = index.at(b.x, b.y);
        // The old run's size is weighed below together with the new records.
        int64_t old = 0;
        try {
            old = CheckIndexEntry(entry, plan.staticsEnd, RunCapacity::LeftToCaller);
        } catch (Error& e) {
            e.setPathIfMissing(options.staticsPath);
            throw;
        }
        if (old + int64_t(b.count) > StaticBlockCapacity)
            throw Error("Block (" + std::to_string(b.x) + ", " + std::to_string(b.y) + ") would hold " +
                        std::to_string(old + int64_t(b.count)) + " statics, but a block can hold at most " +
                        std::to_string(StaticBlockCapacity) + ". Nothing was changed.");
        if (end > MaxStaticsEnd) throw Error("statics0.mul has grown past 2 GB and cannot take more records");
        end += uint64_t(old + int64_t(b.count)) * StaticRecSize;
        plan.blocks.push_back(b);
    }

    detail::PatchNumbers numbers;
    if (options.writePat && !plan.newRecords.empty()) {
        const bool exists = fileExists(options.patPath);
        const std::string oldPat = exists ? readWholeFile(options.patPath) : std::string();
        const detail::AppendPlan patPlan = aboutFile(options.patPath, [&] { return detail::planAppend(exists, oldPat); });
        numbers = patPlan.numbers;
        detail::checkNumbersLeft(numbers, plan.newRecords.size());
        plan.newPat.emplace(options.patPath);
        wstext::TextWriter writer(plan.newPat->file(), oldPat);
        detail::writeLinesBeforeEof(oldPat, patPlan, plan.newPat->file(), writer);
        for (const MarkedBlock& b : plan.blocks)
            for (size_t i = b.first; i < b.first + b.count; ++i)
                detail::writeItemSection(writer, numbers, plan.newRecords[i], b.x, b.y);
        detail::writeEofTrailer(writer);
        writer.flush();
        plan.preparing.add(*plan.newPat);
    }
}

// The old runs of a stretch of marked blocks, read in offset order: runs that lie close
// together in statics0.mul come in one read, so a freeze of many blocks costs a few large
// reads instead of a seek and a read per block.
class OldRuns {
public:
    OldRuns(File& statics, const StaticIndexBuffer& index) : statics_(statics), index_(index) {}

    // Reads the runs of blocks [first, end) of `blocks`; their bytes stay until the next load.
    void load(const std::vector<MarkedBlock>& blocks, size_t first, size_t end) {
        first_ = first;
        slots_.assign(end - first, Slot{});
        std::vector<size_t> order;
        size_t total = 0;
        for (size_t i = first; i < end; ++i) {
            const TStaticIndexRec& e = index_.at(blocks[i].x, blocks[i].y);
            if (e.Start == -1 || e.Length <= 0) continue;
            slots_[i - first] = Slot{total, size_t(e.Length)};
            total += size_t(e.Length);
            order.push_back(i - first);
        }
        bytes_.resize(total);
        auto startOf = [&](size_t k) { return uint64_t(index_.at(blocks[first + k].x, blocks[first + k].y).Start); };
        std::sort(order.begin(), order.end(), [&](size_t a, size_t b) { return startOf(a) < startOf(b); });
        for (size_t i = 0; i < order.size();) {
            // One read covers runs while the gaps between them stay small.
            const uint64_t spanStart = startOf(order[i]);
            uint64_t spanEnd = spanStart + slots_[order[i]].length;
            size_t j = i + 1;
            for (; j < order.size(); ++j) {
                const uint64_t start = startOf(order[j]), stop = start + slots_[order[j]].length;
                if (start > spanEnd + MaxGap || std::max(stop, spanEnd) - spanStart > MaxSpan) break;
                spanEnd = std::max(spanEnd, stop);
            }
            span_.resize(size_t(spanEnd - spanStart));
            statics_.seek(spanStart);
            statics_.read(span_.data(), span_.size());
            for (; i < j; ++i) {
                const Slot& slot = slots_[order[i]];
                std::memcpy(bytes_.data() + slot.at, span_.data() + (startOf(order[i]) - spanStart), slot.length);
            }
        }
    }

    // Block `i` (of the loaded stretch) decoded into `run`.
    void decode(size_t i, TStaticBlock& run) const {
        const Slot& slot = slots_[i - first_];
        run.Count = uint16_t(slot.length / StaticRecSize);
        for (size_t k = 0; k < run.Count; ++k)
            decodeStaticRec(bytes_.data() + slot.at + k * StaticRecSize, run.Records[k]);
    }

    static constexpr size_t BatchBytes = size_t(4) << 20;

private:
    static constexpr uint64_t MaxGap = uint64_t(64) << 10;
    static constexpr uint64_t MaxSpan = uint64_t(8) << 20;
    struct Slot {
        size_t at = 0, length = 0;
    };
    File& statics_;
    const StaticIndexBuffer& index_;
    size_t first_ = 0;
    std::vector<Slot> slots_;
    LargeVector<uint8_t> bytes_, span_;
};

// ---- Append one new run per marked block, in block order. Until the index is saved
// these runs are unreferenced, so a failure here costs nothing but file size. ----
std::vector<NewEntry> appendNewRuns(const FreezeOptions& options, const StaticIndexBuffer& index,
                                    const Progress& progress, const Say& say, FreezePlan& plan) {
    std::vector<NewEntry> changed;
    changed.reserve(plan.blocks.size());
    if (plan.blocks.empty()) return changed;
    LargeVector<uint8_t> buffer;
    buffer.reserve(AppendBufferLimit + StaticBlockMaxBytes);
    uint64_t written = plan.staticsEnd;  // file size after the flushed part of the buffer
    File& statics = *plan.statics;
    auto flush = [&] {
        if (buffer.empty()) return;
        statics.seek(written);
        statics.write(buffer.data(), buffer.size());
        statics.startWriteback();
        written += buffer.size();
        buffer.clear();
    };
    OldRuns oldRuns(statics, index);
    size_t loadedEnd = 0;
    TStaticBlock run;
    const int total = int(plan.blocks.size());
    int done = 0;
    for (size_t n = 0; n < plan.blocks.size(); ++n) {
        const MarkedBlock& b = plan.blocks[n];
        if (n == loadedEnd) {
            // The next stretch of blocks whose old runs together fill a batch (at least one block).
            size_t bytes = 0;
            loadedEnd = n;
            do {
                const TStaticIndexRec& e = index.at(plan.blocks[loadedEnd].x, plan.blocks[loadedEnd].y);
                if (e.Start != -1 && e.Length > 0) bytes += size_t(e.Length);
                ++loadedEnd;
            } while (loadedEnd < plan.blocks.size() && bytes < OldRuns::BatchBytes);
            oldRuns.load(plan.blocks, n, loadedEnd);
        }
        say("Extracting from WSC... " + blockText(b.x, b.y));
        say("Appending to Statics... " + blockText(b.x, b.y));
        TStaticIndexRec entry = index.at(b.x, b.y);
        oldRuns.decode(n, run);
        for (size_t i = b.first; i < b.first + b.count; ++i) run.Records[run.Count++] = plan.newRecords[i];
        entry.Start = int32_t(written + buffer.size());
        entry.Length = int32_t(run.Count) * StaticRecSize;
        warnIfCrowded(say, b.x, b.y, run.Count);
        const size_t at = buffer.size();
        buffer.resize(at + size_t(run.Count) * StaticRecSize);
        for (int i = 0; i < run.Count; ++i)
            encodeStaticRec(run.Records[size_t(i)], buffer.data() + at + size_t(i) * StaticRecSize);
        changed.push_back({b.x, b.y, entry});
        if (options.writePat) {
            say("Appending to PAT-File... " + blockText(b.x, b.y));
            if (b.count == 0) say(NothingToDoMessage);
        }
        if (buffer.size() >= AppendBufferLimit) flush();
        ++done;
        progress.report(done * 90 / total);
        progress.pumpEvents();
    }
    flush();
    // Flushed while the index is made; the index is renamed only after it is on disk.
    plan.preparing.add(std::move(plan.statics));
    return changed;
}

// The world-save's new files take their places. Each rename deletes the file it replaces,
// which the system does far faster for many files side by side than one after another (a
// save folder's 96 region files: 610 ms one by one on a busy machine, 240 ms four at a
// time), so several files are renamed at once. As one after another: once a rename fails no
// further one is begun, the files renamed are logged in their order, and the first failure
// in that order is what the caller sees.
void commitSaveFiles(const std::vector<std::unique_ptr<AtomicFile>>& files, const WorldSaveStore& store,
                     const Say& say) {
    constexpr size_t Side = 4;
    std::vector<std::exception_ptr> failed(files.size());
    std::vector<char> renamed(files.size(), 0);
    std::atomic<size_t> next{0};
    std::atomic<bool> stop{false};
    const auto work = [&] {
        for (size_t i; !stop && (i = next++) < files.size();) {
            try {
                files[i]->commitPrepared();
                renamed[i] = 1;
            } catch (...) {
                failed[i] = std::current_exception();
                stop = true;
            }
        }
    };
    {
        std::vector<std::thread> others;
        try {
            for (size_t t = 1; t < std::min(Side, files.size()); ++t) others.emplace_back(work);
        } catch (...) {
            // No thread to be had: the ones there are (at least this one) do the work.
        }
        work();
        for (std::thread& t : others) t.join();
    }
    for (size_t i = 0; i < files.size(); ++i) {
        if (failed[i]) {
            for (size_t j = i + 1; j < files.size(); ++j)
                if (renamed[j])
                    if (const auto rewrote = store.rewroteMessage(*files[j])) say(*rewrote);
            std::rethrow_exception(failed[i]);
        }
        if (renamed[i])
            if (const auto rewrote = store.rewroteMessage(*files[i])) say(*rewrote);
    }
}

// ---- Commit: the index first (it makes the new runs count), then the world-save
// without the frozen items, then the patch file. Between the steps an item may stand
// both in the statics and in the world-save, never in neither. ----
void commitFreeze(const FreezeOptions& options, const WorldSaveStore& store, const std::vector<NewEntry>& changed,
                  StaticIndexBuffer& index, const Progress& progress, const Say& say, FreezePlan& plan) {
    say("Writing staidx file...");
    std::vector<TStaticIndexRec> previous;
    previous.reserve(changed.size());
    for (const NewEntry& c : changed) {
        previous.push_back(index.at(c.x, c.y));
        index.at(c.x, c.y) = c.entry;
    }
    std::optional<AtomicFile> newIndex;
    std::optional<CommitJournal> journal;
    try {
        newIndex.emplace(options.staidxPath);
        WriteStaticIndex(newIndex->file(), index, progress);
        newIndex->prepare();
        plan.preparing.wait();
        // Journaled: a run killed between the renames is finished by the next one.
        std::vector<AtomicFile*> files{&*newIndex};
        for (const auto& f : plan.take.files) files.push_back(f.get());
        files.push_back(plan.newPat ? &*plan.newPat : nullptr);
        journal.emplace(options.staidxPath, "freeze", files);
        newIndex->commitPrepared();
    } catch (...) {
        for (size_t i = 0; i < changed.size(); ++i) index.at(changed[i].x, changed[i].y) = previous[i];
        throw;
    }
    commitSaveFiles(plan.take.files, store, say);
    if (plan.newPat) plan.newPat->commitPrepared();
    journal->finish();
    say("done...");
    progress.report(100);
    say(FreezingCompletedMessage);
}

} // namespace

void FreezeWorld(const FreezeOptions& options, StaticIndexBuffer& index, const Progress& progress,
                 const LogSink& log) {
    const Say say = [&log](const std::string& line) {
        if (log) log(line);
    };
    const std::unique_ptr<WorldSaveStore> store = openWorldSaveStore(options.worldSavePath);
    std::vector<std::string> companions = worldSaveFiles(store->save());
    companions.push_back(options.staticsPath);
    companions.push_back(options.writePat ? options.patPath : "");
    // One writer per world; a run killed earlier is finished first.
    const WorldLock lock({options.staidxPath, worldSaveLockPath(store->save())}, "freeze", companions, log);
    FreezePlan plan;
    planFreeze(options, *store, index, progress, log, say, plan);
    const std::vector<NewEntry> changed = appendNewRuns(options, index, progress, say, plan);
    commitFreeze(options, *store, changed, index, progress, say, plan);
}

} // namespace tq
