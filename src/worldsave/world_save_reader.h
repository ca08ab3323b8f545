#pragma once
#include "core/progress.h"
#include "core/static_index.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tq {

// Which world items a freeze takes.
enum class SelectionRule {
    None = -1,    // nothing is selected
    Type255 = 0,  // "type 255": TYPE 255, wherever the item lies
    Auto = 1,     // "auto": on the ground, and TYPE 255 or (TYPE 0, NAME "#", id listed)
};

// What the scan decided for one world-item section number.
struct TSelectionEntry {
    uint8_t Selected = 0;  // 1: freeze this item
    uint16_t BlockX = 0;   // X div 8 (may lie outside the world; freeze refuses that)
    uint16_t BlockY = 0;   // Y div 8
};

// Indexed by world-item section number modulo 65536; 65535 means "no section".
struct SelectionTable {
    std::array<TSelectionEntry, 65536> entries{};
    TSelectionEntry& operator[](size_t n) { return entries[n]; }
    const TSelectionEntry& operator[](size_t n) const { return entries[n]; }
    void clear() { entries.fill(TSelectionEntry{}); }
};
std::unique_ptr<SelectionTable> newSelectionTable();

// One flag per item id, read by the "auto" rule (filled by LoadAutoSelectList).
using AutoSelectIds = std::bitset<65536>;

// Scans a world-save file and marks the items the rule selects. Logs
// "Selecting item for export: <n>" for each selected item, in file order. Throws
// "'<TEXT>' is not a valid integer value" for a bad number (nothing is written).
void SelectWorldItems(const std::string& path, SelectionTable& table, SelectionRule rule, const AutoSelectIds& autoIds,
                      const LogSink& log);
// The same over world-save text already in memory.
void SelectWorldItems(std::string_view text, SelectionTable& table, SelectionRule rule, const AutoSelectIds& autoIds,
                      const LogSink& log);

} // namespace tq
