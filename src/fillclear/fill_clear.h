#pragma once
#include "core/progress.h"
#include "core/world.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tq {

// How much of block (blockX, blockY) lies in the rectangle of cells
// Left..Right x Top..Bottom (inclusive, unsigned 16-bit borders). The test for Wholly
// comes first.
enum class BlockCoverage : uint8_t { None, Partly, Wholly };
BlockCoverage BlockInArea(uint16_t top, uint16_t left, uint16_t right, uint16_t bottom, uint16_t blockX,
                          uint16_t blockY);

// The rectangle as the passes use it: each entered border taken modulo 65536.
struct FillClearArea {
    uint16_t Top = 0;
    uint16_t Left = 0;
    uint16_t Right = 0;
    uint16_t Bottom = 0;
};

// Parses the four border texts in the order Top, Left, Right, Bottom.
// Throws ConvertError "'<text>' is not a valid integer value".
FillClearArea parseFillClearArea(const std::string& top, const std::string& left, const std::string& right,
                                 const std::string& bottom);

// What the fill/clear window reads from its controls, and the CLI from its options. The
// defaults are the window's: the whole world, both passes, altitude 0 (the tile text
// starts empty).
struct FillClearInput {
    std::string Top = "0";
    std::string Left = "0";
    std::string Right = std::to_string(WorldGeometry().cellsWide() - 1);
    std::string Bottom = std::to_string(WorldGeometry().cellsHigh() - 1);
    bool ClearStatics = true;  // remove every static in the rectangle
    bool FillMap = true;       // set every map cell in the rectangle
    std::string StaIdxPath;
    std::string StaticsPath;
    std::string MapPath;
    std::string Tile;             // a tile group name, or a tile id as 2-byte spaced hex ("00 A8")
    std::string Altitude = "0";  // integer text, FillAltitudeMin..FillAltitudeMax
    std::optional<int> Facet;     // where the file names do not tell it
};

// The altitude a cell can take: a signed byte.
inline constexpr int FillAltitudeMin = -128;
inline constexpr int FillAltitudeMax = 127;
std::string altitudeOutOfRangeMessage(const std::string& typed);
inline constexpr const char* NoFillClearPassMessage = "Neither statics nor map is chosen: there is nothing to do";

// A run whose texts have been checked: what the passes work with.
struct FillClearRequest {
    FillClearArea Area;
    bool ClearStatics = true;
    bool FillMap = true;
    std::string StaIdxPath;
    std::string StaticsPath;
    std::string MapPath;
    int TileGroup = -1;  // a named tile group each cell draws from, or -1 for TileId
    uint16_t TileId = 0;
    int8_t Altitude = 0;
    std::optional<int> Facet;  // where the file names do not tell it
};

// The rules of a fill/clear's input, the one place they live (window, CLI and the
// operation all go through here). In order: at least one pass chosen
// (NoFillClearPassMessage); the four borders (ConvertError); when the map is filled, the
// altitude (ConvertError, then altitudeOutOfRangeMessage) and the tile ("Input not
// SpacedHex"). Opens no file.
FillClearRequest validateFillClear(const FillClearInput& input);

struct FillClearResult {
    int StaticBlocksCleared = 0;   // wholly covered blocks whose entry became empty
    int StaticBlocksTrimmed = 0;   // partly covered blocks whose survivors were rewritten
    int64_t StaticsRemoved = 0;    // records removed from partly covered blocks
    int MapBlocksWritten = 0;
    int64_t CellsFilled = 0;
    // Log lines: the trimmed blocks still holding more statics than the client draws.
    std::vector<std::string> Warnings;
};

// The fill/clear operation. The files the chosen passes need are opened and checked
// (sizes, and every partly covered block's statics entry) before the first byte is
// written. Progress: x*100/(width-1) after each block column of each pass, with a pump.
// The files the passes use must be of one world (FillClearWorld); borders beyond it touch
// nothing there.
FillClearResult FillClear(const FillClearRequest& request, const Progress& progress = {});
// validateFillClear, then the run: a typing error changes no file.
FillClearResult FillClear(const FillClearInput& input, const Progress& progress = {});
// The world of the files the chosen passes use; throws when they are not of one world.
WorldGeometry FillClearWorld(const FillClearRequest& request);

} // namespace tq
