#pragma once
#include "core/error.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tq {

inline constexpr const char* BoundariesWrongMessage =
    "You have set the Boundaries WRONG. Source and destination areas have to be of the same size.";

// The eight coordinate boxes of the map editor's copy tool, as typed. Cells, not blocks;
// both corners included. The boxes start at "0".
struct MapRegionTexts {
    std::string SFX = "0", SFY = "0", STX = "0", STY = "0";  // source X1, Y1, X2, Y2
    std::string DFX = "0", DFY = "0", DTX = "0", DTY = "0";  // destination X1, Y1, X2, Y2
};

struct MapRegion {
    int32_t SFX = 0, SFY = 0, STX = 0, STY = 0;
    int32_t DFX = 0, DFY = 0, DTX = 0, DTY = 0;
};

// The refusal of a source and destination of different sizes: the map editor shows it as
// a notice, not as an error.
class RegionSizeMismatch : public Error {
public:
    RegionSizeMismatch() : Error(BoundariesWrongMessage) {}
};
// Throws RegionSizeMismatch unless both rectangles have the same width, then height.
void CheckSameSize(const MapRegion& region);

// Parses the boxes in the order SFX, SFY, STX, STY, DFX, DFY, DTX, DTY.
// Throws ConvertError "'<text>' is not a valid integer value".
MapRegion parseMapRegion(const MapRegionTexts& texts);

// Copies the cells (tile id and altitude) of the source rectangle of one map file onto the
// destination rectangle of another, or of the same file. Block headers and every cell
// outside the destination rectangle stay as they are.
//
// Cells are copied in the order source column by column, each column top to bottom, and
// the result is exactly that of copying them one at a time: when source and destination
// are one file and the rectangles overlap, a source cell already overwritten earlier in
// the run is copied with its new content.
//
// Refused before anything is written: rectangles of different sizes (RegionSizeMismatch),
// a rectangle with a cell outside its map, a file too short for its rectangle. A second
// corner before the first gives an empty rectangle: nothing is copied. Each map has its own
// world (facet from its name, or `facet` where the name does not tell; size from its length),
// so a region can go from one facet to another.
// Returns the number of cells copied.
int64_t CopyMapRegion(const std::string& sourcePath, const std::string& destinationPath,
                      const MapRegionTexts& corners, std::optional<int> facet = {});
int64_t CopyMapRegion(const std::string& sourcePath, const std::string& destinationPath,
                      const MapRegion& region, std::optional<int> facet = {});

} // namespace tq
