#pragma once
#include <string>

namespace tq {

// A map path is valid when the file exists and its name, lower-cased, is "map0.mul".
bool isValidMapPath(const std::string& path);

// The four picture files of the client folder, in the order they are checked.
inline constexpr const char* ClientPictureFiles[4] = {"texidx.mul", "texmaps.mul", "artidx.mul", "art.mul"};

// A client folder is valid when all four picture files are in it.
bool isValidClientFolder(const std::string& folder);

} // namespace tq
