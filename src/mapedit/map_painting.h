#pragma once
#include "core/map_file.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tq {

class File;

// Positions in the drawing-mode list: three fixed modes, then the 42 named groups in
// table order.
namespace drawmode {
inline constexpr int DontDraw = 0;
inline constexpr int SelectedTile = 1;
inline constexpr int AltitudeOnly = 2;
inline constexpr int FirstGroup = 3;
inline constexpr int Count = FirstGroup + 42;
} // namespace drawmode

// The names of the drawing-mode list, in order.
std::vector<std::string> drawingModeNames();

enum class AltitudeMode { Add = 0, Subtract = 1, Set = 2 };

struct PaintSettings {
    int drawingMode = drawmode::DontDraw;
    uint16_t selectedTile = 0;
    AltitudeMode altitudeMode = AltitudeMode::Set;
    int z = 0;
    int brushSize = 1;
};

struct CellPos {
    int x = 0, y = 0;
    friend bool operator==(const CellPos&, const CellPos&) = default;
};

// The cells a brush of size 1..3 with its top-left cell at (c, r) paints, in painting
// order. Cells beyond the map's (world's) last column or row are left out: they have no place in
// the file.
std::vector<CellPos> brushCells(int c, int r, int brushSize, const WorldGeometry& world = {});

// The cell after painting: the tile by the drawing mode (a new random pick per call in a
// group mode), the altitude by the altitude mode, clamped to -128..127.
TMapCell paintedCell(const TMapCell& old, const PaintSettings& settings);

// Reads the cell, paints it and writes its 3 bytes straight back. Returns the cell as it
// was before, for the undo history.
TMapCell PaintMapCell(File& map, int x, int y, const PaintSettings& settings, const WorldGeometry& world = {});

// A number typed into the Z box: clamped to -128..127; false when the text is no number.
bool parseZValue(const std::string& text, int& z);

} // namespace tq
