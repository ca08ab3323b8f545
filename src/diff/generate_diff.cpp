#include "core/atomic_file.h"
#include "core/bytes.h"
#include "core/error.h"
#include "core/facets.h"
#include "core/file_system.h"
#include "core/map_file.h"
#include "diff/buffered_io.h"
#include "diff/diff.h"
#include "diff/diff_package.h"

#include <memory>
#include <vector>

namespace tq {

namespace {

constexpr size_t PackageBufferSize = size_t(4) << 20;

void generateStaticsPart(const DiffPaths& paths, const WorldGeometry& world, AppendWriter& package,
                         TDiffHeader& header, const Progress& progress) {
    progress.setMessage("Generating Diff (Statics)");
    auto orig = newStaticIndex(world);
    auto mod = newStaticIndex(world);
    LoadStaticIndex(paths.origStaIdx, *orig, progress, world.facet);
    LoadStaticIndex(paths.modStaIdx, *mod, progress, world.facet);
    header.OrigIndexCrc = int32_t(StaticsCrc(*orig, progress));
    header.ModIndexCrc = int32_t(StaticsCrc(*mod, progress));

    auto origStatics = openFile(paths.origStatics, OpenMode::Read);
    auto modStatics = openFile(paths.modStatics, OpenMode::Read);
    WindowedReader origReader(*origStatics);
    WindowedReader modReader(*modStatics);
    header.OrigStaticsSize = int32_t(origReader.size());
    header.ModStaticsSize = int32_t(modReader.size());

    DiffStaticsTable table(size_t(world.blockCount()));  // every entry (-1, -1): unchanged
    auto origBlock = std::make_unique<TStaticBlock>();
    auto modBlock = std::make_unique<TStaticBlock>();
    for (int x = 0; x < world.blocksWide; ++x) {
        for (int y = 0; y < world.blocksHigh; ++y) {
            const TStaticIndexRec& o = orig->at(x, y);
            const TStaticIndexRec& m = mod->at(x, y);
            TDiffStaticsEntry& entry = table[size_t(world.blockNumber(x, y))];
            if (m.Start == -1) {
                entry = {-1, 0};
            } else if (!SameIndexEntry(o, m)) {
                // Only entries that moved are worth reading: the index test decides the rest.
                aboutFile(paths.origStaIdx, [&] { ReadBlockStatics(origReader, o, *origBlock); });
                aboutFile(paths.modStaIdx, [&] { ReadBlockStatics(modReader, m, *modBlock); });
                if (!SameBlockStatics(*origBlock, *modBlock)) AppendPackageStatics(package, entry, *modBlock);
            }
        }
        progress.report(x * 100 / world.blocksWide);
        progress.pumpEvents();
    }
    origStatics->close();
    modStatics->close();

    header.StaticsIndexPos = int32_t(package.position());
    progress.setMessage("Generating Diff (Statics index)");
    std::vector<uint8_t> column(size_t(world.blocksHigh) * DiffStaticsEntrySize);
    for (int x = 0; x < world.blocksWide; ++x) {
        for (int y = 0; y < world.blocksHigh; ++y)
            encodeDiffStaticsEntry(table[size_t(world.blockNumber(x, y))], column.data() + y * DiffStaticsEntrySize);
        package.append(column.data(), column.size());
        progress.report(x * 100 / world.blocksWide);
        progress.pumpEvents();
    }
}

void generateMapPart(const DiffPaths& paths, const WorldGeometry& world, AppendWriter& package, TDiffHeader& header,
                     const Progress& progress) {
    header.ModMapSum = int32_t(MapFileSum(paths.modMap, world, progress));
    progress.setMessage("Generating Diff (Map)");
    auto origMap = openMapFile(paths.origMap, OpenMode::Read, world.facet);
    auto modMap = openMapFile(paths.modMap, OpenMode::Read, world.facet);
    std::vector<uint8_t> origColumn(world.mapColumnBytes()), modColumn(world.mapColumnBytes());
    DiffMapTable table(size_t(world.blockCount()), -1);
    TMapBlock block;
    for (int x = 0; x < world.blocksWide; ++x) {
        // Both maps are read column by column in file order: one large read each.
        origMap->read(origColumn.data(), origColumn.size());
        modMap->read(modColumn.data(), modColumn.size());
        for (int y = 0; y < world.blocksHigh; ++y) {
            const uint8_t* o = origColumn.data() + size_t(y) * MapBlockSize;
            const uint8_t* m = modColumn.data() + size_t(y) * MapBlockSize;
            if (SameMapBlock(o, m)) continue;
            decodeMapBlock(m, block);
            AppendPackageMapBlock(package, table[size_t(world.blockNumber(x, y))], block);
        }
        progress.report(x * 100 / world.blocksWide);
        progress.pumpEvents();
    }
    origMap->close();
    modMap->close();

    header.MapIndexPos = int32_t(package.position());
    progress.setMessage("Generating Diff (Map index)");
    std::vector<uint8_t> column(size_t(world.blocksHigh) * DiffMapEntrySize);
    for (int x = 0; x < world.blocksWide; ++x) {
        for (int y = 0; y < world.blocksHigh; ++y)
            le::put32(column.data() + y * DiffMapEntrySize, uint32_t(table[size_t(world.blockNumber(x, y))]));
        package.append(column.data(), column.size());
        progress.report(x * 100 / world.blocksWide);
        progress.pumpEvents();
    }
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
    TDiffHeader header = NewDiffHeader(world);
    header.StaticsIndexPos = -1;
    header.MapIndexPos = -1;
    uint8_t headerBytes[DiffHeaderSize];
    encodeDiffHeader(header, headerBytes);

    // Written under a temporary name: a failure never leaves a package that applies as "nothing".
    AtomicFile out(result.packagePath);
    AppendWriter package(out.file(), 0, PackageBufferSize);
    package.append(headerBytes, sizeof headerBytes);
    if (parts.statics) generateStaticsPart(paths, world, package, header, progress);
    if (parts.map) generateMapPart(paths, world, package, header, progress);
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
