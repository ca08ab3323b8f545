#pragma once
#include "check/check_report.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace tq {

inline constexpr const char* KindBadPackage = "bad-package";

// Checks a diff package as applying it would before writing anything (its header, both
// tables and the data they point at), and notes the CRC of the original index it expects,
// with whether each index of `indexCrcs` (path, CRC) has it.
void CheckDiffPackageFile(const std::string& path, const std::vector<std::pair<std::string, uint32_t>>& indexCrcs,
                          CheckReport& report);

} // namespace tq
