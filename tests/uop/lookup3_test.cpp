#include "core/uop/lookup3.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tq::uop {
namespace {

// The published self-test of lookup3 (its driver5): seeds in, the two results out.
TEST(Lookup3, PublishedTestVectors) {
    struct Case {
        const char* key;
        uint32_t c, b;            // seeds
        uint32_t wantC, wantB;
    };
    const char* four = "Four score and seven years ago";
    const Case cases[] = {
        {"", 0, 0, 0xdeadbeef, 0xdeadbeef},
        {"", 0, 0xdeadbeef, 0xbd5b7dde, 0xdeadbeef},
        {"", 0xdeadbeef, 0xdeadbeef, 0x9c093ccd, 0xbd5b7dde},
        {four, 0, 0, 0x17770551, 0xce7226e6},
        {four, 0, 1, 0xe3607cae, 0xbd371de4},
        {four, 1, 0, 0xcd628161, 0x6cbea4b3},
    };
    for (const Case& k : cases) {
        uint32_t c = k.c, b = k.b;
        hashlittle2(k.key, std::strlen(k.key), &c, &b);
        EXPECT_EQ(c, k.wantC) << '"' << k.key << "\" seeds " << k.c << ", " << k.b;
        EXPECT_EQ(b, k.wantB) << '"' << k.key << "\" seeds " << k.c << ", " << k.b;
    }
}

TEST(Lookup3, NameHashIsOfTheLowerCaseNameWithBAbove) {
    const char* name = "build/map4legacymul/00000000.dat";
    uint32_t c = 0, b = 0;
    hashlittle2(name, std::strlen(name), &c, &b);
    EXPECT_EQ(nameHash(name), (uint64_t(b) << 32) | c);
    EXPECT_EQ(nameHash("Build/MAP4LegacyMUL/00000000.DAT"), nameHash(name));
    EXPECT_NE(nameHash("build/map4legacymul/00000001.dat"), nameHash(name));
}

} // namespace
} // namespace tq::uop
