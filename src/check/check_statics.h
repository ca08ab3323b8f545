#pragma once
#include "check/check_report.h"
#include "core/progress.h"
#include "core/world.h"

#include <optional>
#include <string>

namespace tq {

struct StaticIndexBuffer;

// Finding kinds of an index and its statics; compact refuses a world with any but the last.
inline constexpr const char* KindIndexLength = "index-length";
inline constexpr const char* KindLengthNotMultiple = "length-not-multiple-of-7";
inline constexpr const char* KindNegativeEntry = "negative-start-or-length";
inline constexpr const char* KindRunPastEnd = "run-past-end";
inline constexpr const char* KindOverlap = "overlapping-runs";
inline constexpr const char* KindOverProgramLimit = "over-2048-statics";
inline constexpr const char* KindStaticOutsideBlock = "static-outside-block";
inline constexpr const char* KindOverClientLimit = "over-1024-statics";

// Checks every entry of a loaded index against the statics file (when there is one): runs
// inside the file, lengths in whole records, no two runs sharing a byte, blocks within the
// client's and this program's limits, records inside their block. The bytes of the statics
// file no entry uses are noted (every append leaves some), not counted as a problem. Reads the statics file once, in file order.
void CheckStaticIndex(const std::string& indexPath, const StaticIndexBuffer& index,
                      const std::optional<std::string>& staticsPath, CheckReport& report, const Progress& progress = {});
// The same of an index file of `world`'s size, read in pieces rather than held whole.
// Returns the index's CRC (as StaticsCrc gives it).
uint32_t CheckStaticIndexFile(const std::string& indexPath, const WorldGeometry& world,
                              const std::optional<std::string>& staticsPath, CheckReport& report,
                              const Progress& progress = {});

} // namespace tq
