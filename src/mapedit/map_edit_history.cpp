#include "mapedit/map_edit_history.h"

#include "core/file_system.h"

#include <utility>

namespace tq {

void MapEditHistory::beginStep() {
    if (open_) endStep();
    current_ = Step{};
    current_.world = world_;
    open_ = true;
}

void MapEditHistory::recordCell(int x, int y, const TMapCell& before) {
    if (!open_) beginStep();
    current_.cells.push_back({x, y, before});
}

void MapEditHistory::endStep() {
    if (!open_) return;
    open_ = false;
    if (!current_.cells.empty()) push(std::move(current_));
    current_ = Step{};
}

void MapEditHistory::recordRegion(const std::string& path, const CellRect& rect, std::vector<uint8_t> before,
                                  const WorldGeometry& world) {
    if (open_) endStep();
    Step step;
    step.world = world;
    step.path = path;
    step.rect = rect;
    step.bytes = std::move(before);
    push(std::move(step));
}

void MapEditHistory::push(Step step) {
    held_ += step.size();
    undo_.push_back(std::move(step));
    for (const Step& s : redo_) held_ -= s.size();
    redo_.clear();
    while (held_ > MemoryLimit && undo_.size() > 1) {
        held_ -= undo_.front().size();
        undo_.pop_front();
    }
}

void MapEditHistory::swap(File& map, Step& step, bool reverse) {
    if (!step.path.empty()) {
        auto file = openMapFile(step.path, OpenMode::ReadWrite, step.world.facet);
        std::vector<uint8_t> now;
        ReadMapCellBytes(*file, step.rect, now, step.world);
        WriteMapCellBytes(*file, step.rect, step.bytes, step.world);
        file->close();
        step.bytes = std::move(now);
        return;
    }
    // Read everything first, so a failing read writes nothing. A cell touched twice in
    // one step ends with the value of the write that comes last in this direction.
    std::vector<TMapCell> now(step.cells.size());
    for (size_t i = 0; i < step.cells.size(); ++i) now[i] = ReadMapCell(map, step.world, step.cells[i].x, step.cells[i].y);
    const size_t n = step.cells.size();
    for (size_t k = 0; k < n; ++k) {
        const CellEntry& e = step.cells[reverse ? n - 1 - k : k];
        WriteMapCell(map, step.world, e.x, e.y, e.cell);
    }
    for (size_t i = 0; i < n; ++i) step.cells[i].cell = now[i];
}

void MapEditHistory::undo(File& map) {
    if (open_) endStep();
    if (undo_.empty()) return;
    swap(map, undo_.back(), true);
    redo_.push_back(std::move(undo_.back()));
    undo_.pop_back();
}

void MapEditHistory::redo(File& map) {
    if (open_) endStep();
    if (redo_.empty()) return;
    swap(map, redo_.back(), false);
    undo_.push_back(std::move(redo_.back()));
    redo_.pop_back();
}

void MapEditHistory::clear() {
    undo_.clear();
    redo_.clear();
    current_ = Step{};
    open_ = false;
    held_ = 0;
}

} // namespace tq
