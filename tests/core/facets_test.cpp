#include "core/error.h"
#include "core/facets.h"
#include "core/map_file.h"
#include "core/static_index.h"

#include "support/run_cli.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tq {
namespace {

std::string errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const Error& e) {
        return e.what();
    }
    return "";
}

void writeZeros(const std::string& path, uint64_t length) {
    std::ofstream(path, std::ios::binary).close();
    std::filesystem::resize_file(path, length);
}

TEST(FacetTable, EveryFacetHasItsSizes) {
    struct Row {
        int facet, w, h;
        uint64_t map, index;
    };
    const Row rows[] = {{0, 768, 512, 77070336, 4718592}, {0, 896, 512, 89915392, 5505024},
                        {1, 768, 512, 77070336, 4718592}, {1, 896, 512, 89915392, 5505024},
                        {2, 288, 200, 11289600, 691200},  {3, 320, 256, 16056320, 983040},
                        {4, 181, 181, 6421156, 393132},   {5, 160, 512, 16056320, 983040}};
    for (const Row& r : rows) {
        bool found = false;
        for (const WorldGeometry& g : facetSizes(r.facet))
            if (g.blocksWide == r.w && g.blocksHigh == r.h) {
                found = true;
                EXPECT_EQ(g.facet, r.facet);
                EXPECT_EQ(g.mapBytes(), r.map);
                EXPECT_EQ(g.staticIndexBytes(), r.index);
            }
        EXPECT_TRUE(found) << r.facet << " " << r.w << "x" << r.h;
    }
    EXPECT_EQ(WorldGeometry(), WorldGeometry(0, 768, 512));
    EXPECT_EQ(WorldGeometry(0, 896, 512).describe(), "facet 0, 7168 \u00d7 4096");
    EXPECT_EQ(errorOf([] { facetSizes(6); }), "There is no facet 6; facets are 0 to 5");
}

TEST(FacetTable, FileNamesTellTheFacet) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"staidx3.mul", 3},         {"/w/STATICS5.MUL", 5}, {"Map2.mul", 2},     {"map0LegacyMUL.uop", 0},
        {"map4legacymul.uop", 4},   {"map.mul", {}},        {"staidx.mul", {}},  {"items.wsc", {}},
        {"mapx.mul", {}},           {"map1.mul.bak", {}},   {"orig_map0.mul", {}}};
    for (const auto& [name, facet] : cases) EXPECT_EQ(facetFromFileName(name), facet) << name;
}

// An index is read only at one of its facet's exact lengths; anything else is refused with
// the file's name, its length and what was expected, and nothing is read into the buffer.
TEST(FacetTable, AnIndexOfAnyOtherLengthIsRefused) {
    test::TempDir dir;
    struct Case {
        const char* name;
        uint64_t length;
        std::string message;
    };
    const std::string facet0 = "a facet 0 static index is 4,718,592 (768 \u00d7 512 blocks) or 5,505,024 (896 \u00d7 512) bytes";
    const Case cases[] = {
        {"staidx0.mul", 0, " is 0 bytes; " + facet0},
        {"staidx0.mul", 4718592 - 12, " is 4,718,580 bytes; " + facet0},
        {"staidx0.mul", 4718592 + 12, " is 4,718,604 bytes; " + facet0},
        {"staidx0.mul", 4718592 + 1, " is 4,718,593 bytes; " + facet0},
        {"staidx0.mul", 983040, " is 983,040 bytes; " + facet0},  // the facet-3/5 size
        {"staidx4.mul", 4718592, " is 4,718,592 bytes; a facet 4 static index is 393,132 bytes (181 \u00d7 181 blocks)"},
    };
    for (const Case& c : cases) {
        const std::string path = dir.file(c.name);
        writeZeros(path, c.length);
        auto index = newStaticIndex();
        index->fill({7, 7, 7});
        EXPECT_EQ(errorOf([&] { LoadStaticIndex(path, *index); }), path + c.message) << c.length;
        EXPECT_EQ(index->at(0, 0), (TStaticIndexRec{7, 7, 7})) << "the buffer was touched";
    }
}

