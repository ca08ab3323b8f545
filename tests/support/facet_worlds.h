#pragma once
// The worlds other than the old clients' one that every window test runs on: facet 0 at the
// 896 x 512 blocks of today's clients, and facet 4 (181 x 181, an odd height that is not 512).
#include "core/world.h"
#include "tools/synthetic_world.h"

#include <filesystem>
#include <string>

namespace tq::test {

struct FacetWorldCase {
    const char* name;
    WorldGeometry world;
};

inline const FacetWorldCase FacetWorldCases[] = {
    {"Facet0Wide", WorldGeometry(0, 896, 512)},
    {"Facet4", WorldGeometry(4, 181, 181)},
};

// "staidx4.mul" and its kin in `dir`.
inline std::string facetFile(const std::string& dir, const char* stem, const WorldGeometry& world) {
    return dir + "/" + stem + std::to_string(world.facet) + ".mul";
}

// A synthetic world of `world` in `dir` (made when missing): the three world files named
// after its facet, items.wsc and the client's picture files.
inline void makeFacetWorld(const std::string& dir, const WorldGeometry& world, int64_t items = 3000) {
    std::filesystem::create_directories(dir);
    makeSyntheticWorld(dir, items, 7, {}, world);
}

} // namespace tq::test
