#pragma once
#include "core/map_file.h"
#include "mapedit/map_cell_rect.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace tq {

class File;

// Undo and redo of the map editor's writes. Each step holds, for the cells it touched,
// the bytes that the other direction must put back: undo and redo are the same swap
// (read what is there now, write what the step holds, keep what was read). Every
// write still goes to the file at once; the history only remembers.
class MapEditHistory {
public:
    // The world of the editor's own map file (its cells' positions); set when it opens.
    void setWorld(const WorldGeometry& world) { world_ = world; }
    // Painting: cells written through the editor's own map file, collected per stroke.
    void beginStep();
    void recordCell(int x, int y, const TMapCell& before);
    void endStep();  // an empty step is dropped
    bool stepOpen() const { return open_; }

    // A region copy into the map file at `path` (possibly the editor's own): the
    // rectangle's cells as they were before, raw, row by row.
    // `world` is that file's.
    void recordRegion(const std::string& path, const CellRect& rect, std::vector<uint8_t> before,
                      const WorldGeometry& world = {});

    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }
    // `map` is the editor's open map file. A failure leaves the step where it was.
    void undo(File& map);
    void redo(File& map);
    void clear();

    // Oldest steps are forgotten once the held bytes pass this limit.
    static constexpr size_t MemoryLimit = size_t(256) << 20;

private:
    struct CellEntry {
        int x, y;
        TMapCell cell;
    };
    struct Step {
        std::vector<CellEntry> cells;  // painting, in the order written
        std::string path;              // region step: file and rectangle
        CellRect rect;
        std::vector<uint8_t> bytes;
        WorldGeometry world;  // of the file the step wrote
        size_t size() const { return cells.size() * sizeof(CellEntry) + bytes.size() + sizeof(Step); }
    };
    static void swap(File& map, Step& step, bool reverse);
    void push(Step step);

    std::deque<Step> undo_, redo_;
    Step current_;
    WorldGeometry world_;
    bool open_ = false;
    size_t held_ = 0;
};

} // namespace tq
