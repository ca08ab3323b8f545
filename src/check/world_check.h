#pragma once
// `check`: reads a whole world — static index and statics, map, world-save, diff packages —
// and reports what clients, servers or this program will choke on. Changes nothing.
#include "check/check_report.h"
#include "core/progress.h"

#include <optional>
#include <string>
#include <vector>

namespace tq {

inline constexpr const char* KindWorldMismatch = "world-mismatch";

// Checks every file `paths` name. A folder stands for what it holds: its world files
// (map{N}.mul, map{N}LegacyMUL.uop, staidx{N}.mul, statics{N}.mul), its .tq2 packages, its
// world-save (.wsc files, or a folder of region files inside it). An index is checked with
// the statics file of its facet beside it, or the one named with it. `facet` is for files
// whose names do not tell theirs. Throws for a path that does not exist or cannot be read.
CheckReport CheckWorld(const std::vector<std::string>& paths, std::optional<int> facet = {},
                       const Progress& progress = {});

} // namespace tq
