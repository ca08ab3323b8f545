#include "worldsave/freeze.h"

#include "core/atomic_file.h"
#include "core/commit_journal.h"
#include "core/error.h"
#include "core/file_system.h"
#include "core/named_tiles.h"
#include "core/spaced_hex.h"
#include "core/world_lock.h"
#include "worldsave/extraction.h"
#include "worldsave/patch_text.h"
#include "worldsave/patch_writer.h"
#include "worldsave/world_save_text.h"

#include <algorithm>
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
    while (reader.next(line)) {
        const std::string_view entry = wstext::trimBlanks(line.text);
        if (entry.empty() || entry[0] == '#') continue;
        // Only the first five characters ("0E ED") count; the rest is a comment.
        const int32_t id = SpacedHexToInt(wstext::trimBlanks(entry.substr(0, 5)), 2);
        ids.set(size_t(id) & 0xFFFF);
    }
}

namespace {

std::string blockText(int x, int y) { return "XBlock: " + std::to_string(x) + " YBlock: " + std::to_string(y); }

constexpr size_t AppendBufferLimit = size_t(4) << 20;
constexpr uint64_t MaxStaticsEnd = 0x7FFFFFFFull;  // Start is a signed 32-bit offset

struct MarkedBlock {
    int x = 0, y = 0;
    size_t first = 0, count = 0;  // its new records in the sorted record list
};

} // namespace

