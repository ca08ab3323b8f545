#pragma once
#include "core/static_index.h"

#include <string>
#include <vector>

namespace tq {

// The block listing of the main window, one line per record:
// "Item #1: Item ID = ED 0E, X = 13, Y = 10, Z = -5, Color = 00 00".
std::vector<std::string> staticListingLines(const TStaticBlock& block, int blockX, int blockY);

} // namespace tq
