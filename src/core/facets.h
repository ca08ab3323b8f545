#pragma once
#include "core/world.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The facets of the client's world and the sizes their files come in: the one place that
// knows the numbers. Everything else asks here, or takes a WorldGeometry.
namespace tq {

inline constexpr int FacetCount = 6;  // facets 0..5

bool isFacet(int facet);
// The sizes facet `facet` comes in, smallest first; throws for a facet that does not exist.
const std::vector<WorldGeometry>& facetSizes(int facet);
// "There is no facet 7; facets are 0 to 5"
std::string noSuchFacetMessage(int facet);

// The facet a world file's name tells: staidx3.mul, statics3.mul, map3.mul (any case) and
// map3LegacyMUL.uop give 3. Any other name tells nothing.
std::optional<int> facetFromFileName(const std::string& path);

// What a file is to an operation. The lengths of index and map files tell the world's size;
// for the others (statics heaps, files an operation writes anew) only the name counts.
enum class WorldFileKind { StaticIndex, Statics, Map, Rebuilt };
struct WorldFile {
    WorldFileKind kind;
    std::string path;
    // Written in place, a few bytes at a time, never past its end (fill, region copy, the
    // map editor): a file shorter than the facet's smallest size is taken as that size, and
    // the writer's own bounds check refuses what lies beyond its end ("Read beyond end of
    // file"), as it always did. Facets 0 and 1 have their two sizes' blocks at the same
    // places as far as the smaller one reaches, so no byte can land in the wrong block.
    bool inPlace = false;
};

// The world of one static index of `length` bytes on `facet`: its length must be exactly that
// of one of the facet's sizes. Otherwise throws, naming the file, its length and what was
// expected: the file's length, then each of the facet's index lengths with its size in blocks.
WorldGeometry staticIndexWorld(const std::string& path, uint64_t length, int facet);
// The world of a map of `length` bytes on `facet`: the largest size whose blocks the file
// holds whole (bytes after the last block are not part of the world).
WorldGeometry mapWorld(const std::string& path, uint64_t length, int facet);
// The world an in-place writer takes a file of `length` bytes for (see WorldFile::inPlace).
WorldGeometry inPlaceWorld(const std::string& path, WorldFileKind kind, uint64_t length, int facet);

// Decides the world of one operation's files before anything is opened for writing: the
// facet from the names (all that tell one must agree, and agree with `facet` when given;
// otherwise `facet`, otherwise 0), the size from the lengths of the index and map files
// (statics files tell no size). Throws, naming the file, when a length fits no size of the
// facet or the files are not of one world. Files are only measured, never opened for writing.
WorldGeometry resolveWorld(const std::vector<WorldFile>& files, std::optional<int> facet = {});

// Refuses block (bx, by) outside `world`: "Block (900, 3) is outside the world: X must be
// 0..895 and Y 0..511".
void RequireBlockInWorld(const WorldGeometry& world, int bx, int by);

// 5505024 -> "5,505,024"
std::string groupedNumber(uint64_t value);

} // namespace tq
