#pragma once
#include "check/check_report.h"
#include "core/progress.h"
#include "core/world.h"

#include <optional>
#include <string>

namespace tq {

inline constexpr const char* KindMapLength = "map-length";
inline constexpr const char* KindTileBeyondArt = "tile-beyond-art";

// The highest land tile id the art beside a map knows: from artidx.mul (its entry count) or
// artLegacyMUL.uop (its highest land entry) in the map's folder; the last land id when
// neither is there. `source` says which it was.
uint32_t LastLandTile(const std::string& mapPath, std::string& source);

// Checks a map's length against its facet and every cell's tile id against the art beside
// it (altitudes are all legal). Returns the map's world, or nothing when its length fits none.
std::optional<WorldGeometry> CheckMap(const std::string& mapPath, std::optional<int> facet, CheckReport& report,
                                      const Progress& progress = {});

} // namespace tq
