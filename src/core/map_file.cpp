#include "core/map_file.h"

#include "core/bytes.h"
#include "core/error.h"
#include "core/facets.h"
#include "core/file_system.h"
#include "core/uop/map_container.h"

namespace tq {

void decodeMapCell(const uint8_t* b, TMapCell& cell) {
    cell.TileId = le::u16(b);
    cell.Altitude = static_cast<int8_t>(b[2]);
}

void encodeMapCell(const TMapCell& cell, uint8_t* b) {
    le::put16(b, cell.TileId);
    b[2] = static_cast<uint8_t>(cell.Altitude);
}

void decodeMapBlock(const uint8_t* b, TMapBlock& block) {
    for (int i = 0; i < MapBlockHeaderSize; ++i) block.Header[size_t(i)] = b[i];
    for (int i = 0; i < CellsPerBlock; ++i)
        decodeMapCell(b + MapBlockHeaderSize + i * MapCellSize, block.Cells[size_t(i)]);
}

void encodeMapBlock(const TMapBlock& block, uint8_t* b) {
    for (int i = 0; i < MapBlockHeaderSize; ++i) b[i] = block.Header[size_t(i)];
    for (int i = 0; i < CellsPerBlock; ++i)
        encodeMapCell(block.Cells[size_t(i)], b + MapBlockHeaderSize + i * MapCellSize);
}

void ReadMapBlock(File& map, const WorldGeometry& world, int x, int y, TMapBlock& block) {
    block = TMapBlock{};
    if (!world.validBlock(x, y)) return;
    uint8_t bytes[MapBlockSize];
    map.seek(world.mapBlockOffset(x, y));
    map.read(bytes, sizeof bytes);
    decodeMapBlock(bytes, block);
}

namespace {
// In-place writers never grow the map: a short file is not a map to extend.
void requireInside(File& map, uint64_t end) {
    if (map.size() < end) throw Error(msg::ReadBeyondEnd, map.name());
}
} // namespace

void WriteMapBlock(File& map, const WorldGeometry& world, int x, int y, const TMapBlock& block) {
    if (!world.validBlock(x, y)) return;
    requireInside(map, world.mapBlockOffset(x, y) + MapBlockSize);
    uint8_t bytes[MapBlockSize];
    encodeMapBlock(block, bytes);
    map.seek(world.mapBlockOffset(x, y));
    map.write(bytes, sizeof bytes);
}

void ReadMapBlock(const std::string& fileName, const WorldGeometry& world, int x, int y, TMapBlock& block) {
    block = TMapBlock{};
    if (!world.validBlock(x, y)) return;
    auto file = openMapFile(fileName, OpenMode::Read, world.facet);
    ReadMapBlock(*file, world, x, y, block);
    file->close();
}

void WriteMapBlock(const std::string& fileName, const WorldGeometry& world, int x, int y, const TMapBlock& block) {
    if (!world.validBlock(x, y)) return;
    auto file = openMapFile(fileName, OpenMode::ReadWrite, world.facet);
    WriteMapBlock(*file, world, x, y, block);
    file->close();
}

void ReadMapBlock(const std::string& fileName, int x, int y, TMapBlock& block) {
    ReadMapBlock(fileName, WorldGeometry(), x, y, block);
}
void WriteMapBlock(const std::string& fileName, int x, int y, const TMapBlock& block) {
    WriteMapBlock(fileName, WorldGeometry(), x, y, block);
}
void ReadMapBlock(File& map, int x, int y, TMapBlock& block) { ReadMapBlock(map, WorldGeometry(), x, y, block); }
void WriteMapBlock(File& map, int x, int y, const TMapBlock& block) {
    WriteMapBlock(map, WorldGeometry(), x, y, block);
}

TMapCell ReadMapCell(File& map, const WorldGeometry& world, int x, int y) {
    if (!world.validCell(x, y)) return TMapCell{};
    uint8_t bytes[MapCellSize];
    map.seek(world.mapCellOffset(x, y));
    map.read(bytes, sizeof bytes);
    TMapCell cell;
    decodeMapCell(bytes, cell);
    return cell;
}

void WriteMapCell(File& map, const WorldGeometry& world, int x, int y, const TMapCell& cell) {
    if (!world.validCell(x, y)) return;
    requireInside(map, world.mapCellOffset(x, y) + MapCellSize);
    uint8_t bytes[MapCellSize];
    encodeMapCell(cell, bytes);
    map.seek(world.mapCellOffset(x, y));
    map.write(bytes, sizeof bytes);
}

TMapCell ReadMapCell(File& map, int x, int y) { return ReadMapCell(map, WorldGeometry(), x, y); }
void WriteMapCell(File& map, int x, int y, const TMapCell& cell) { WriteMapCell(map, WorldGeometry(), x, y, cell); }

std::unique_ptr<File> openMapFile(const std::string& path, OpenMode mode, std::optional<int> facet) {
    if (uop::isContainerPath(path)) return uop::openMapContainer(path, mode, facet);
    return openFile(path, mode);
}

uint64_t mapFileLength(const std::string& path, std::optional<int> facet) {
    if (uop::isContainerPath(path)) return uop::mapContainerLength(path, facet);
    return fileSystem().fileSize(path);
}

WorldGeometry MapFileWorld(const std::string& path, std::optional<int> facet, bool inPlace) {
    return resolveWorld({{WorldFileKind::Map, path, inPlace}}, facet);
}

} // namespace tq
