#include "core/error.h"
#include "core/named_tiles.h"
#include "core/random.h"

#include "support/error_of.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace tq {
namespace {

TEST(NamedTiles, LookupIgnoresAsciiCaseOnly) {
    struct Case { const char* name; int index; };
    const Case cases[] = {
        {"Random grass", 6},          {"random GRASS", 6},       {"RANDOM GRASS", 6},
        {"Random grass ", -1},        {" Random grass", -1},     {"", -1},
        {"Grass", -1},                {"Random cave", 0},        {"Orange Marble Weird", 41},
        {"random brick (red n/s)", 20},
    };
    for (const Case& c : cases) EXPECT_EQ(FindNamedTile(c.name), c.index) << '"' << c.name << '"';

    // Every entry finds itself, whatever its case: no two names collide.
    for (int i = 0; i < NamedTileCount; ++i) {
        std::string lower = NamedTiles[size_t(i)].Name;
        for (char& ch : lower) ch = char(std::tolower(static_cast<unsigned char>(ch)));
        EXPECT_EQ(FindNamedTile(lower), i) << lower;
    }
}

TEST(NamedTiles, DrawsStayInTheGroupAndCoverIt) {
    seedRandom(1);
    for (int i = 0; i < NamedTileCount; ++i) {
        const TNamedTile& g = NamedTiles[size_t(i)];
        std::set<uint16_t> seen;
        for (int draw = 0; draw < 400; ++draw) {
            const uint16_t id = RandomTile(i);
            ASSERT_GE(id, g.FirstId) << g.Name;
            ASSERT_LT(id, g.FirstId + g.Count) << g.Name;
            seen.insert(id);
        }
        EXPECT_EQ(seen.size(), size_t(g.Count)) << g.Name;
    }
}

TEST(NamedTiles, ByNameDrawsOrRefuses) {
    for (int draw = 0; draw < 50; ++draw) {
        const uint16_t id = RandomTileByName("random stars");
        EXPECT_GE(id, 0x01FA);
        EXPECT_LE(id, 0x01FF);
    }
    EXPECT_EQ(test::errorOf([] { RandomTileByName("Grass"); }), "Invalid tile name: Grass");
    EXPECT_EQ(test::errorOf([] { RandomTileByName(" Random grass"); }), "Invalid tile name:  Random grass");
}

TEST(Random, SameSeedSameDraws) {
    auto draws = [](uint32_t seed) {
        seedRandom(seed);
        std::vector<uint32_t> out;
        for (int i = 0; i < 32; ++i) out.push_back(randomBelow(1000));
        return out;
    };
    const auto a = draws(7);
    EXPECT_EQ(draws(7), a);
    EXPECT_NE(draws(8), a);
    seedRandom(3);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(randomBelow(1), 0u);
}

} // namespace
} // namespace tq
