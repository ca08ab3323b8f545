#include "mapedit/map_cell_rect.h"

#include "core/error.h"
#include "core/file_system.h"
#include "core/world.h"

#include <algorithm>
#include <cstring>

namespace tq {

bool CellRect::insideMap(const WorldGeometry& world) const {
    return world.validCell(x0, y0) && world.validCell(x1, y1);
}

namespace {

void requireInside(const CellRect& rect, const WorldGeometry& world) {
    if (!rect.empty() && !rect.insideMap(world))
        throw Error("The cell rectangle reaches outside the map (columns 0.." + std::to_string(world.cellsWide() - 1) +
                    ", rows 0.." + std::to_string(world.cellsHigh() - 1) + ").");
}

// Offset of cell (x, y) inside a run of blocks of column x / 8 that starts at block row by0.
inline size_t offsetInRun(int x, int y, int by0) {
    return size_t(y / BlockSize - by0) * MapBlockSize + MapBlockHeaderSize +
           size_t(y % BlockSize) * BlockSize * MapCellSize + size_t(x % BlockSize) * MapCellSize;
}

// Calls fn(run, x) for each block column of the rectangle with its run of blocks in memory.
template <typename Fn>
void forEachBlockColumn(File& map, const WorldGeometry& world, const CellRect& rect, std::vector<uint8_t>& run,
                        Fn&& fn) {
    const int by0 = rect.y0 / BlockSize, by1 = rect.y1 / BlockSize;
    run.resize(size_t(by1 - by0 + 1) * MapBlockSize);
    for (int bx = rect.x0 / BlockSize; bx <= rect.x1 / BlockSize; ++bx) {
        const uint64_t start = world.mapBlockOffset(bx, by0);
        map.seek(start);
        map.read(run.data(), run.size());
        fn(start, bx, by0);
    }
}

} // namespace

void ReadMapCellRect(File& map, const CellRect& rect, std::vector<TMapCell>& cells, const WorldGeometry& world) {
    requireInside(rect, world);
    cells.assign(rect.cellCount(), TMapCell{});
    if (rect.empty()) return;
    std::vector<uint8_t> run;
    const int w = rect.width();
    forEachBlockColumn(map, world, rect, run, [&](uint64_t, int bx, int by0) {
        const int xa = std::max(rect.x0, bx * BlockSize), xb = std::min(rect.x1, bx * BlockSize + BlockSize - 1);
        for (int y = rect.y0; y <= rect.y1; ++y) {
            TMapCell* row = cells.data() + size_t(y - rect.y0) * w;
            for (int x = xa; x <= xb; ++x) decodeMapCell(run.data() + offsetInRun(x, y, by0), row[x - rect.x0]);
        }
    });
}

void ReadMapCellBytes(File& map, const CellRect& rect, std::vector<uint8_t>& bytes, const WorldGeometry& world) {
    requireInside(rect, world);
    bytes.assign(rect.cellCount() * MapCellSize, 0);
    if (rect.empty()) return;
    std::vector<uint8_t> run;
    const size_t w = size_t(rect.width());
    forEachBlockColumn(map, world, rect, run, [&](uint64_t, int bx, int by0) {
        const int xa = std::max(rect.x0, bx * BlockSize), xb = std::min(rect.x1, bx * BlockSize + BlockSize - 1);
        for (int y = rect.y0; y <= rect.y1; ++y)
            std::memcpy(bytes.data() + (size_t(y - rect.y0) * w + size_t(xa - rect.x0)) * MapCellSize,
                        run.data() + offsetInRun(xa, y, by0), size_t(xb - xa + 1) * MapCellSize);
    });
}

void WriteMapCellBytes(File& map, const CellRect& rect, const std::vector<uint8_t>& bytes,
                       const WorldGeometry& world) {
    requireInside(rect, world);
    if (rect.empty()) return;
    if (bytes.size() != rect.cellCount() * MapCellSize) throw Error("Internal error: cell buffer size");
    std::vector<uint8_t> run;
    const size_t w = size_t(rect.width());
    // Read, patch, write back per block column: one write each, headers rewritten unchanged.
    forEachBlockColumn(map, world, rect, run, [&](uint64_t start, int bx, int by0) {
        const int xa = std::max(rect.x0, bx * BlockSize), xb = std::min(rect.x1, bx * BlockSize + BlockSize - 1);
        for (int y = rect.y0; y <= rect.y1; ++y)
            std::memcpy(run.data() + offsetInRun(xa, y, by0),
                        bytes.data() + (size_t(y - rect.y0) * w + size_t(xa - rect.x0)) * MapCellSize,
                        size_t(xb - xa + 1) * MapCellSize);
        map.seek(start);
        map.write(run.data(), run.size());
    });
}

} // namespace tq
