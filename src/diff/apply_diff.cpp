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
#include "diff/index_columns.h"
#include "diff/package_reader.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <vector>

namespace tq {

namespace {

// Buffers no larger than they need be: fresh memory costs a page fault each 4 KB on first
// touch (dear on some virtual machines), and allocations from 128 KB up come fresh every
// time. 64 KB reads and writes cost little more than larger ones.
constexpr size_t StaticsBufferSize = size_t(64) << 10;
constexpr size_t IndexBufferSize = size_t(64) << 10;
constexpr size_t PackageWindowSize = size_t(64) << 10;

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
                      PackageColumns& entries, WindowedReader& package, std::unique_ptr<File> origStatics,
                      const Progress& progress, const LogSink& log) {
    // Neither index is held whole: the original is read once for its checksum and once more,
    // a column at a time, as the new statics and index are written.
    const uint32_t crc = indexFileCrc(paths.origStaIdx, world, progress);
    if (crc != uint32_t(p.header.OrigIndexCrc)) throw DiffCrcError(crc, uint32_t(p.header.OrigIndexCrc));

    // The new statics and index are built under temporary names; the old pair stays whole
    // (and readable, should the original and modified names be one file) until both are done.
    AtomicFile newStatics(paths.modStatics);
    AtomicFile newIndex(paths.modStaIdx);

    // The table was checked with the package; this step keeps the window's steps.
    progress.setMessage("Applying Diff (Reading statics index)");
    for (int x = 0; x < world.blocksWide; ++x) {
        progress.report(x * 100 / world.blocksWide);
        progress.pumpEvents();
    }

    progress.setMessage("Applying Diff (Creating statics)");
    IndexColumns origIndex(paths.origStaIdx, world);
    WindowedReader origReader(*origStatics, StaticsBufferSize);
    AppendWriter statics(newStatics.file(), 0, StaticsBufferSize);
    AppendWriter index(newIndex.file(), 0, IndexBufferSize);
    std::vector<uint8_t> run(StaticBlockMaxBytes);
    std::vector<uint8_t> column(world.staticIndexColumnBytes());
    for (int x = 0; x < world.blocksWide; ++x) {
        const uint8_t* origColumn = origIndex.next();
        const TDiffStaticsEntry* packageColumn = entries.nextStatics();
        for (int y = 0; y < world.blocksHigh; ++y) {
            TStaticIndexRec o;
            decodeIndexRec(origColumn + size_t(y) * StaticIndexRecSize, o);
            const TDiffStaticsEntry e = ResolveCompactEntry(packageColumn[y], o);
            TStaticIndexRec n{-1, -1, -1};
            if (e.unchanged()) {
                n.Extra = o.Extra;
                if (o.Length != 0) copyOriginalRun(origReader, o, statics, n, run.data(), paths.origStaIdx);
            } else if (e.emptied()) {
                n.Extra = o.Extra;
            } else {
                // A block from the package keeps the Extra of -1. Its records are copied as
                // they are: the entry was checked to be whole records.
                const size_t length = size_t(e.Length);
                const uint8_t* records = run.data();
                if (p.compact) records = p.staticsPart.data.data() + e.Pos;
                else package.read(uint64_t(e.Pos), run.data(), length);
                appendRun(statics, records, length, n);
                warnIfCrowded(log, x, y, int(length / StaticRecSize));
            }
            encodeIndexRec(n, column.data() + size_t(y) * StaticIndexRecSize);
        }
        index.append(column.data(), column.size());
        progress.report(x * 100 / world.blocksWide);
        progress.pumpEvents();
    }
    statics.flush();
    origStatics->close();
    origIndex.close();
    // The checksum vouched for the index the new files were built from.
    if (origIndex.crc() != crc) throw Error(IndexChangedMessage, paths.origStaIdx);

    // The new index went out with the statics, a column at a time; these are its steps.
    for (int x = 0; x < world.blocksWide; ++x) {
        progress.report(90 + x * 10 / world.blocksWide);
        progress.pumpEvents();
    }
    index.flush();

    // Both files are complete on disk before either replaces the old one; the index goes
    // first. (Were a crash to part them, leaving the new index beside the old statics: with
    // separate originals, applying again mends that; with the originals in these very
    // files, the checksum then no longer matches, so the old statics are never copied
    // through an index not theirs. The other order would pass the checksum and copy garbage.)
    commitIndexThenStatics("apply", newIndex, newStatics);
}

void applyMapPart(const WorldGeometry& world, const CheckedPackage& p, PackageColumns& entries,
                  WindowedReader& package, File& origMap, File& modMap, const Progress& progress) {
    // As for the statics: the table was checked with the package.
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
        const TDiffMapEntry* packageColumn = entries.nextMap();
        for (int y = 0; y < world.blocksHigh; ++y) {
            const TDiffMapEntry pos = packageColumn[y];
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
    // The package is read in block order, its data and (full form) its tables each through a
    // small window of their own.
    WindowedReader package(*packageFile, PackageWindowSize);
    const CheckedPackage p = [&] {
        try {
            return ReadCheckedPackage(package, PackageTables::Checked);
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

    PackageColumns entries(p, *packageFile);
    if (hasStatics) applyStaticsPart(paths, world, p, entries, package, std::move(origStatics), progress, log);
    if (hasMap) {
        applyMapPart(world, p, entries, package, *origMap, *modMap, progress);
        modMap->close();
        origMap->close();
    }
    packageFile->close();
    return {p.header.DiffVersion, package.size()};
}

} // namespace tq
