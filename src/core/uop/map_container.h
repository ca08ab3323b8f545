#pragma once
#include "core/file_system.h"

#include <memory>
#include <optional>
#include <string>

// A map held in a UOP container (map{N}LegacyMUL.uop) seen as the bytes of map{N}.mul: the map
// is cut into entries of MapEntryBytes named build/map{N}legacymul/{id:08}.dat.
namespace tq::uop {

inline constexpr uint32_t MapEntryBlocks = 4096;
// 0xC4000: block b lies in entry b / 4096 at (b % 4096) * 196.
uint64_t mapEntryBytes();

// True for a name ending in ".uop" (any case): such a map file is a container.
bool isContainerPath(const std::string& path);

// "build/map2legacymul/00000017.dat"
std::string mapEntryName(int facet, uint32_t id);

// Opens the container `path` as a map file (Read or ReadWrite). Reads and seeks address the
// map's bytes; writes go in place into the entries and keep each written entry's Adler-32 in
// its table slot right. The container's length never changes: a write past the map's end is
// refused. The facet of the entry names comes from the file's name, else `facet`, else
// whichever facet's first entry the container holds.
std::unique_ptr<File> openMapContainer(const std::string& path, OpenMode mode, std::optional<int> facet = {});

// The length of the map a container holds (the total of its map entries' unpacked sizes).
uint64_t mapContainerLength(const std::string& path, std::optional<int> facet = {});

} // namespace tq::uop
