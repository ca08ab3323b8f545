#pragma once
#include <string>

namespace tq {

// A map path is valid when the file exists and its name is map{N}.mul (any case) of a facet N.
bool isValidMapPath(const std::string& path);

// A client folder is valid when all four picture files are in it (texidx.mul,
// texmaps.mul, artidx.mul, art.mul, in any letter case).
bool isValidClientFolder(const std::string& folder);

} // namespace tq
