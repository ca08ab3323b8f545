#pragma once
#include "command.h"

#include <optional>

namespace tq::cli {

// The "--facet N" option every world command takes, for files whose names do not tell
// their facet (a name such as staidx3.mul does). Refuses a facet that does not exist.
inline constexpr const char* FacetOption = "facet";
std::optional<int> facetOption(const Args& args);

} // namespace tq::cli
