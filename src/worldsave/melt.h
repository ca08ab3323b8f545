#pragma once
#include "core/progress.h"
#include "core/static_index.h"

#include <string>

namespace tq {

inline constexpr const char* MeltingInProgressMessage =
    "Melting in progress... Terraquill may look crashed, do not interrupt!";
inline constexpr const char* MeltingCompletedMessage = "Melting completed!";

struct MeltOptions {
    std::string staidxPath;     // staidx0.mul
    std::string staticsPath;    // statics0.mul (only read)
    // Receives the block's statics as world items: a file of SECTION objects, or today's
    // folder of region files (the folder or any .wsc in it), where they go into the region
    // file of the block as [ITEM] records (see docs/formats.md).
    std::string worldSavePath;
    // When true the melt logs "Melting in progress... ..." itself first. The window,
    // which logs that line before it reads the X and Y fields, may log it itself instead.
    bool announce = false;
};

// Turns the statics of block (bx, by) into world items appended to the world-save file
// (before its "EOF" line), and empties the block's entry (-1, 0, 0) in `index` (the
// window's StaticIndex), which is then saved whole. statics0.mul is not written.
//
// Log lines, in order:
//   ["Melting in progress... Terraquill may look crashed, do not interrupt!"  if announce]
//   ["Nothing to do!"  when the block has no statics]
//   "Writing StaIdx file..."  "Done!"  "Melting completed!"
// Progress: 0; 90..99 while the index is saved; 100.
//
// Order of writes: the new world-save and the new index are both written in full under
// temporary names, then the world-save replaces the old one, then the index: a failure
// leaves the items as statics, as world items, or (between the two renames) both. If the
// index cannot be saved, `index` keeps the old entry. A block outside the index's world is refused, and so is an index file
// on disk of another length than `index`.
void MeltBlock(const MeltOptions& options, int bx, int by, StaticIndexBuffer& index, const Progress& progress,
               const LogSink& log);

} // namespace tq
