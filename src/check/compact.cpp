#include "check/compact.h"

#include "check/check_statics.h"
#include "core/atomic_file.h"
#include "core/commit_journal.h"
#include "core/crowded_block.h"
#include "core/facets.h"
#include "core/file_system.h"
#include "core/static_index.h"
#include "core/world_lock.h"
#include "diff/buffered_io.h"

#include <cstring>
#include <memory>
#include <vector>

namespace tq {

namespace {

// What compact may leave as it is: the client's limit is only a warning, and with
// --drop-beyond-limit the blocks over either limit are the ones it trims.
bool refuses(const Finding& f, bool dropBeyondLimit) {
    if (f.kind == KindOverClientLimit) return false;
    if (f.kind == KindOverProgramLimit) return !dropBeyondLimit;
    return true;
}

} // namespace

CompactResult CompactStatics(const CompactOptions& options, const Progress& progress, const LogSink& log) {
    const WorldLock lock({options.staidxPath}, "compact", {options.staticsPath}, log);
    auto index = newStaticIndex();
    LoadStaticIndex(options.staidxPath, *index, {}, options.facet);
    const WorldGeometry& world = index->world();

    progress.setMessage("Checking " + options.staidxPath);
    CheckReport found;
    CheckStaticIndex(options.staidxPath, *index, options.staticsPath, found, {});
    CheckReport refused;
    refused.checked(options.staidxPath, "static index, facet " + std::to_string(world.facet) + ", " + world.blocksText() +
                                            " blocks");
    refused.checked(options.staticsPath, "statics, facet " + std::to_string(world.facet));
    for (const Finding& f : found.findings())
        if (refuses(f, options.dropBeyondLimit)) refused.add(f);
    if (!refused.clean()) throw CompactRefused(std::move(refused), options.staidxPath);
    RequireStaticIndexLength(options.staidxPath, *index);

    CompactResult result;
    result.bytesBefore = fileSystem().fileSize(options.staticsPath);
    auto newIndex = newStaticIndex(world);
    progress.setMessage("Compacting " + options.staticsPath);
    AtomicFile newStatics(options.staticsPath);
    {
        auto oldStatics = openFile(options.staticsPath, OpenMode::Read);
        WindowedReader reader(*oldStatics, size_t(4) << 20);
        AppendWriter out(newStatics.file(), 0, size_t(4) << 20);
        std::vector<uint8_t> run;
        for (int x = 0; x < world.blocksWide; ++x) {
            for (int y = 0; y < world.blocksHigh; ++y) {
                const TStaticIndexRec& e = index->at(x, y);
                TStaticIndexRec& n = newIndex->at(x, y);
                if (e.Start == -1 || e.Length == 0) {
                    n = TStaticIndexRec{-1, -1, 0};
                    continue;
                }
                const int64_t records = e.Length / StaticRecSize;
                int64_t kept = records;
                if (options.dropBeyondLimit && records > ClientStaticsPerBlock) {
                    kept = ClientStaticsPerBlock;
                    result.trimmed.push_back({x, y, records});
                }
                run.resize(size_t(kept) * StaticRecSize);
                reader.read(uint64_t(e.Start), run.data(), run.size());
                n = TStaticIndexRec{int32_t(out.position()), int32_t(run.size()), e.Extra};
                out.append(run.data(), run.size());
            }
            progress.report(x * 90 / world.blocksWide);
            progress.pumpEvents();
        }
        out.flush();
        result.bytesAfter = out.position();
    }
    AtomicFile newIndexFile(options.staidxPath);
    WriteStaticIndex(newIndexFile.file(), *newIndex);
    // The index first, as applying a package does: a run killed between the renames leaves
    // the journal, and the next run finishes the statics' rename.
    commitIndexThenStatics("compact", newIndexFile, newStatics);
    progress.report(100);

    for (const TrimmedBlock& t : result.trimmed)
        if (log)
            log("Dropped " + groupedNumber(uint64_t(t.statics - ClientStaticsPerBlock)) + " statics of block (" +
                std::to_string(t.x) + ", " + std::to_string(t.y) + ") beyond the first " +
                std::to_string(ClientStaticsPerBlock) + " (it held " + groupedNumber(uint64_t(t.statics)) + ")");
    if (log)
        log("Compacted " + options.staticsPath + ": " + groupedNumber(result.bytesBefore) + " bytes before, " +
            groupedNumber(result.bytesAfter) + " after (" + groupedNumber(result.bytesBefore - result.bytesAfter) +
            " bytes given back)");
    return result;
}

} // namespace tq
