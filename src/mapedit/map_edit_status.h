#pragma once
#include "core/map_file.h"
#include "mapedit/map_painting.h"

#include <optional>
#include <string>

namespace tq {

// Left status panel: "X=100 - Y=200 - Altitude=-5 - Tile=A3 01", or with no cell (the
// paths are not valid) "X=100 - Y=200 - Wrong filename".
std::string mapPositionStatus(int x, int y, const std::optional<TMapCell>& cell);

// Right status panel: "Selected mode: Set altitude to 0 - Drawing disabled" and its kin.
// listRow is the tile list's current row, shown in the "Selected tile" mode.
std::string paintModeStatus(AltitudeMode altitudeMode, int z, int drawingMode, int listRow);

} // namespace tq
