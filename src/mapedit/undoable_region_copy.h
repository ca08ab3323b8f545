#pragma once
#include "mapedit/region_copy.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tq {

class MapEditHistory;

// The map editor's region copy: CopyMapRegion, with the destination rectangle's cells as
// they were recorded in `history` as one step, so the copy can be undone. A copy that
// failed while writing may have changed part of the rectangle: that is recorded too.
// A rectangle outside the map or a destination that cannot be read is left to the copy,
// which refuses it before writing anything (and nothing is recorded).
int64_t CopyMapRegionWithUndo(const std::string& sourcePath, const std::string& destinationPath,
                              const MapRegion& region, MapEditHistory& history, std::optional<int> facet = {});

} // namespace tq
