#include "mapedit/region_copy.h"

#include "core/error.h"
#include "core/facets.h"
#include "core/file_system.h"
#include "core/map_file.h"
#include "core/int_parse.h"
#include "core/world.h"
#include "core/world_lock.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

namespace tq {

MapRegion parseMapRegion(const MapRegionTexts& t) {
    MapRegion r;
    r.SFX = parseInt(t.SFX);
    r.SFY = parseInt(t.SFY);
    r.STX = parseInt(t.STX);
    r.STY = parseInt(t.STY);
    r.DFX = parseInt(t.DFX);
    r.DFY = parseInt(t.DFY);
    r.DTX = parseInt(t.DTX);
    r.DTY = parseInt(t.DTY);
    return r;
}

void CheckSameSize(const MapRegion& g) {
    // 64-bit differences: the boxes accept any 32-bit number.
    if (int64_t(g.STX) - g.SFX != int64_t(g.DTX) - g.DFX || int64_t(g.STY) - g.SFY != int64_t(g.DTY) - g.DFY)
        throw RegionSizeMismatch();
}

namespace {

struct Rect {
    int x0, y0, x1, y1;  // inclusive, x0 <= x1 and y0 <= y1
    int64_t width() const { return int64_t(x1) - x0 + 1; }
    int64_t height() const { return int64_t(y1) - y0 + 1; }
    bool overlaps(const Rect& o) const { return x0 <= o.x1 && o.x0 <= x1 && y0 <= o.y1 && o.y0 <= y1; }
};

std::string rectText(const Rect& r) {
    return "(" + std::to_string(r.x0) + ", " + std::to_string(r.y0) + ")-(" + std::to_string(r.x1) + ", " +
           std::to_string(r.y1) + ")";
}

void requireInsideMap(const Rect& r, const WorldGeometry& world, const char* which) {
    if (!world.validCell(r.x0, r.y0) || !world.validCell(r.x1, r.y1))
        throw Error(std::string("The ") + which + " area " + rectText(r) +
                    " reaches outside the map: columns are 0.." + std::to_string(world.cellsWide() - 1) +
                    " and rows 0.." + std::to_string(world.cellsHigh() - 1) + ".");
}

// The cells of a rectangle in memory, 3 bytes each as in the file, column by column.
class CellGrid {
public:
    explicit CellGrid(const Rect& r) : rect_(r), bytes_(size_t(r.width() * r.height()) * MapCellSize) {}
    const Rect& rect() const { return rect_; }
    uint8_t* at(int x, int y) {
        return bytes_.data() + (size_t(x - rect_.x0) * size_t(rect_.height()) + size_t(y - rect_.y0)) * MapCellSize;
    }

private:
    Rect rect_;
    std::vector<uint8_t> bytes_;
};

// Byte offset of local cell (cx, cy) inside a block.
constexpr size_t cellInBlock(int cx, int cy) {
    return size_t(MapBlockHeaderSize) + size_t(cy * BlockSize + cx) * MapCellSize;
}

// Reads every cell of the grid's rectangle: per block column, one read of the blocks it spans.
void readCells(File& map, const WorldGeometry& world, CellGrid& grid) {
    const Rect& r = grid.rect();
    const int by0 = r.y0 / BlockSize, by1 = r.y1 / BlockSize;
    std::vector<uint8_t> run(size_t(by1 - by0 + 1) * MapBlockSize);
    for (int bx = r.x0 / BlockSize; bx <= r.x1 / BlockSize; ++bx) {
        map.seek(world.mapBlockOffset(bx, by0));
        map.read(run.data(), run.size());
        const int xa = std::max(r.x0, bx * BlockSize), xb = std::min(r.x1, bx * BlockSize + BlockSize - 1);
        for (int x = xa; x <= xb; ++x)
            for (int y = r.y0; y <= r.y1; ++y) {
                const uint8_t* src =
                    run.data() + size_t(y / BlockSize - by0) * MapBlockSize + cellInBlock(x % BlockSize, y % BlockSize);
                std::memcpy(grid.at(x, y), src, MapCellSize);
            }
    }
}

// Writes the cells of `dest`, cell (x, y) taken from grid cell (x - dx, y - dy). Only cell
// bytes inside the rectangle are written: a block's rows inside it are one write when
// they span the whole block width, else one write per row.
void writeCells(File& map, const WorldGeometry& world, const Rect& dest, CellGrid& grid, int dx, int dy) {
    uint8_t buffer[MapBlockCellBytes];
    for (int bx = dest.x0 / BlockSize; bx <= dest.x1 / BlockSize; ++bx) {
        const int cx0 = std::max(dest.x0, bx * BlockSize) - bx * BlockSize;
        const int cx1 = std::min(dest.x1, bx * BlockSize + BlockSize - 1) - bx * BlockSize;
        for (int by = dest.y0 / BlockSize; by <= dest.y1 / BlockSize; ++by) {
            const int cy0 = std::max(dest.y0, by * BlockSize) - by * BlockSize;
            const int cy1 = std::min(dest.y1, by * BlockSize + BlockSize - 1) - by * BlockSize;
            auto put = [&](int cx, int cy, uint8_t* out) {
                std::memcpy(out, grid.at(bx * BlockSize + cx - dx, by * BlockSize + cy - dy), MapCellSize);
            };
            const uint64_t block = world.mapBlockOffset(bx, by);
            if (cx0 == 0 && cx1 == BlockSize - 1) {
                size_t n = 0;
                for (int cy = cy0; cy <= cy1; ++cy)
                    for (int cx = 0; cx < BlockSize; ++cx, n += MapCellSize) put(cx, cy, buffer + n);
                map.seek(block + cellInBlock(0, cy0));
                map.write(buffer, n);
            } else {
                for (int cy = cy0; cy <= cy1; ++cy) {
                    size_t n = 0;
                    for (int cx = cx0; cx <= cx1; ++cx, n += MapCellSize) put(cx, cy, buffer + n);
                    map.seek(block + cellInBlock(cx0, cy));
                    map.write(buffer, n);
                }
            }
        }
    }
}

void requireReach(File& map, const WorldGeometry& world, const Rect& r) {
    if (map.size() < world.mapBlockOffset(r.x1 / BlockSize, r.y1 / BlockSize) + MapBlockSize)
        throw Error(msg::ReadBeyondEnd, map.name());
}

// The facet given for the copy counts for a file whose name does not tell its own.
std::optional<int> facetOf(const std::string& path, std::optional<int> facet) {
    if (const auto named = facetFromFileName(path)) return named;
    return facet;
}

} // namespace

int64_t CopyMapRegion(const std::string& sourcePath, const std::string& destinationPath, const MapRegionTexts& corners,
                      std::optional<int> facet) {
    return CopyMapRegion(sourcePath, destinationPath, parseMapRegion(corners), facet);
}

int64_t CopyMapRegion(const std::string& sourcePath, const std::string& destinationPath, const MapRegion& g,
                      std::optional<int> facet) {
    CheckSameSize(g);
    const int64_t width = int64_t(g.STX) - g.SFX, height = int64_t(g.STY) - g.SFY;
    // A second corner before the first: an empty rectangle, nothing to copy.
    if (width < 0 || height < 0) return 0;
    const Rect source{g.SFX, g.SFY, g.STX, g.STY};
    const Rect dest{g.DFX, g.DFY, g.DTX, g.DTY};

    // Each map has its own world: copying between facets (or sizes) is a normal use.
    const bool sameFile = fileSystem().sameFile(sourcePath, destinationPath);
    std::unique_ptr<File> in;
    if (!sameFile) in = openMapFile(sourcePath, OpenMode::Read, facetOf(sourcePath, facet));
    auto out = openMapFile(destinationPath, OpenMode::ReadWrite, facetOf(destinationPath, facet));
    const WorldGeometry sourceWorld = sameFile ? MapFileWorld(destinationPath, facetOf(destinationPath, facet), true)
                                               : MapFileWorld(sourcePath, facetOf(sourcePath, facet), true);
    const WorldGeometry destWorld = MapFileWorld(destinationPath, facetOf(destinationPath, facet), true);
    requireInsideMap(source, sourceWorld, "source");
    requireInsideMap(dest, destWorld, "destination");
    const WorldLock lock(destinationPath, "copy region");
    if (in) requireReach(*in, sourceWorld, source);
    requireReach(*out, destWorld, dest);
    if (sameFile) requireReach(*out, destWorld, source);

    const int dx = dest.x0 - source.x0, dy = dest.y0 - source.y0;
    if (sameFile && source.overlaps(dest)) {
        // One file, overlapping rectangles: replay the cell-by-cell copy on the region in
        // memory, source column by column and each column top to bottom, so a cell that
        // was overwritten earlier in the run is read with its new content.
        const Rect both{std::min(source.x0, dest.x0), std::min(source.y0, dest.y0), std::max(source.x1, dest.x1),
                        std::max(source.y1, dest.y1)};
        CellGrid grid(both);
        readCells(*out, destWorld, grid);
        for (int i = source.x0; i <= source.x1; ++i)
            for (int j = source.y0; j <= source.y1; ++j) std::memcpy(grid.at(i + dx, j + dy), grid.at(i, j), MapCellSize);
        writeCells(*out, destWorld, dest, grid, 0, 0);
    } else {
        CellGrid grid(source);
        readCells(in ? *in : *out, sourceWorld, grid);
        writeCells(*out, destWorld, dest, grid, dx, dy);
    }
    out->close();
    if (in) in->close();
    return source.width() * source.height();
}

} // namespace tq
