#pragma once
#include "core/world.h"

#include "core/file_system.h"

#include <array>
#include <memory>
#include <cstdint>
#include <optional>
#include <string>

namespace tq {

// One land cell (3 bytes on disk: tile id little-endian, signed altitude).
struct TMapCell {
    uint16_t TileId = 0;
    int8_t Altitude = 0;
    friend bool operator==(const TMapCell&, const TMapCell&) = default;
};

// One block of map0.mul exactly as stored: 4 opaque header bytes, then 64 cells row
// by row (local (cx, cy) is element cy*8 + cx).
struct TMapBlock {
    std::array<uint8_t, MapBlockHeaderSize> Header{};
    std::array<TMapCell, CellsPerBlock> Cells{};
    friend bool operator==(const TMapBlock&, const TMapBlock&) = default;
};

void decodeMapCell(const uint8_t* bytes, TMapCell& cell);
void encodeMapCell(const TMapCell& cell, uint8_t* bytes);
void decodeMapBlock(const uint8_t* bytes, TMapBlock& block);
void encodeMapBlock(const TMapBlock& block, uint8_t* bytes);

// Block coordinates outside the world: the read gives an all-zero block and the write does
// nothing, without touching the file. The forms without a world are the old clients' world.
void ReadMapBlock(const std::string& fileName, const WorldGeometry& world, int x, int y, TMapBlock& block);
void WriteMapBlock(const std::string& fileName, const WorldGeometry& world, int x, int y, const TMapBlock& block);
void ReadMapBlock(const std::string& fileName, int x, int y, TMapBlock& block);
void WriteMapBlock(const std::string& fileName, int x, int y, const TMapBlock& block);
// The same over a file the caller keeps open for a whole pass.
void ReadMapBlock(File& map, const WorldGeometry& world, int x, int y, TMapBlock& block);
void WriteMapBlock(File& map, const WorldGeometry& world, int x, int y, const TMapBlock& block);
void ReadMapBlock(File& map, int x, int y, TMapBlock& block);
void WriteMapBlock(File& map, int x, int y, const TMapBlock& block);

// Single cells at world.mapCellOffset(x, y), 3 bytes at a time. Like the block functions, a
// cell outside the world reads as zero and is not written; no writer ever writes past the
// end of the file ("Read beyond end of file").
TMapCell ReadMapCell(File& map, const WorldGeometry& world, int x, int y);
void WriteMapCell(File& map, const WorldGeometry& world, int x, int y, const TMapCell& cell);
TMapCell ReadMapCell(File& map, int x, int y);
void WriteMapCell(File& map, int x, int y, const TMapCell& cell);

// Opens a map file: map{N}.mul as it is, map{N}LegacyMUL.uop (any name ending in .uop) as
// the map its container holds (core/uop/map_container.h). Read or ReadWrite only.
std::unique_ptr<File> openMapFile(const std::string& path, OpenMode mode, std::optional<int> facet = {});
// The map's length in bytes: the file's, or the total of the container's map entries.
uint64_t mapFileLength(const std::string& path, std::optional<int> facet = {});

// The world of a map file: facet from its name (or `facet`), size from its length. For an
// in-place writer, a short file counts as the facet's smallest size (WorldFile::inPlace).
WorldGeometry MapFileWorld(const std::string& path, std::optional<int> facet = {}, bool inPlace = false);

} // namespace tq
