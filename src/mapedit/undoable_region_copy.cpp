#include "mapedit/undoable_region_copy.h"

#include "core/error.h"
#include "core/file_system.h"
#include "mapedit/map_cell_rect.h"
#include "mapedit/map_edit_history.h"

#include <vector>

namespace tq {

int64_t CopyMapRegionWithUndo(const std::string& sourcePath, const std::string& destinationPath,
                              const MapRegion& g, MapEditHistory& history) {
    // Refused before the destination's cells are even read.
    CheckSameSize(g);
    const CellRect rect{g.DFX, g.DFY, g.DTX, g.DTY};
    std::vector<uint8_t> before;
    bool haveBefore = false;
    if (!rect.empty() && rect.insideMap() && CellRect{g.SFX, g.SFY, g.STX, g.STY}.insideMap()) {
        try {
            auto file = openFile(destinationPath, OpenMode::Read);
            ReadMapCellBytes(*file, rect, before);
            haveBefore = true;
        } catch (const Error&) {
        }
    }
    int64_t copied = 0;
    try {
        copied = CopyMapRegion(sourcePath, destinationPath, g);
    } catch (...) {
        if (haveBefore) {
            try {
                std::vector<uint8_t> now;
                auto file = openFile(destinationPath, OpenMode::Read);
                ReadMapCellBytes(*file, rect, now);
                if (now != before) history.recordRegion(destinationPath, rect, std::move(before));
            } catch (...) {
            }
        }
        throw;
    }
    if (haveBefore) history.recordRegion(destinationPath, rect, std::move(before));
    return copied;
}

} // namespace tq
