#pragma once
#include "core/world.h"

#include <string>
#include <vector>

namespace tq {

struct StaticIndexBuffer;

// The blocks a diff package changes, x-major by world.blockNumber: those its map part
// carries and those whose statics its statics part replaces. A package marks every block
// without statics in the modified world as emptied, changed or not; such a block counts
// only when `original` (the index the package is applied to) has statics there. `world` is
// set to the world the package was made for. The header and tables are checked first
// (packages come from strangers: "Invalid TQD file: ...").
std::vector<bool> PackageChangedBlocks(const std::string& packagePath, WorldGeometry& world,
                                       const StaticIndexBuffer* original = nullptr);

} // namespace tq
