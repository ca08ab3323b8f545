#include "core/atomic_file.h"
#include "core/bytes.h"
#include "core/commit_journal.h"
#include "core/crowded_block.h"
#include "core/error.h"
#include "core/facets.h"
#include "core/file_system.h"
#include "core/map_file.h"
#include "core/world_lock.h"
#include "diff/buffered_io.h"
#include "diff/compact_package.h"
#include "diff/diff.h"
#include "diff/diff_package.h"
#include "diff/package_reader.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace tq {

namespace {

// Fresh memory is costly to touch on some virtual machines (a page fault each 4 KB): the
// buffer is no larger than large writes need.
constexpr size_t StaticsBufferSize = size_t(1) << 20;

// Appends a block's records to the statics being built; Extra is the caller's business.
void appendRun(AppendWriter& statics, const uint8_t* bytes, size_t n, TStaticIndexRec& entry) {
    if (statics.position() + n > uint64_t(std::numeric_limits<int32_t>::max()))
        throw Error("statics0.mul has grown past 2 GB and cannot take more records");
    entry.Start = int32_t(statics.position());
    entry.Length = int32_t(n);
    statics.append(bytes, n);
}

// An unchanged block is copied byte for byte from the original statics, with the checks
// of ReadBlockStatics (an entry with Start -1 gives an empty run). A bad entry is about the
// original index, `origIndexPath`.
void copyOriginalRun(WindowedReader& orig, const TStaticIndexRec& o, AppendWriter& statics, TStaticIndexRec& n,
                     uint8_t* buffer, const std::string& origIndexPath) {
    size_t length = 0;
    if (o.Start != -1) {
        try {
            CheckIndexEntry(o);
        } catch (Error& e) {
            e.setPath(origIndexPath);
            throw;
        }
        length = size_t(o.Length);
        orig.read(uint64_t(o.Start), buffer, length);
    }
    appendRun(statics, buffer, length, n);
}

void applyStaticsPart(const DiffPaths& paths, const WorldGeometry& world, const CheckedPackage& p,
                      WindowedReader& package, std::unique_ptr<File> origStatics, const Progress& progress,
                      const LogSink& log) {
    auto orig = newStaticIndex(world);
    LoadStaticIndex(paths.origStaIdx, *orig, progress, world.facet);
    const uint32_t crc = StaticsCrc(*orig, progress);
    if (crc != uint32_t(p.header.OrigIndexCrc)) throw DiffCrcError(crc, uint32_t(p.header.OrigIndexCrc));

    // The new statics and index are built under temporary names; the old pair stays whole
    // (and readable, should the original and modified names be one file) until both are done.
    AtomicFile newStatics(paths.modStatics);

    // The table was read and checked with the package; this step keeps the window's steps.
    progress.setMessage("Applying Diff (Reading statics index)");
    for (int x = 0; x < world.blocksWide; ++x) {
        progress.report(x * 100 / world.blocksWide);
        progress.pumpEvents();
    }

    progress.setMessage("Applying Diff (Creating statics)");
    auto index = newStaticIndex(world);
    std::fill(index->entries.begin(), index->entries.end(), TStaticIndexRec{-1, -1, -1});
    WindowedReader origReader(*origStatics);
    AppendWriter statics(newStatics.file(), 0, StaticsBufferSize);
    std::vector<uint8_t> run(StaticBlockMaxBytes);
    for (int x = 0; x < world.blocksWide; ++x) {
        for (int y = 0; y < world.blocksHigh; ++y) {
            const TStaticIndexRec& o = orig->at(x, y);
            const TDiffStaticsEntry e = ResolveCompactEntry(p.staticsEntry(world.blockNumber(x, y)), o);
            TStaticIndexRec& n = index->at(x, y);
            if (e.unchanged()) {
                n.Extra = o.Extra;
                if (o.Length != 0) copyOriginalRun(origReader, o, statics, n, run.data(), paths.origStaIdx);
            } else if (e.emptied()) {
                n.Extra = o.Extra;
            } else {
                // A block from the package keeps the Extra of -1 from the initial fill. Its
                // records are copied as they are: the entry was checked to be whole records.
                const size_t length = size_t(e.Length);
                const uint8_t* records = run.data();
                if (p.compact) records = p.staticsPart.data.data() + e.Pos;
                else package.read(uint64_t(e.Pos), run.data(), length);
                appendRun(statics, records, length, n);
                warnIfCrowded(log, x, y, int(length / StaticRecSize));
            }
        }
        progress.report(x * 100 / world.blocksWide);
        progress.pumpEvents();
    }
    statics.flush();
    origStatics->close();

    AtomicFile newIndex(paths.modStaIdx);
    // In one write, from the entries themselves where their layout is the file's.
    WriteStaticIndex(newIndex.file(), *index, progress);

    // Both files are complete on disk before either replaces the old one; the index goes
    // first. (Were a crash to part them, leaving the new index beside the old statics: with
    // separate originals, applying again mends that; with the originals in these very
    // files, the checksum then no longer matches, so the old statics are never copied
    // through an index not theirs. The other order would pass the checksum and copy garbage.)
    commitIndexThenStatics("apply", newIndex, newStatics);
}

void applyMapPart(const WorldGeometry& world, const CheckedPackage& p, WindowedReader& package, File& origMap,
                  File& modMap, const Progress& progress) {
    // As for the statics: the table was read and checked with the package.
    progress.setMessage("Applying Diff (Reading map index)");
    for (int x = 0; x < world.blocksWide; ++x) {
        progress.report(x * 100 / world.blocksWide);
        progress.pumpEvents();
    }

    progress.setMessage("Applying Diff (Creating map)");
    // In place, in file order: a column of the original with the package's blocks laid over
    // it goes to the same place in the modified map. What is written stays written, so a
    // second run of the same package finishes an interrupted one.
    std::vector<uint8_t> column(world.mapColumnBytes());
    origMap.seek(0);
    for (int x = 0; x < world.blocksWide; ++x) {
        origMap.read(column.data(), column.size());
        for (int y = 0; y < world.blocksHigh; ++y) {
            const TDiffMapEntry pos = p.mapEntry(world.blockNumber(x, y));
            if (pos == -1) continue;
            // The block's 196 bytes go in as they are.
            uint8_t* to = column.data() + size_t(y) * MapBlockSize;
            if (p.compact) std::memcpy(to, p.mapPart.data.data() + pos, MapBlockSize);
            else package.read(uint64_t(pos), to, MapBlockSize);
        }
        modMap.seek(uint64_t(x) * world.mapColumnBytes());
        modMap.write(column.data(), column.size());
        progress.report(x * 100 / world.blocksWide);
        progress.pumpEvents();
    }
}

} // namespace

