#include "core/bytes.h"
#include "support/classic_world.h"
#include "core/int_parse.h"
#include "core/named_tiles.h"
#include "core/radar_colours.h"
#include "core/spaced_hex.h"
#include "core/static_index.h"
#include "tools/synthetic_world.h"

#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace tq {
namespace {

using test::readBytes;

const uint8_t* bytesOf(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

class SyntheticWorld : public ::testing::Test {
protected:
    static constexpr int Items = 3000;
    static inline test::TempDir* dir = nullptr;
    static inline SyntheticWorldSummary summary;

    static void SetUpTestSuite() {
        dir = new test::TempDir;
        summary = makeSyntheticWorld(dir->path().string(), Items, 11);
    }
    static void TearDownTestSuite() {
        delete dir;
        dir = nullptr;
    }
    static std::string file(const char* name) { return readBytes(dir->file(name)); }
};

TEST_F(SyntheticWorld, FilesHaveTheClientSizes) {
    EXPECT_EQ(summary.files, (std::vector<std::string>{"map0.mul", "staidx0.mul", "statics0.mul", "items.wsc",
                                                       "AutoSelect.txt", "texidx.mul", "texmaps.mul", "artidx.mul",
                                                       "art.mul", "radarcol.mul"}));
    EXPECT_EQ(file("map0.mul").size(), MapFileSize);
    EXPECT_EQ(file("staidx0.mul").size(), StaticIndexFileSize);
    EXPECT_EQ(file("statics0.mul").size() % StaticRecSize, 0u);
    EXPECT_EQ(file("texidx.mul").size(), 4096u * 12);
    EXPECT_EQ(file("artidx.mul").size(), 4096u * 12);
    EXPECT_EQ(file("art.mul").size() % 2048, 0u);
}

TEST_F(SyntheticWorld, IndexPointsInsideTheStatics) {
    const std::string index = file("staidx0.mul");
    const uint64_t staticsSize = file("statics0.mul").size();
    int64_t withRecords = 0, emptyRuns = 0, extras = 0, records = 0;
    for (int n = 0; n < BlockCount; ++n) {
        TStaticIndexRec e;
        decodeIndexRec(bytesOf(index) + size_t(n) * 12, e);
        if (e.Extra != 0) ++extras;
        if (e.Start == -1) continue;
        ASSERT_GE(e.Start, 0) << n;
        ASSERT_EQ(e.Start % 7, 0) << n;
        ASSERT_EQ(e.Length % 7, 0) << n;
        ASSERT_GE(e.Length, 0) << n;
        ASSERT_LE(uint32_t(e.Length), StaticBlockMaxBytes) << n;
        ASSERT_LE(uint64_t(e.Start) + uint64_t(e.Length), staticsSize) << n;
        if (e.Length == 0) ++emptyRuns;
        else ++withRecords;
        records += e.Length / 7;
    }
    EXPECT_EQ(withRecords, summary.staticBlocks);
    EXPECT_EQ(emptyRuns, summary.emptyRuns);
    EXPECT_EQ(records, summary.staticRecords);
    EXPECT_NEAR(double(withRecords) / BlockCount, 0.40, 0.03);
    EXPECT_GT(emptyRuns, 0);
    EXPECT_GT(extras, 0);
}

TEST_F(SyntheticWorld, MapIsVariedGroundWithPictures) {
    const std::string map = file("map0.mul");
    std::set<uint16_t> tiles;
    std::set<int> groups, altitudes;
    int zeroHeaders = 0;
    for (int n = 0; n < BlockCount; n += 7) {  // a sample of blocks all over the world
        const uint8_t* b = bytesOf(map) + size_t(n) * MapBlockSize;
        if (le::u32(b) == 0) ++zeroHeaders;
        for (int c = 0; c < CellsPerBlock; ++c) {
            const uint16_t tile = le::u16(b + 4 + c * 3);
            tiles.insert(tile);
            altitudes.insert(int8_t(b[4 + c * 3 + 2]));
        }
    }
    EXPECT_EQ(zeroHeaders, 0);
    for (uint16_t tile : tiles) {
        int group = -1;
        for (int g = 0; g < NamedTileCount; ++g)
            if (tile >= NamedTiles[size_t(g)].FirstId && tile < NamedTiles[size_t(g)].FirstId + NamedTiles[size_t(g)].Count)
                group = g;
        ASSERT_GE(group, 0) << "tile " << tile << " is in no named group";
        groups.insert(group);
    }
    EXPECT_GE(groups.size(), 20u);
    EXPECT_GE(altitudes.size(), 20u);

    // Every tile the map uses has land art, and a texture of one of the two sizes or none.
    const std::string texIdx = file("texidx.mul"), artIdx = file("artidx.mul");
    const uint64_t texSize = file("texmaps.mul").size(), artSize = file("art.mul").size();
    std::map<int32_t, int> textureSizes;
    ASSERT_FALSE(summary.landTiles.empty());
    for (uint16_t tile : summary.landTiles) {
        ASSERT_LT(tile, 4096);
        const uint8_t* art = bytesOf(artIdx) + tile * 12;
        ASSERT_NE(le::i32(art), -1) << tile;
        ASSERT_EQ(le::i32(art + 4), 2048) << tile;
        ASSERT_LE(uint64_t(le::i32(art)) + 2048, artSize) << tile;
        const uint8_t* tex = bytesOf(texIdx) + tile * 12;
        if (le::i32(tex) == -1) {
            ++textureSizes[0];
            continue;
        }
        const int32_t length = le::i32(tex + 4);
        ASSERT_TRUE(length == 8192 || length == 32768) << tile;
        ASSERT_LE(uint64_t(le::i32(tex)) + uint64_t(length), texSize) << tile;
        ++textureSizes[length];
    }
    EXPECT_GT(textureSizes[8192], 0);
    EXPECT_GT(textureSizes[32768], 0);
    EXPECT_GT(textureSizes[0], 0);  // some tiles have only land art
}

// Reads the world save as the freeze does: sections, tags in the first column, rules.
TEST_F(SyntheticWorld, WorldSaveReadsAsCrlfSectionsWithBothRules) {
    const std::string text = file("items.wsc");
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = text.find("\r\n", pos);
        ASSERT_NE(end, std::string::npos) << "every line ends with CR LF";
        lines.push_back(text.substr(pos, end - pos));
        ASSERT_EQ(lines.back().find('\n'), std::string::npos);
        pos = end + 2;
    }
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind("//", 0), 0u);
    EXPECT_EQ(lines[lines.size() - 2], "EOF");

