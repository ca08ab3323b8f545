#include "core/map_file.h"
#include "support/classic_world.h"
#include "core/static_index.h"
#include "core/world.h"
#include "support/run_cli.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

using test::readBytes;
using test::runCli;
using test::writeBytes;

// Two block columns of a world: empty index, one static in block (1, 0), zero map.
class FillCli : public ::testing::Test {
protected:
    void SetUp() override {
        std::string index(2 * StaticIndexColumnBytes, '\0');
        for (int i = 0; i < 2 * BlocksY; ++i)
            encodeIndexRec({-1, 0, 0}, reinterpret_cast<uint8_t*>(index.data()) + i * StaticIndexRecSize);
        encodeIndexRec({0, 7, 0}, reinterpret_cast<uint8_t*>(index.data()) + staticIndexOffset(1, 0));
        writeBytes(staidx(), index);
        std::string rec(7, '\0');
        encodeStaticRec({0x0EED, 2, 2, 0, 0}, reinterpret_cast<uint8_t*>(rec.data()));
        writeBytes(statics(), rec);
        writeBytes(map(), std::string(2 * MapColumnBytes, '\0'));
    }
    std::string staidx() const { return dir.file("staidx0.mul"); }
    std::string statics() const { return dir.file("statics0.mul"); }
    std::string map() const { return dir.file("map0.mul"); }
    std::vector<std::string> args(std::vector<std::string> extra) const {
        std::vector<std::string> all{"fill", "--staidx", staidx(), "--statics", statics(), "--map", map(),
                                     "--left", "8", "--top", "0", "--right", "12", "--bottom", "3"};
        all.insert(all.end(), extra.begin(), extra.end());
        return all;
    }
    TMapCell cell(int x, int y) const {
        TMapCell c;
        decodeMapCell(reinterpret_cast<const uint8_t*>(readBytes(map()).data()) + mapCellOffset(x, y), c);
        return c;
    }
    test::TempDir dir;
};

TEST_F(FillCli, FillsAndClears) {
    const auto r = runCli(args({"--tile", "00 A8", "--alt", "-5"}));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "Statics cleared: 0 blocks emptied, 1 blocks trimmed, 1 items removed from them\n"
              "Map filled: 20 cells in 1 blocks set to '00 A8' at altitude -5\n");
    EXPECT_EQ(cell(12, 3), (TMapCell{0x00A8, -5}));
    EXPECT_EQ(cell(13, 3), (TMapCell{0, 0}));
    TStaticIndexRec entry;
    decodeIndexRec(reinterpret_cast<const uint8_t*>(readBytes(staidx()).data()) + staticIndexOffset(1, 0), entry);
    EXPECT_EQ(entry, (TStaticIndexRec{7, 0, 0}));
}

TEST_F(FillCli, SeedRepeatsAGroupFill) {
    std::string first;
    for (int run = 0; run < 2; ++run) {
        const auto r = runCli(args({"--no-statics", "--tile", "Random grass", "--seed", "7"}));
        ASSERT_EQ(r.status, 0) << r.err;
        if (run == 0) first = readBytes(map());
    }
    EXPECT_EQ(readBytes(map()), first);
    EXPECT_GE(cell(8, 0).TileId, 3);
    EXPECT_LE(cell(8, 0).TileId, 6);
}

TEST_F(FillCli, RefusesBadCommandLines) {
    struct Case {
        std::vector<std::string> extra;
        int status;
        std::string err;
    };
    const Case cases[] = {
        {{"--no-statics", "--no-map"}, 1, "error: Neither statics nor map is chosen: there is nothing to do\n"},
        {{}, 2, "error: missing option --tile"},
        {{"--tile", "Grass"}, 1, "error: Input not SpacedHex\n"},
        {{"--tile", "00 A8", "--alt", "300"}, 1, "error: The altitude must be -128..127, not 300\n"},
        {{"--tile", "00 A8", "--alt", "-129"}, 1, "error: The altitude must be -128..127, not -129\n"},
        {{"--tile", "00 A8", "--alt", "x"}, 1, "error: 'x' is not a valid integer value\n"},
    };
    const std::string before = readBytes(map()) + readBytes(staidx()) + readBytes(statics());
    for (const Case& c : cases) {
        const auto r = runCli(args(c.extra));
        EXPECT_EQ(r.status, c.status) << c.err;
        EXPECT_EQ(r.err.substr(0, c.err.size()), c.err);
    }
    EXPECT_EQ(readBytes(map()) + readBytes(staidx()) + readBytes(statics()), before);
}

} // namespace
} // namespace tq
