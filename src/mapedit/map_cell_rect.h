#pragma once
#include "core/map_file.h"

#include <cstdint>
#include <vector>

namespace tq {

class File;

// A rectangle of map cells, both corners included.
struct CellRect {
    int x0 = 0, y0 = 0, x1 = -1, y1 = -1;
    int width() const { return x1 - x0 + 1; }
    int height() const { return y1 - y0 + 1; }
    bool empty() const { return x1 < x0 || y1 < y0; }
    uint64_t cellCount() const { return empty() ? 0 : uint64_t(width()) * uint64_t(height()); }
    bool insideMap(const WorldGeometry& world = {}) const;
};

// Reads the cells of a rectangle inside the map, row by row (index (y - y0) * width + (x - x0)).
// The blocks of one block column lie back to back in the file, so each block column
// costs a single read however many rows it covers; a short file fails with "Read beyond
// end of file". A rectangle reaching outside the map throws before anything is read.
// (The world is the map's; the old clients' world when not given.)
void ReadMapCellRect(File& map, const CellRect& rect, std::vector<TMapCell>& cells, const WorldGeometry& world = {});

// The same rectangle as raw 3-byte cells in the file's own form, row by row.
void ReadMapCellBytes(File& map, const CellRect& rect, std::vector<uint8_t>& bytes, const WorldGeometry& world = {});
// Writes raw cells back, block column by block column; block headers keep their bytes.
void WriteMapCellBytes(File& map, const CellRect& rect, const std::vector<uint8_t>& bytes,
                       const WorldGeometry& world = {});

} // namespace tq
