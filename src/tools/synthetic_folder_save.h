#pragma once
// A synthetic save of today's server: a folder of region files "<cx>.<cy>.wsc" of [ITEM],
// [CHARACTER] and [SPAWNITEM] records, for tests, benchmarks and the demo.
#include "core/progress.h"
#include "core/world.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tq {

struct SyntheticFolderSummary {
    std::vector<std::string> files;   // region file names, in name order
    int64_t worldItems = 0;           // [ITEM] records (containers and their contents included)
    int64_t type255Items = 0;         // Type=255 on the save's facet, on the ground, in the map
    int64_t type255InContainers = 0;  // Type=255 inside a container (never frozen)
    int64_t type255OtherFacet = 0;    // Type=255 on the ground of another facet
    int64_t autoItems = 0;            // Type 0, a listed id, on the ground of the save's facet
    int64_t containedItems = 0;       // Cont other than 0xffffffff
    int64_t containers = 0;
    int64_t characters = 0;
    int64_t spawners = 0;             // [SPAWNITEM] records
    uint32_t highestSerial = 0;
};

// Writes the folder save of `items` world items on `world` into the existing folder `dir`,
// LF line ends as the server writes them on Linux, comments, unknown keys, "---REGION---"
// parts; about one item in twenty stands on another facet. Draws from the shared generator
// (the caller seeds it); the same draws give the same bytes.
SyntheticFolderSummary writeSyntheticFolderSave(const std::string& dir, const WorldGeometry& world, int64_t items,
                                                const Progress& progress = {});

} // namespace tq
