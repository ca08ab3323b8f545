#pragma once
#include "core/progress.h"
#include "tools/synthetic_folder_save.h"
#include "core/world.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tq {

// What makeSyntheticWorld wrote, for the command line's summary and for tests.
struct SyntheticWorldSummary {
    std::vector<std::string> files;  // names written into the folder, in writing order
    int64_t staticBlocks = 0;        // index entries with records
    int64_t staticRecords = 0;       // records those entries point at
    int64_t emptyRuns = 0;           // entries with a Start and Length 0
    int64_t worldItems = 0;          // "SECTION WORLDITEM" sections
    int64_t type255Items = 0;        // TYPE 255 (chosen by the "type 255" rule)
    int64_t type255InContainers = 0; // of those, inside a container (not chosen by "auto")
    int64_t autoItems = 0;           // TYPE 0, NAME "#", listed id, on the ground
    int64_t containedItems = 0;      // CONT other than -1
    int64_t characters = 0;
    int64_t guilds = 0;
    std::vector<uint16_t> landTiles; // every land tile id the map uses, ascending
    // With SyntheticSaveFormat::Folder: the save in "shared/" (the counts above stay 0).
    SyntheticFolderSummary folder;
};

// items.wsc of SECTION objects, or today's folder of region files in "shared/".
enum class SyntheticSaveFormat { SingleFile, Folder };
inline constexpr const char* SyntheticFolderName = "shared";

inline constexpr int DefaultSyntheticItems = 2000;

// Writes a complete, deterministic world of `world` (its facet and size) into the existing
// folder `dir`: map{N}.mul, staidx{N}.mul, statics{N}.mul (N the facet), items.wsc with
// `items` world items on the world's cells (or, with SyntheticSaveFormat::Folder, the folder
// "shared" of region files instead),
// AutoSelect.txt listing the ids its "auto" items use, and texidx.mul, texmaps.mul,
// artidx.mul, art.mul with a picture for every land tile of the map, and radarcol.mul with
// the colour of every land tile and static. The same seed
// gives the same bytes. Draws from the shared generator, which it seeds with `seed`.
// With `containers`, the map is map{N}LegacyMUL.uop and the land art artLegacyMUL.uop (the
// same bytes in UOP containers) instead of map{N}.mul, artidx.mul and art.mul, as today's
// clients ship them.
SyntheticWorldSummary makeSyntheticWorld(const std::string& dir, int64_t items = DefaultSyntheticItems,
                                         uint32_t seed = 1, const Progress& progress = {},
                                         const WorldGeometry& world = {}, bool containers = false,
                                         SyntheticSaveFormat format = SyntheticSaveFormat::SingleFile);

// The ids that the "auto" items of a synthetic world use (and its AutoSelect.txt lists).
const std::vector<uint16_t>& syntheticAutoSelectIds();
// Whether the "auto" rule picks `id`; an item id from the shared generator that it does not pick.
bool isAutoId(uint16_t id);
uint16_t drawPlainItemId();

} // namespace tq
