#pragma once
#include "core/progress.h"
#include "core/world.h"

#include <optional>
#include <string>

namespace tq {
class File;
}

namespace tq::uop {

// Converts a map between map{N}.mul and its container map{N}LegacyMUL.uop, whichever way
// the names say (a name ending in .uop is a container): container to .mul writes the map's
// bytes in order; .mul to container cuts the whole file into entries of 0xC4000 bytes named
// build/map{N}legacymul/{id:08}.dat, written in id order. The facet comes from the names
// (or `facet`); the destination is replaced atomically under the world lock. Returns the world.
WorldGeometry convertMap(const std::string& source, const std::string& destination, std::optional<int> facet = {},
                         const Progress& progress = {});

// The name a converted map gets beside its source: map2.mul <-> map2LegacyMUL.uop, and
// any other name.mul <-> nameLegacyMUL.uop (name.uop -> name.mul).
std::string convertedMapName(const std::string& source);

// Writes the bytes of `map` (a whole map file, open for reading) as the container
// `destination` of facet `facet`, atomically, without taking the world lock (for writers of
// new worlds, which nobody else can be writing yet).
void writeMapContainer(File& map, const std::string& destination, int facet, const Progress& progress = {});

} // namespace tq::uop