    // The listed ids, read as the freeze reads AutoSelect.txt.
    std::set<int32_t> listed;
    std::string autoText = file("AutoSelect.txt");
    size_t p = 0;
    while (p < autoText.size()) {
        size_t e = autoText.find("\r\n", p);
        std::string line = autoText.substr(p, e - p);
        p = e + 2;
        if (line.empty() || line[0] == '#') continue;
        listed.insert(SpacedHexToInt(line.substr(0, 5), 2));
    }
    EXPECT_EQ(listed.size(), syntheticAutoSelectIds().size());

    struct Item { int32_t id = 0, type = 0, cont = 0; std::string name; bool hasZ = false, hasType = false; };
    int64_t sections = 0, characters = 0, guilds = 0, type255 = 0, type255Contained = 0, autoSel = 0,
            contained = 0, withoutZ = 0, withoutType = 0;
    bool inItem = false;
    Item item;
    for (const std::string& line : lines) {
        auto value = [&](size_t tagLength) { return parseInt(line.substr(tagLength)); };
        if (line.rfind("SECTION WORLDITEM ", 0) == 0) {
            EXPECT_EQ(value(18), sections) << "items are numbered in order";
            ++sections;
            inItem = true;
            item = Item{};
        } else if (line.rfind("SECTION CHARACTER ", 0) == 0) {
            ++characters;
            inItem = false;
        } else if (line.rfind("SECTION GUILD ", 0) == 0) {
            ++guilds;
            inItem = false;
        } else if (line.rfind("NAME ", 0) == 0) {
            item.name = line.substr(5);
        } else if (line.rfind("ID ", 0) == 0) {
            item.id = value(3);
        } else if (line.rfind("TYPE ", 0) == 0) {
            item.type = value(5);
            item.hasType = true;
        } else if (line.rfind("CONT ", 0) == 0) {
            item.cont = value(5);
        } else if (line.rfind("Z ", 0) == 0) {
            item.hasZ = true;
            value(2);
        } else if (line.rfind("X ", 0) == 0 || line.rfind("Y ", 0) == 0) {
            value(2);
        } else if (line.rfind("COLOR ", 0) == 0 || line.rfind("SERIAL ", 0) == 0) {
            value(line.find(' ') + 1);
        } else if (line.rfind("}", 0) == 0 && inItem) {
            if (item.type == 255) ++type255;
            if (item.type == 255 && item.cont != -1) ++type255Contained;
            if (item.cont == -1 && item.type == 0 && item.name == "#" && listed.count(item.id)) ++autoSel;
            if (item.cont != -1) ++contained;
            if (!item.hasZ) ++withoutZ;
            if (!item.hasType) ++withoutType;
            inItem = false;
        }
    }
    EXPECT_EQ(sections, Items);
    EXPECT_EQ(characters, summary.characters);
    EXPECT_GT(characters, 0);
    EXPECT_GT(guilds, 0);
    EXPECT_EQ(type255, summary.type255Items);
    EXPECT_EQ(type255Contained, summary.type255InContainers);
    EXPECT_EQ(autoSel, summary.autoItems);
    EXPECT_EQ(contained, summary.containedItems);
    EXPECT_GT(type255 - type255Contained, 0);
    EXPECT_GT(type255Contained, 0);
    EXPECT_GT(autoSel, 0);
    EXPECT_GT(withoutZ, 0);
    EXPECT_GT(withoutType, 0);
}

