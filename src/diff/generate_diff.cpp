#include "core/atomic_file.h"
#include "core/bytes.h"
#include "core/error.h"
#include "core/facets.h"
#include "core/file_system.h"
#include "core/map_file.h"
#include "core/static_index.h"
#include "core/world_lock.h"
#include "diff/buffered_io.h"
#include "diff/compact_package.h"
#include "diff/diff.h"
#include "diff/diff_package.h"
#include "diff/index_columns.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace tq {

namespace {

// Fresh memory is costly to touch on some virtual machines (a page fault each 4 KB, and
// buffers above the allocator's mmap threshold, 128 KB, come fresh every time): the buffers
// are no larger than large reads and writes need.
constexpr size_t PackageBufferSize = size_t(256) << 10;
// Generate reads only the runs of blocks whose index entries differ; the changed blocks of
// a column lie together, so a window of a few runs serves them.
constexpr size_t StaticsWindowSize = size_t(64) << 10;

void appendPart(AppendWriter& package, CompactPartWriter& part) {
    const std::vector<uint8_t> bytes = part.pack();
    if (package.position() + bytes.size() > uint64_t(INT32_MAX))
        throw Error("The TQD file would grow past 2 GB; generate the statics and the map separately");
    package.append(bytes.data(), bytes.size());
}

// Where a part's changed blocks go: straight into the package (full form), or into the
// compact part, packed once all are known. `fullSize` counts what the full form takes.
struct PartSink {
    AppendWriter& package;
    bool compact;
    CompactPartWriter part;
    uint64_t& fullSize;
};

void generateStaticsPart(const DiffPaths& paths, const WorldGeometry& world, PartSink& sink, TDiffHeader& header,
                         const Progress& progress) {
    AppendWriter& package = sink.package;
    progress.setMessage("Generating Diff (Statics)");
    // Neither index is held whole: one pass over each takes its checksum, and the
    // comparison reads them again a column at a time (from the page cache by then).
    const uint32_t origCrc = indexFileCrc(paths.origStaIdx, world, progress);
    const uint32_t modCrc = indexFileCrc(paths.modStaIdx, world, progress);
    header.OrigIndexCrc = int32_t(origCrc);
    header.ModIndexCrc = int32_t(modCrc);
    IndexColumns origIndex(paths.origStaIdx, world), modIndex(paths.modStaIdx, world);

    auto origStatics = openFile(paths.origStatics, OpenMode::Read);
    auto modStatics = openFile(paths.modStatics, OpenMode::Read);
    WindowedReader origReader(*origStatics, StaticsWindowSize);
    WindowedReader modReader(*modStatics, StaticsWindowSize);
    header.OrigStaticsSize = int32_t(origReader.size());
    header.ModStaticsSize = int32_t(modReader.size());

    // The full form's table is written after the data: only the blocks whose records were
    // written are kept here (in block order), and a bit for each block the modified index
    // has empty; every other block is unchanged (-1, -1).
    std::vector<std::pair<int, TDiffStaticsEntry>> written;
    std::vector<uint64_t> emptied(sink.compact ? 0 : (size_t(world.blockCount()) + 63) / 64);
    auto markEmptied = [&](int n) { emptied[size_t(n) / 64] |= uint64_t(1) << (n % 64); };
    auto origBlock = std::make_unique<TStaticBlock>();
    auto modBlock = std::make_unique<TStaticBlock>();
    std::vector<uint8_t> run(StaticBlockMaxBytes);
    const size_t columnBytes = world.staticIndexColumnBytes();
    for (int x = 0; x < world.blocksWide; ++x) {
        const uint8_t* origColumn = origIndex.next();
        const uint8_t* modColumn = modIndex.next();
        if (std::memcmp(origColumn, modColumn, columnBytes) == 0) {
            // Equal entries change nothing (the compact table names none of them); the full
            // table still marks the blocks left empty.
            if (!sink.compact)
                for (int y = 0; y < world.blocksHigh; ++y)
                    if (le::i32(modColumn + size_t(y) * StaticIndexRecSize) == -1) markEmptied(world.blockNumber(x, y));
        } else {
            for (int y = 0; y < world.blocksHigh; ++y) {
                TStaticIndexRec o, m;
                decodeIndexRec(origColumn + size_t(y) * StaticIndexRecSize, o);
                decodeIndexRec(modColumn + size_t(y) * StaticIndexRecSize, m);
                const int n = world.blockNumber(x, y);
                TDiffStaticsEntry entry;
                if (m.Start == -1) {
                    entry = {-1, 0};
                    if (!sink.compact) markEmptied(n);
                } else if (!SameIndexEntry(o, m)) {
                    // Only entries that moved are worth reading: the index test decides the rest.
                    aboutFile(paths.origStaIdx, [&] { ReadBlockStatics(origReader, o, *origBlock); });
                    aboutFile(paths.modStaIdx, [&] { ReadBlockStatics(modReader, m, *modBlock); });
                    if (!SameBlockStatics(*origBlock, *modBlock)) {
                        const size_t bytes = size_t(modBlock->Count) * StaticRecSize;
                        sink.fullSize += bytes;
                        if (!sink.compact) {
                            AppendPackageStatics(package, entry, *modBlock);
                            written.emplace_back(n, entry);
                            continue;
                        }
                        for (int i = 0; i < modBlock->Count; ++i)
                            encodeStaticRec(modBlock->Records[size_t(i)], run.data() + i * StaticRecSize);
                        sink.part.records(n, run.data(), bytes);
                        continue;
                    }
                }
                // The compact table leaves out what the original index implies (see
                // CompactPartWriter), and names only the rest.
                if (!sink.compact) continue;
                const bool origEmpty = o.Start == -1;
                if (entry.emptied() && !origEmpty) sink.part.emptied(n);
                else if (entry.unchanged() && origEmpty) sink.part.unchanged(n);
            }
        }
        progress.report(x * 100 / world.blocksWide);
        progress.pumpEvents();
    }
    origStatics->close();
    modStatics->close();
    origIndex.close();
    modIndex.close();
    // The header's checksums must be those of the entries compared.
    if (origIndex.crc() != origCrc) throw Error(IndexChangedMessage, paths.origStaIdx);
    if (modIndex.crc() != modCrc) throw Error(IndexChangedMessage, paths.modStaIdx);

    header.StaticsIndexPos = int32_t(package.position());
    sink.fullSize += DiffStaticsIndexSize(world);
    progress.setMessage("Generating Diff (Statics index)");
    std::vector<uint8_t> column(size_t(world.blocksHigh) * DiffStaticsEntrySize);
    size_t next = 0;
    for (int x = 0; x < world.blocksWide; ++x) {
        if (!sink.compact) {
            for (int y = 0; y < world.blocksHigh; ++y) {
                const int n = world.blockNumber(x, y);
                TDiffStaticsEntry entry;
                if (next < written.size() && written[next].first == n) entry = written[next++].second;
                else if (emptied[size_t(n) / 64] >> (n % 64) & 1) entry = {-1, 0};
                encodeDiffStaticsEntry(entry, column.data() + y * DiffStaticsEntrySize);
            }
            package.append(column.data(), column.size());
        }
        progress.report(x * 100 / world.blocksWide);
        progress.pumpEvents();
    }
    if (sink.compact) appendPart(package, sink.part);
}

void generateMapPart(const DiffPaths& paths, const WorldGeometry& world, PartSink& sink, TDiffHeader& header,
                     const Progress& progress) {
    AppendWriter& package = sink.package;
    // One pass over both maps, in file order a column at a time, takes the modified map's
    // checksum and writes the blocks that differ: the maps are read once each, through two
    // column buffers. Its bar is the checksum's (0, the percentage of blocks whenever it
    // moves, 100); the "Map" step that follows has nothing left to read.
    progress.report(0);
    auto modMap = openMapFile(paths.modMap, OpenMode::Read, world.facet);
    auto origMap = openMapFile(paths.origMap, OpenMode::Read, world.facet);
    std::vector<uint8_t> origColumn(world.mapColumnBytes()), modColumn(world.mapColumnBytes());
    // As for the statics: only the blocks written, in block order.
    std::vector<std::pair<int, TDiffMapEntry>> written;
    TMapBlock block;
    uint32_t sum = 0;
    int shown = 0;
    for (int x = 0; x < world.blocksWide; ++x) {
        modMap->read(modColumn.data(), modColumn.size());
        origMap->read(origColumn.data(), origColumn.size());
        sum ^= MapBytesSum(modColumn.data(), modColumn.size());
        // Most columns are unchanged: one comparison of the whole column settles them.
        const bool same = std::memcmp(origColumn.data(), modColumn.data(), modColumn.size()) == 0;
        for (int y = 0; y < world.blocksHigh && !same; ++y) {
            const uint8_t* o = origColumn.data() + size_t(y) * MapBlockSize;
            const uint8_t* m = modColumn.data() + size_t(y) * MapBlockSize;
            if (SameMapBlock(o, m)) continue;
            sink.fullSize += MapBlockSize;
            if (sink.compact) {
                sink.part.mapBlock(world.blockNumber(x, y), m);
                continue;
            }
            decodeMapBlock(m, block);
            TDiffMapEntry entry = -1;
            AppendPackageMapBlock(package, entry, block);
            written.emplace_back(world.blockNumber(x, y), entry);
        }
        const int percent = int(int64_t(x + 1) * world.blocksHigh * 100 / world.blockCount());
        if (percent != shown) {
            shown = percent;
            progress.report(percent);
        }
        progress.pumpEvents();
    }
    modMap->close();
    origMap->close();
    progress.report(100);
    header.ModMapSum = int32_t(sum);

    progress.setMessage("Generating Diff (Map)");
    for (int x = 0; x < world.blocksWide; ++x) {
        progress.report(x * 100 / world.blocksWide);
        progress.pumpEvents();
    }

    header.MapIndexPos = int32_t(package.position());
    sink.fullSize += DiffMapIndexSize(world);
    progress.setMessage("Generating Diff (Map index)");
    std::vector<uint8_t> column(size_t(world.blocksHigh) * DiffMapEntrySize);
    size_t next = 0;
    for (int x = 0; x < world.blocksWide; ++x) {
        if (!sink.compact) {
            for (int y = 0; y < world.blocksHigh; ++y) {
                TDiffMapEntry entry = -1;
                if (next < written.size() && written[next].first == world.blockNumber(x, y)) entry = written[next++].second;
                le::put32(column.data() + y * DiffMapEntrySize, uint32_t(entry));
            }
            package.append(column.data(), column.size());
        }
        progress.report(x * 100 / world.blocksWide);
        progress.pumpEvents();
    }
    if (sink.compact) appendPart(package, sink.part);
}

} // namespace