TEST(FacetTable, TheSizeComesFromTheLengthAndTheFacetFromTheName) {
    test::TempDir dir;
    writeZeros(dir.file("staidx0.mul"), 5505024);
    writeZeros(dir.file("staidx5.mul"), 983040);
    writeZeros(dir.file("staidx3.mul"), 983040);
    writeZeros(dir.file("index.bin"), 983040);
    auto index = newStaticIndex();
    LoadStaticIndex(dir.file("staidx0.mul"), *index);
    EXPECT_EQ(index->world(), WorldGeometry(0, 896, 512));
    EXPECT_EQ(index->entries.size(), 896u * 512u);
    LoadStaticIndex(dir.file("staidx5.mul"), *index);
    EXPECT_EQ(index->world(), WorldGeometry(5, 160, 512));
    LoadStaticIndex(dir.file("staidx3.mul"), *index);
    EXPECT_EQ(index->world(), WorldGeometry(3, 320, 256));
    // A name that tells nothing takes the facet given.
    LoadStaticIndex(dir.file("index.bin"), *index, {}, 5);
    EXPECT_EQ(index->world(), WorldGeometry(5, 160, 512));
    EXPECT_EQ(errorOf([&] { LoadStaticIndex(dir.file("staidx3.mul"), *index, {}, 5); }),
              dir.file("staidx3.mul") + " is a facet 3 file, not facet 5");
}

TEST(FacetTable, AMapHoldsAtLeastItsBlocks) {
    test::TempDir dir;
    const std::string map = dir.file("map0.mul");
    writeZeros(map, 77070336 + 196);  // one stray block, as unpacked maps often have
    EXPECT_EQ(MapFileWorld(map), WorldGeometry(0, 768, 512));
    writeZeros(map, 89915392);
    EXPECT_EQ(MapFileWorld(map), WorldGeometry(0, 896, 512));
    writeZeros(map, 77070335);
    EXPECT_EQ(errorOf([&] { MapFileWorld(map); }),
              map + " is 77,070,335 bytes; a facet 0 map holds at least 77,070,336 (768 \u00d7 512 blocks) or "
                    "89,915,392 (896 \u00d7 512) bytes");
}

TEST(FacetTable, TheFilesOfOneOperationMustBeOfOneWorld) {
    test::TempDir dir;
    writeZeros(dir.file("staidx0.mul"), 4718592);
    writeZeros(dir.file("map0.mul"), 89915392);
    writeZeros(dir.file("map2.mul"), 11289600);
    EXPECT_EQ(errorOf([&] {
                  resolveWorld({{WorldFileKind::StaticIndex, dir.file("staidx0.mul")},
                                {WorldFileKind::Map, dir.file("map0.mul")}});
              }),
              dir.file("staidx0.mul") + " holds a world of 768 \u00d7 512 blocks but " + dir.file("map0.mul") +
                  " one of 896 \u00d7 512; the files of one operation must be of one world");
    EXPECT_EQ(errorOf([&] {
                  resolveWorld({{WorldFileKind::StaticIndex, dir.file("staidx0.mul")},
                                {WorldFileKind::Map, dir.file("map2.mul")}});
              }),
              dir.file("staidx0.mul") + " is a facet 0 file but " + dir.file("map2.mul") +
                  " is of facet 2; the files of one operation must be of one facet");
    EXPECT_EQ(errorOf([&] { resolveWorld({}, 9); }), "There is no facet 9; facets are 0 to 5");
}

// The refusal comes before any file changes: a freeze on a world whose index has a wrong
// length leaves every file as it was.
TEST(FacetTable, AWrongIndexChangesNothingThroughTheCommandLine) {
    test::TempDir dir;
    ASSERT_EQ(test::runCli({"mkworld", dir.file("w"), "--items", "300"}).status, 0);
    const std::string staidx = dir.file("w/staidx0.mul");
    std::filesystem::resize_file(staidx, 5000000);
    const auto before = [&](const char* name) {
        std::ifstream in(dir.file(std::string("w/") + name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const std::string wsc = before("items.wsc"), statics = before("statics0.mul");
    const auto r = test::runCli({"freeze", "--staidx", staidx, "--statics", dir.file("w/statics0.mul"), "--wsc",
                                 dir.file("w/items.wsc")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: " + staidx + " is 5,000,000 bytes; a facet 0 static index is 4,718,592 (768 \u00d7 512 "
                                          "blocks) or 5,505,024 (896 \u00d7 512) bytes\n");
    EXPECT_EQ(before("items.wsc"), wsc);
    EXPECT_EQ(before("statics0.mul"), statics);
    EXPECT_EQ(std::filesystem::file_size(staidx), 5000000u);
}

} // namespace
} // namespace tq
