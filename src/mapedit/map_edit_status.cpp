#include "mapedit/map_edit_status.h"

#include "core/named_tiles.h"
#include "core/spaced_hex.h"

namespace tq {

std::string mapPositionStatus(int x, int y, const std::optional<TMapCell>& cell) {
    std::string text = "X=" + std::to_string(x) + " - Y=" + std::to_string(y);
    if (cell)
        text += " - Altitude=" + std::to_string(int(cell->Altitude)) + " - Tile=" + IntToSpacedHex(cell->TileId, 2);
    else
        text += " - Wrong filename";
    return text;
}

std::string paintModeStatus(AltitudeMode altitudeMode, int z, int drawingMode, int listRow) {
    std::string text = "Selected mode: ";
    const std::string zs = std::to_string(z);
    switch (altitudeMode) {
    case AltitudeMode::Add: text += "Add " + zs + " to current altitude"; break;
    case AltitudeMode::Subtract: text += "Subtract " + zs + " from current altitude"; break;
    case AltitudeMode::Set: text += "Set altitude to " + zs; break;
    }
    if (drawingMode == drawmode::DontDraw)
        text += " - Drawing disabled";
    else if (drawingMode == drawmode::SelectedTile)
        text += " - Selected tile=" + IntToSpacedHex(listRow, 2);
    else if (drawingMode == drawmode::AltitudeOnly)
        text += " - Drawing altitude only";
    else if (drawingMode >= drawmode::FirstGroup && drawingMode < drawmode::Count)
        text += std::string(" - Selected group: \"") + NamedTiles[size_t(drawingMode - drawmode::FirstGroup)].Name + "\"";
    return text;
}

} // namespace tq
