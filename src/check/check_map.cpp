#include "check/check_map.h"

#include "core/bytes.h"
#include "core/error.h"
#include "core/facets.h"
#include "core/file_system.h"
#include "core/map_file.h"
#include "core/spaced_hex.h"
#include "core/uop/container.h"
#include "mapedit/client_files.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace tq {

namespace {

// True when the OR of a block's tile ids is at most `last`, and so is every tile id: for a
// `last` of all low bits set (as art files have) this is the whole test, for any other a
// quick pass that sends most blocks on. The cells are 3 bytes (tile id, altitude), so 24
// bytes hold 8 whole cells: the words are ORed 24 bytes apart, then the tile id bytes picked.
bool tilesBelow(const uint8_t* cells, uint32_t last) {
    static_assert(CellsPerBlock * MapCellSize == 8 * 24, "a block's cells are eight 24-byte groups");
    uint64_t w[3] = {0, 0, 0};
    for (int g = 0; g < 8; ++g)
        for (int i = 0; i < 3; ++i) {
            uint64_t word;
            std::memcpy(&word, cells + g * 24 + i * 8, 8);
            w[i] |= word;  // a byte-wise OR: the byte order of the word does not matter
        }
    uint8_t bytes[24];
    std::memcpy(bytes, w, 24);
    uint32_t low = 0, high = 0;
    for (int c = 0; c < 8; ++c) {
        low |= bytes[c * 3];
        high |= bytes[c * 3 + 1];
    }
    return (high << 8 | low) <= last;
}

} // namespace

uint32_t LastLandTile(const std::string& mapPath, std::string& source) {
    const std::string folder = folderOf(mapPath);
    if (const std::string idx = findClientFile(folder, ArtIdxName); !idx.empty()) {
        source = idx;
        const uint64_t entries = fileSystem().fileSize(idx) / 12;
        return uint32_t(std::min<uint64_t>(entries, LandArtIds)) - (entries ? 1 : 0);
    }
    if (const std::string uop = findClientFile(folder, ArtContainerName); !uop.empty()) {
        source = uop;
        auto file = openFile(uop, OpenMode::Read);
        const uop::Container container = uop::Container::read(*file, uop);
        for (uint32_t id = LandArtIds; id-- > 0;)
            if (container.find(artEntryName(id))) return id;
        return 0;
    }
    source.clear();
    return LandArtIds - 1;
}

std::optional<WorldGeometry> CheckMap(const std::string& mapPath, std::optional<int> facet, CheckReport& report,
                                      const Progress& progress) {
    const int n = facetFromFileName(mapPath).value_or(facet.value_or(0));
    const uint64_t length = mapFileLength(mapPath, n);
    WorldGeometry world;
    try {
        world = mapWorld(mapPath, length, n);
    } catch (const Error& e) {
        report.checked(mapPath, "map, facet " + std::to_string(n));
        report.add({Severity::Error, mapPath, KindMapLength, "", e.what()});
        return std::nullopt;
    }
    report.checked(mapPath, "map, facet " + std::to_string(n) + ", " + world.blocksText() + " blocks");
    // One stray block after the world is common in unpacked maps and harmless; more is a cut or padded file.
    if (length != world.mapBytes() && length != world.mapBytes() + MapBlockSize)
        report.add({Severity::Warning, mapPath, KindMapLength, "",
                    "it is " + groupedNumber(length) + " bytes: its " + world.blocksText() + " blocks end at byte " +
                        groupedNumber(world.mapBytes()) + " and " + groupedNumber(length - world.mapBytes()) +
                        " bytes follow them, which no facet " + std::to_string(n) + " map has"});

    std::string artSource;
    const uint32_t lastLand = LastLandTile(mapPath, artSource);
    const std::string limitText = artSource.empty() ? "the last land tile id (" + IntToSpacedHex(int32_t(lastLand), 2) + ")"
                                                    : "the art's last land tile (" + IntToSpacedHex(int32_t(lastLand), 2) +
                                                          ", from " + nameOf(artSource) + ")";
    auto map = openMapFile(mapPath, OpenMode::Read, n);
    std::vector<uint8_t> column(world.mapColumnBytes());
    for (int bx = 0; bx < world.blocksWide; ++bx) {
        map->seek(world.mapBlockOffset(bx, 0));
        map->read(column.data(), column.size());
        for (int by = 0; by < world.blocksHigh; ++by) {
            const uint8_t* cells = column.data() + size_t(by) * MapBlockSize + MapBlockHeaderSize;
            if (tilesBelow(cells, lastLand)) continue;
            for (int c = 0; c < CellsPerBlock; ++c) {
                const uint16_t tile = le::u16(cells + c * MapCellSize);
                if (tile <= lastLand) continue;
                const int x = bx * BlockSize + c % BlockSize, y = by * BlockSize + c / BlockSize;
                report.add({Severity::Error, mapPath, KindTileBeyondArt,
                            "cell (" + std::to_string(x) + ", " + std::to_string(y) + ")",
                            "land tile " + IntToSpacedHex(tile, 2) + " is above " + limitText});
            }
        }
        progress.report(bx * 100 / world.blocksWide);
        progress.pumpEvents();
    }
    return world;
}

} // namespace tq