void FreezeWorld(const FreezeOptions& options, StaticIndexBuffer& index, const Progress& progress,
                 const LogSink& log) {
    auto say = [&log](const std::string& line) {
        if (log) log(line);
    };

    // One writer per world; a run killed earlier is finished first.
    const WorldLock lock({options.staidxPath}, "freeze",
                         {options.staticsPath, options.worldSavePath, options.writePat ? options.patPath : ""}, log);

    // ---- Checks. Nothing the user owns is written until all of them have passed. ----
    if (options.writePat) CheckWscAndPat(options.patPath, options.worldSavePath);
    checkReplaceable(options.staidxPath);  // replaced last, after the statics have grown
    AutoSelectIds autoIds;
    if (options.rule == RuleAuto) LoadAutoSelectList(options.autoSelectPath, autoIds);
    if (options.announce) say(FreezingInProgressMessage);

    progress.report(0);
    const std::string worldSave = readWholeFile(options.worldSavePath);
    auto table = newSelectionTable();
    detail::TextMap map;
    detail::selectItems(worldSave, *table, options.rule, autoIds, log, progress, &map);

    // The marked blocks in x-major order; an item's pass is its block's place in that order.
    std::vector<uint32_t> markedKeys;
    for (size_t n = 0; n < 65536; ++n) {
        const TSelectionEntry& e = (*table)[n];
        if (e.Selected != 1) continue;
        if (!validBlock(e.BlockX, e.BlockY))
            throw Error("Invalid item in patch file! (Item#: " + std::to_string(n) + ")");
        markedKeys.push_back(uint32_t(blockNumber(e.BlockX, e.BlockY)));
    }
    std::sort(markedKeys.begin(), markedKeys.end());
    markedKeys.erase(std::unique(markedKeys.begin(), markedKeys.end()), markedKeys.end());
    std::vector<uint32_t> targets(65536, detail::NoTarget);
    for (size_t n = 0; n < 65536; ++n) {
        const TSelectionEntry& e = (*table)[n];
        if (e.Selected != 1) continue;
        const uint32_t key = uint32_t(blockNumber(e.BlockX, e.BlockY));
        targets[n] = uint32_t(std::lower_bound(markedKeys.begin(), markedKeys.end(), key) - markedKeys.begin());
    }

    std::vector<MarkedBlock> blocks;
    std::vector<detail::ExtractedRecord> records;
    std::vector<TStaticRec> newRecords;  // by block, in block order
    std::unique_ptr<File> statics;
    std::optional<AtomicFile> newWorldSave;
    std::optional<AtomicFile> newPat;
    uint64_t staticsEnd = 0;

    if (!markedKeys.empty()) {
        // Every marked block's old run must be readable and must leave room for its new records.
        statics = openFile(options.staticsPath, OpenMode::ReadWrite);
        staticsEnd = statics->size();

        newWorldSave.emplace(options.worldSavePath);
        {
            wstext::TextWriter writer(newWorldSave->file(), worldSave);
            detail::extractItems(worldSave, targets, writer, records, progress, &map);
        }
        // Grouped by block, in block order; one block's items stay in file order.
        std::vector<size_t> firstOf(markedKeys.size() + 1, 0);
        for (const auto& r : records) ++firstOf[r.pass + 1];
        for (size_t i = 1; i < firstOf.size(); ++i) firstOf[i] += firstOf[i - 1];
        {
            std::vector<TStaticRec> grouped(records.size());
            std::vector<size_t> next(firstOf.begin(), firstOf.end() - 1);
            for (const auto& r : records) grouped[next[r.pass]++] = r.rec;
            newRecords.swap(grouped);
            records.clear();
            records.shrink_to_fit();
        }

        uint64_t end = staticsEnd;
        for (size_t i = 0; i < markedKeys.size(); ++i) {
            MarkedBlock b{int(markedKeys[i]) / BlocksY, int(markedKeys[i]) % BlocksY, firstOf[i],
                          firstOf[i + 1] - firstOf[i]};
            const TStaticIndexRec& entry = index.at(b.x, b.y);
            int64_t old = 0;
            if (entry.Start != -1) {
                if (entry.Length % StaticRecSize != 0) throw Error(LengthNotMultipleMessage);
                if (entry.Start < 0 || entry.Length < 0 ||
                    uint64_t(entry.Start) + uint64_t(entry.Length) > staticsEnd)
                    throw Error(msg::ReadBeyondEnd, options.staticsPath);
                old = entry.Length / StaticRecSize;
            }
            if (old + int64_t(b.count) > StaticBlockCapacity)
                throw Error("Block (" + std::to_string(b.x) + ", " + std::to_string(b.y) + ") would hold " +
                            std::to_string(old + int64_t(b.count)) + " statics, but a block can hold at most " +
                            std::to_string(StaticBlockCapacity) + ". Nothing was changed.");
            if (end > MaxStaticsEnd) throw Error("statics0.mul has grown past 2 GB and cannot take more records");
            end += uint64_t(old + int64_t(b.count)) * StaticRecSize;
            blocks.push_back(b);
        }

        detail::PatchNumbers numbers;
        if (options.writePat && !newRecords.empty()) {
            const bool exists = fileExists(options.patPath);
            const std::string oldPat = exists ? readWholeFile(options.patPath) : std::string();
            const detail::AppendPlan plan = detail::planAppend(exists, oldPat);
            numbers = plan.numbers;
            detail::checkNumbersLeft(numbers, newRecords.size());
            newPat.emplace(options.patPath);
            wstext::TextWriter writer(newPat->file(), oldPat);
            detail::writeLinesBeforeEof(oldPat, plan, newPat->file(), writer);
            for (const MarkedBlock& b : blocks)
                for (size_t i = b.first; i < b.first + b.count; ++i)
                    detail::writeItemSection(writer, numbers, newRecords[i], b.x, b.y);
            detail::writeEofTrailer(writer);
            writer.flush();
            newPat->prepare();
        }
        newWorldSave->prepare();
    }

    // ---- Append one new run per marked block, in block order. Until the index is saved
    // these runs are unreferenced, so a failure here costs nothing but file size. ----
    struct NewEntry {
        int x, y;
        TStaticIndexRec entry;
    };
    std::vector<NewEntry> changed;
    changed.reserve(blocks.size());
    if (!blocks.empty()) {
        std::vector<uint8_t> buffer;
        buffer.reserve(AppendBufferLimit + StaticBlockMaxBytes);
        uint64_t written = staticsEnd;  // file size after the flushed part of the buffer
        auto flush = [&] {
            if (buffer.empty()) return;
            statics->seek(written);
            statics->write(buffer.data(), buffer.size());
            written += buffer.size();
            buffer.clear();
        };
        TStaticBlock run;
        const int total = int(blocks.size());
        int done = 0;
        for (const MarkedBlock& b : blocks) {
            say("Extracting from WSC... " + blockText(b.x, b.y));
            say("Appending to Statics... " + blockText(b.x, b.y));
            TStaticIndexRec entry = index.at(b.x, b.y);
            ReadBlockStatics(*statics, entry, run);
            for (size_t i = b.first; i < b.first + b.count; ++i) run.Records[run.Count++] = newRecords[i];
            entry.Start = int32_t(written + buffer.size());
            entry.Length = int32_t(run.Count) * StaticRecSize;
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
        statics->sync();
        statics->close();
    }

    // ---- Commit: the index first (it makes the new runs count), then the world-save
    // without the frozen items, then the patch file. Between the steps an item may stand
    // both in the statics and in the world-save, never in neither. ----
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
        // Journaled: a run killed between the renames is finished by the next one.
        journal.emplace(options.staidxPath, "freeze",
                        std::vector<AtomicFile*>{&*newIndex, newWorldSave ? &*newWorldSave : nullptr,
                                                 newPat ? &*newPat : nullptr});
        newIndex->commitPrepared();
    } catch (...) {
        for (size_t i = 0; i < changed.size(); ++i) index.at(changed[i].x, changed[i].y) = previous[i];
        throw;
    }
    if (newWorldSave) newWorldSave->commitPrepared();
    if (newPat) newPat->commitPrepared();
    journal->finish();
    say("done...");
    progress.report(100);
    say(FreezingCompletedMessage);
}

} // namespace tq
