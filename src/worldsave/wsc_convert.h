#pragma once
// Moves an old single-file save (items.wsc of SECTION objects) to today's folder of region
// files, so that an old world can go to today's server.
#include "core/progress.h"

#include <cstdint>
#include <map>
#include <string>

namespace tq {

struct WscConversion {
    int64_t items = 0, characters = 0, containedItems = 0;
    int64_t regionFiles = 0;
    // What could not be carried over, with how often: "GUILD sections", "WORLDITEM tag MOVABLE", ...
    std::map<std::string, int64_t> notCarried;
    // What was carried over changed: "world items without SERIAL (given new serials)", ...
    std::map<std::string, int64_t> changed;
};

// Reads `itemsWsc` whole (refusing a bad number with the reader's message) and writes, into
// the folder `dir` (created when missing; refused when it already holds a .wsc file), one
// "<cx>.<cy>.wsc" per area with items:
// - every world item as an [ITEM] record: Serial, Name, ID, Location=x,y,z,0,0 (the old
//   save's items stand on facet 0), Colour, Cont (0xffffffff on the ground), Type, Amount;
//   an item in a container goes into the file of the object it finally lies in (on the
//   ground or on a character), or "overflow.wsc" when that object is not in the save;
//   an item without SERIAL gets a new one after the highest;
// - every character as a [CHARACTER] record with its Serial, Name, ID and Location;
// - every other tag, section kind and comment is counted in `notCarried` and logged as
//   "Not carried over: <what> (<n>)"; what was changed on the way as "Changed: <what> (<n>)".
//   The log also says what was written.
// Every file is written whole and atomically.
WscConversion ConvertWorldSaveToFolder(const std::string& itemsWsc, const std::string& dir, const LogSink& log);

} // namespace tq