WorldGeometry DiffWorld(const DiffPaths& paths, bool statics, bool map, bool applying) {
    std::vector<WorldFile> files;
    if (statics) {
        files.push_back({WorldFileKind::StaticIndex, paths.origStaIdx});
        files.push_back({WorldFileKind::Statics, paths.origStatics});
        // Apply writes the modified index anew, at the original's size.
        files.push_back({applying ? WorldFileKind::Rebuilt : WorldFileKind::StaticIndex, paths.modStaIdx});
        files.push_back({applying ? WorldFileKind::Rebuilt : WorldFileKind::Statics, paths.modStatics});
    }
    if (map) {
        files.push_back({WorldFileKind::Map, paths.origMap});
        files.push_back({WorldFileKind::Map, paths.modMap});
    }
    return resolveWorld(files, paths.facet);
}

GenerateDiffResult GenerateDiff(const DiffPaths& paths, const std::string& packageName, DiffParts parts,
                                const Progress& progress) {
    if (!parts.statics && !parts.map)
        throw Error("Nothing to generate: choose the statics part, the map part or both");
    GenerateDiffResult result;
    result.packagePath = DiffPackageName(packageName);

    const WorldGeometry world = DiffWorld(paths, parts.statics, parts.map, false);
    TDiffHeader header = NewDiffHeader(world, parts.compact);
    header.StaticsIndexPos = -1;
    header.MapIndexPos = -1;
    uint8_t headerBytes[DiffHeaderSize];
    encodeDiffHeader(header, headerBytes);

    // Written under a temporary name: a failure never leaves a package that applies as "nothing".
    AtomicFile out(result.packagePath);
    AppendWriter package(out.file(), 0, PackageBufferSize);
    package.append(headerBytes, sizeof headerBytes);
    result.fullSize = DiffHeaderSize;
    if (parts.statics) {
        PartSink sink{package, parts.compact, {}, result.fullSize};
        generateStaticsPart(paths, world, sink, header, progress);
    }
    if (parts.map) {
        PartSink sink{package, parts.compact, {}, result.fullSize};
        generateMapPart(paths, world, sink, header, progress);
    }
    result.size = package.position();
    package.flush();
    // Only now are both index positions known: the final header goes over the placeholder.
    encodeDiffHeader(header, headerBytes);
    out.file().seek(0);
    out.file().write(headerBytes, sizeof headerBytes);
    out.commit();

    result.origIndexCrc = uint32_t(header.OrigIndexCrc);
    result.crcText = CrcValueText(result.origIndexCrc);
    return result;
}

} // namespace tq
