#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace tq {

// The four image files of the game client, read by the map editor from one folder.
inline constexpr const char* TexIdxName = "texidx.mul";
inline constexpr const char* TexMapsName = "texmaps.mul";
inline constexpr const char* ArtIdxName = "artidx.mul";
inline constexpr const char* ArtName = "art.mul";
// Today's clients: the land art in a UOP container, entries build/artlegacymul/{id:08}.tga
// holding what art.mul holds for the id. Read when art.mul or artidx.mul is missing.
inline constexpr const char* ArtContainerName = "artLegacyMUL.uop";
// Land tiles are the art ids below this one; the art of objects (statics) follows them.
inline constexpr uint32_t LandArtIds = 0x4000;
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
// texidx.mul, texmaps.mul, artidx.mul, art.mul), or the two texture files and
// artLegacyMUL.uop.
bool clientFilesPresent(const std::string& folder);
// The first of those files the folder lacks, "" when none.
std::string missingClientFile(const std::string& folder);
// True when the land art is to come from artLegacyMUL.uop: the folder has it and lacks
// art.mul or artidx.mul.
bool artFromContainer(const std::string& folder);
// "build/artlegacymul/00000003.tga"
std::string artEntryName(uint32_t id);

} // namespace tq
