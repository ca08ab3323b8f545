#pragma once
#include "check/check_report.h"
#include "core/progress.h"
#include "core/world.h"

#include <functional>
#include <string>

namespace tq {

inline constexpr const char* KindBadRecord = "bad-record";
inline constexpr const char* KindDuplicateSerial = "duplicate-serial";
inline constexpr const char* KindMissingContainer = "missing-container";
inline constexpr const char* KindItemOutsideMap = "item-outside-map";

// The map an item of facet N must lie on (the size of the world's own files where the check
// has them, else the facet's largest size).
using FacetWorlds = std::function<WorldGeometry(int facet)>;

// Checks a world-save of either format (a single file, or a folder of region files): records
// that do not read (file and line), serials used twice, items in a container no object of
// the save has, items on the ground outside their facet's map. The whole save is one set of
// serials: a container may be in another region file.
void CheckWorldSave(const std::string& path, const FacetWorlds& worlds, CheckReport& report,
                    const Progress& progress = {});

} // namespace tq
