#include "mapedit/map_painting.h"

#include "core/int_parse.h"
#include "core/named_tiles.h"
#include "core/world.h"

#include <algorithm>

namespace tq {

std::vector<std::string> drawingModeNames() {
    std::vector<std::string> names = {"Don't draw", "Selected tile from list", "Altitude only"};
    for (const TNamedTile& t : NamedTiles) names.emplace_back(t.Name);
    return names;
}

std::vector<CellPos> brushCells(int c, int r, int brushSize, const WorldGeometry& world) {
    // The order matters in group modes: each cell takes the next random number.
    static const CellPos size2[] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    static const CellPos size3[] = {{0, 0}, {0, 2}, {1, 0}, {2, 0}, {0, 1}, {1, 1}, {2, 1}, {1, 2}, {2, 2}};
    std::vector<CellPos> cells;
    auto add = [&](const CellPos* offsets, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            const CellPos p{c + offsets[i].x, r + offsets[i].y};
            if (world.validCell(p.x, p.y)) cells.push_back(p);
        }
    };
    static const CellPos size1[] = {{0, 0}};
    if (brushSize >= 3) add(size3, 9);
    else if (brushSize == 2) add(size2, 4);
    else add(size1, 1);
    return cells;
}

TMapCell paintedCell(const TMapCell& old, const PaintSettings& s) {
    TMapCell cell = old;
    if (s.drawingMode == drawmode::SelectedTile) {
        cell.TileId = s.selectedTile;
    } else if (s.drawingMode >= drawmode::FirstGroup && s.drawingMode < drawmode::Count) {
        cell.TileId = RandomTileByName(NamedTiles[size_t(s.drawingMode - drawmode::FirstGroup)].Name);
    }
    int a = old.Altitude;
    switch (s.altitudeMode) {
    case AltitudeMode::Add: a += s.z; break;
    case AltitudeMode::Subtract: a -= s.z; break;
    case AltitudeMode::Set: a = s.z; break;
    }
    cell.Altitude = static_cast<int8_t>(std::clamp(a, -128, 127));
    return cell;
}

TMapCell PaintMapCell(File& map, int x, int y, const PaintSettings& settings, const WorldGeometry& world) {
    const TMapCell before = ReadMapCell(map, world, x, y);
    WriteMapCell(map, world, x, y, paintedCell(before, settings));
    return before;
}

bool parseZValue(const std::string& text, int& z) {
    int32_t v = 0;
    if (!tryParseInt(text, v)) return false;
    z = std::clamp<int32_t>(v, -128, 127);
    return true;
}

} // namespace tq
