#pragma once
#include "core/map_file.h"
#include "core/progress.h"
#include "core/radar_colours.h"
#include "core/world.h"
#include "mapedit/map_cell_rect.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The overview picture of a world: one pixel per cell, or per N x N cells averaged, in the
// radar colours of the land and of the topmost static of each cell.
namespace tq {

class File;
struct StaticIndexBuffer;

// The cells to draw. Corners are included, X1 <= X2 and Y1 <= Y2, the first corner inside
// the map; a second corner past the map's edge is taken back to the edge (and said so in
// `note`). Throws with the reason otherwise.
CellRect overviewArea(const WorldGeometry& world, const CellRect& requested, std::string* note = nullptr);
// Pixels along one side: one per `scale` cells, the last one for what is left.
int overviewPixels(int cells, int scale);
// Refuses a scale below 1.
void requireOverviewScale(int scale);

// The statics of a world, held whole for one render.
struct OverviewStatics {
    const StaticIndexBuffer* index = nullptr;
    const std::vector<uint8_t>* heap = nullptr;  // the whole statics file
    std::string indexPath, staticsPath;          // for messages
};

struct OverviewOptions {
    int scale = 1;
    bool shade = false;  // lighter with altitude, darker below 0
};

struct OverviewPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // width * height triples, rows top to bottom
    CellRect area;             // the cells drawn
    int scale = 1;
    // Cells whose land or static has no entry in the radar colours (drawn black).
    uint64_t cellsWithoutColour = 0;
    Rgb8 pixel(int x, int y) const {
        const size_t at = (size_t(y) * size_t(width) + size_t(x)) * 3;
        return {rgb[at], rgb[at + 1], rgb[at + 2]};
    }
};

// Draws `area` (already checked by overviewArea) of an open map. Reads each block column
// of the area once, in one read.
OverviewPicture renderOverview(File& map, const WorldGeometry& world, const RadarColours& colours, const CellRect& area,
                               const OverviewOptions& options, const OverviewStatics* statics = nullptr,
                               const Progress& progress = {});

// "radarcol.mul holds 16,384 colours: 120 cells have a tile or static past its end and are drawn black"
std::string missingColoursWarning(const std::string& radarcolPath, size_t entries, uint64_t cells);

// A whole render from files, as the command line asks for it.
struct OverviewRequest {
    std::string map;
    std::string staidx, statics;  // both or neither
    std::string radarcol;
    std::optional<int> facet;
    std::optional<CellRect> area;  // the whole map when not given
    OverviewOptions options;
};
struct OverviewResult {
    WorldGeometry world;
    OverviewPicture picture;
    std::vector<std::string> notes;     // what was adjusted (a clamped area)
    std::vector<std::string> warnings;  // missing colours
};
OverviewResult renderOverviewFiles(const OverviewRequest& request, const Progress& progress = {});

// Which blocks of two maps of one size differ in any cell (tile or altitude), x-major like
// the files (block bx, by at world.blockNumber). Each map is read once, a block column at a time.
std::vector<bool> differingMapBlocks(const std::string& originalMap, const std::string& modifiedMap,
                                     std::optional<int> facet, WorldGeometry& world);
// Tints red the pixels of `picture` that show part of a differing block. Returns how many
// blocks of the picture's area differ.
uint64_t markDifferingBlocks(OverviewPicture& picture, const WorldGeometry& world, const std::vector<bool>& differs);

// The overview of `modified` (its map, statics and colours) with the blocks whose cells
// differ from `originalMap` tinted red: what a changed map changes, at a glance.
struct ChangesResult {
    OverviewResult overview;
    uint64_t differingBlocks = 0;  // in the area drawn
};
ChangesResult renderMapChanges(const std::string& originalMap, const OverviewRequest& modified,
                               const Progress& progress = {});
// The radarcol.mul beside the map (any case of the name), "" when there is none.
std::string radarColoursBeside(const std::string& mapPath);

} // namespace tq
