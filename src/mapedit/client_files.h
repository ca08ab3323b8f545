#pragma once
#include <array>
#include <string>

namespace tq {

// The four image files of the game client, read by the map editor from one folder.
inline constexpr const char* TexIdxName = "texidx.mul";
inline constexpr const char* TexMapsName = "texmaps.mul";
inline constexpr const char* ArtIdxName = "artidx.mul";
inline constexpr const char* ArtName = "art.mul";
inline constexpr std::array<const char*, 4> ClientImageFileNames = {TexIdxName, TexMapsName, ArtIdxName,
                                                                     ArtName};

// The folder text followed by a separator and the file name, as the user would write it.
std::string clientFilePath(const std::string& folder, const std::string& name);

// The path of the existing file `name` in `folder`. A folder copied from a Windows
// install often holds "TexIdx.mul" or "ART.MUL", so when the exact name is missing the
// folder is searched for the name in any letter case. Empty when there is no such file
// (or the folder text is empty).
std::string findClientFile(const std::string& folder, const std::string& name);

// True when all four image files are found in the folder (checked in the order
// texidx.mul, texmaps.mul, artidx.mul, art.mul).
bool clientFilesPresent(const std::string& folder);

} // namespace tq