TEST_F(SyntheticWorld, RadarColoursGiveEveryTileAndStaticOfTheWorldAColour) {
    const RadarColours colours = RadarColours::load(dir->file("radarcol.mul"));
    ASSERT_EQ(colours.entryCount(), size_t(RadarFullEntries));
    // Every land tile the map uses has a colour of its ground (none is black); water is blue.
    for (const uint16_t tile : summary.landTiles) EXPECT_NE(colours.land(tile), 0) << tile;
    for (uint16_t tile = 0x00A8; tile < 0x00AC; ++tile) {  // the water the map is drawn with
        const Rgb8 water = rgbOf555(colours.land(tile));
        EXPECT_GT(water.b, water.r + 40) << tile;
        EXPECT_GT(water.b, water.g + 40) << tile;
    }
    for (uint32_t id = 0; id < 0x10000; ++id) ASSERT_NE(colours.staticColour(uint16_t(id)), 0) << id;
}

TEST_F(SyntheticWorld, SameSeedSameBytes) {
    test::TempDir again, other;
    const auto second = makeSyntheticWorld(again.path().string(), Items, 11);
    makeSyntheticWorld(other.path().string(), Items, 12);
    EXPECT_EQ(second.landTiles, summary.landTiles);
    for (const std::string& name : summary.files) {
        EXPECT_TRUE(readBytes(again.file(name)) == file(name.c_str())) << name;
    }
    EXPECT_FALSE(readBytes(other.file("map0.mul")) == file("map0.mul"));
    EXPECT_FALSE(readBytes(other.file("items.wsc")) == file("items.wsc"));
}

} // namespace
} // namespace tq
