#pragma once
#include "core/crowded_block.h"
#include "core/world.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What a world file is, for `terraquill-cli info`: its kind, facet and size, and for a
// static index the figures an operator checks before handing a world out.
namespace tq {

enum class WorldFileType { StaticIndex, Statics, Map, Unknown };

struct StaticIndexFigures {
    int64_t blocksWithStatics = 0;  // entries with at least one record
    int64_t statics = 0;            // records all entries point at
    int64_t largestBlock = 0;       // records of the fullest block
    int largestX = -1, largestY = -1;
    int64_t blocksOverClientLimit = 0;      // more than the client draws
    std::optional<std::string> staticsPath; // the statics file beside the index, when found
    uint64_t staticsBytes = 0;
    uint64_t unreferencedBytes = 0;         // bytes of the statics file no entry points at
};

struct WorldFileInfo {
    std::string path;
    WorldFileType type = WorldFileType::Unknown;
    std::optional<WorldGeometry> world;  // index and map files
    std::optional<int> facet;
    std::optional<StaticIndexFigures> index;
    std::string problem;  // why the file is not recognised, or what is wrong with it
};

// Describes one file; a file it cannot make sense of comes back Unknown with the reason.
WorldFileInfo DescribeWorldFile(const std::string& path, std::optional<int> facet = {});
// Every world file of a folder (names map{N}.mul, staidx{N}.mul, statics{N}.mul in any
// case), in name order; other files are left out.
std::vector<std::string> WorldFilesInFolder(const std::string& folder);

// The figures of an index in memory, with the statics file at `staticsPath` when given.
StaticIndexFigures StaticIndexFiguresOf(const struct StaticIndexBuffer& index,
                                        const std::optional<std::string>& staticsPath);

} // namespace tq