std::string PackageWorldMismatchMessage(const TDiffHeader& header, const WorldGeometry& files) {
    const WorldGeometry made = DiffHeaderWorld(header);
    const std::string madeFor = header.DiffVersion == ClassicDiffVersion
                                    ? made.blocksText() + " blocks (a version 2 package)"
                                    : made.blocksText() + " blocks (facet " + std::to_string(made.facet) + ")";
    return "This package was made for a world of " + madeFor + ", but the original files are of " +
           files.blocksText() + " blocks";
}

ApplyDiffResult ApplyDiff(const DiffPaths& paths, const std::string& packageName, const Progress& progress,
                          const LogSink& log) {
    if (!IsDiffPackageName(packageName)) throw DiffPackageNameError();
    const WorldLock lock({paths.modStaIdx, paths.modMap}, "apply", {paths.modStatics});
    auto packageFile = openFile(packageName, OpenMode::Read);
    WindowedReader package(*packageFile);
    const CheckedPackage p = [&] {
        try {
            return ReadCheckedPackage(package);
        } catch (Error& e) {
            e.setPathIfMissing(packageName);  // "Invalid TQD file: …" is about the package
            throw;
        }
    }();
    const bool hasStatics = p.header.StaticsIndexPos != -1;
    const bool hasMap = p.header.MapIndexPos != -1;
    const WorldGeometry world = DiffWorld(paths, hasStatics, hasMap, true);
    if (!world.sameSize(p.world)) throw Error(PackageWorldMismatchMessage(p.header, world));

    // Every input is opened, and the map sizes checked, before anything is written: a
    // missing or short file must not leave the statics replaced and the map untouched.
    std::unique_ptr<File> origStatics, origMap, modMap;
    if (hasStatics) origStatics = openFile(paths.origStatics, OpenMode::Read);
    if (hasMap) {
        origMap = openMapFile(paths.origMap, OpenMode::Read, world.facet);
        modMap = openMapFile(paths.modMap, OpenMode::ReadWrite, world.facet);
        if (origMap->size() < world.mapBytes()) throw Error(msg::ReadBeyondEnd, paths.origMap);
        if (modMap->size() < world.mapBytes()) throw Error(msg::ReadBeyondEnd, paths.modMap);
    }

    if (hasStatics) applyStaticsPart(paths, world, p, package, std::move(origStatics), progress, log);
    if (hasMap) {
        applyMapPart(world, p, package, *origMap, *modMap, progress);
        modMap->close();
        origMap->close();
    }
    packageFile->close();
    return {p.header.DiffVersion, package.size()};
}

} // namespace tq
