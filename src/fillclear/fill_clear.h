#pragma once
#include "core/progress.h"
#include "core/world.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tq {

// How much of block (blockX, blockY) lies in the rectangle of cells
// Left..Right x Top..Bottom (inclusive, unsigned 16-bit borders):
// 2 wholly inside, 1 partly, 0 not at all. The test for 2 comes first.
int BlockInArea(uint16_t top, uint16_t left, uint16_t right, uint16_t bottom, uint16_t blockX,
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

// What the fill/clear window reads from its controls. The defaults are the window's:
// the whole world, both passes, altitude 0 (the tile text starts empty).
struct FillClearInput {
    std::string Top = "0";
    std::string Left = "0";
    std::string Right = "6143";
    std::string Bottom = "4095";
    bool ClearStatics = true;  // StaticsCheckBox: remove every static in the rectangle
    bool FillMap = true;       // MapCheckBox: set every map cell in the rectangle
    std::string StaIdxPath;
    std::string StaticsPath;
    std::string MapPath;
    std::string Tile;             // a tile group name, or a tile id as 2-byte spaced hex ("00 A8")
    std::string Altitude = "0";  // integer text; its low 8 bits are stored
    std::optional<int> Facet;     // where the file names do not tell it
};

struct FillClearResult {
    int StaticBlocksCleared = 0;   // wholly covered blocks whose entry became empty
    int StaticBlocksTrimmed = 0;   // partly covered blocks whose survivors were rewritten
    int64_t StaticsRemoved = 0;    // records removed from partly covered blocks
    int MapBlocksWritten = 0;
    int64_t CellsFilled = 0;
};

// The fill/clear operation. Every text is checked before any file is opened (the tile
// and altitude only when the map is filled); then the files the chosen passes need are
// opened and checked (sizes, and every partly covered block's statics entry) before the
// first byte is written. Progress: x*100/767 after each block column of each pass, with
// a pump. Nothing happens when neither pass is chosen. The files the passes use must be of
// one world (FillClearWorld); borders beyond it touch nothing there.
FillClearResult FillClear(const FillClearInput& input, const Progress& progress = {});
// The world of the files the chosen passes use; throws when they are not of one world.
WorldGeometry FillClearWorld(const FillClearInput& input);

} // namespace tq
