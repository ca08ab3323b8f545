#include "mapedit/undoable_region_copy.h"

#include "core/error.h"
#include "core/file_system.h"
#include "core/map_file.h"
#include "mapedit/map_cell_rect.h"
#include "mapedit/map_edit_history.h"

#include <vector>

namespace tq {

int64_t CopyMapRegionWithUndo(const std::string& sourcePath, const std::string& destinationPath,
                              const MapRegion& g, MapEditHistory& history, std::optional<int> facet) {
    // Refused before the destination's cells are even read.
    CheckSameSize(g);
    const CellRect rect{g.DFX, g.DFY, g.DTX, g.DTY};
    std::vector<uint8_t> before;
    bool haveBefore = false;
    WorldGeometry world;  // the destination's
    try {
        world = MapFileWorld(destinationPath, facet, true);
        if (!rect.empty() && rect.insideMap(world)) {
            auto file = openMapFile(destinationPath, OpenMode::Read, facet);
            ReadMapCellBytes(*file, rect, before, world);
            haveBefore = true;
        }
    } catch (const Error&) {
    }
    int64_t copied = 0;
    try {
        copied = CopyMapRegion(sourcePath, destinationPath, g, facet);
    } catch (...) {
        if (haveBefore) {
            try {
                std::vector<uint8_t> now;
                auto file = openMapFile(destinationPath, OpenMode::Read, facet);
                ReadMapCellBytes(*file, rect, now, world);
                if (now != before) history.recordRegion(destinationPath, rect, std::move(before), world);
            } catch (...) {
            }
        }
        throw;
    }
    if (haveBefore) history.recordRegion(destinationPath, rect, std::move(before), world);
    return copied;
}

} // namespace tq
