#include "core/bytes.h"
#include "core/spaced_hex.h"
#include "core/static_index.h"
#include "core/world.h"

#include "support/run_cli.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

// Every command of the command line on worlds other than the old clients' one: the 896 x 512
// world of facet 0 that today's clients have, and facet 4 (181 x 181, whose odd number of
// rows catches any leftover assumption of an even or 512-block height).
namespace tq {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::runCli;

struct WorldCase {
    const char* name;
    WorldGeometry world;
    const char* size;  // mkworld --size, or "" for the facet's only size
};

// Test names and failure messages say which world, not the case's bytes.
void PrintTo(const WorldCase& c, std::ostream* out) { *out << c.name; }

std::string n(int v) { return std::to_string(v); }

class FacetWorld : public ::testing::TestWithParam<WorldCase> {
protected:
    test::TempDir dir;
    WorldGeometry world = GetParam().world;
    std::string f = n(world.facet);
    std::string origin = dir.file("orig"), work = dir.file("work");
    std::string staidx = work + "/staidx" + f + ".mul", statics = work + "/statics" + f + ".mul",
                map = work + "/map" + f + ".mul", wsc = work + "/items.wsc";

    void SetUp() override {
        std::vector<std::string> args = {"mkworld", origin, "--items", "3000", "--facet", f};
        if (*GetParam().size) args.insert(args.end(), {"--size", GetParam().size});
        const auto r = runCli(args);
        ASSERT_EQ(r.status, 0) << r.err;
        fs::copy(origin, work, fs::copy_options::recursive);
    }
    std::string orig(const std::string& name) const { return origin + "/" + name + f + ".mul"; }

    TStaticIndexRec entry(const std::string& index, int bx, int by) const {
        const std::string bytes = readBytes(index);
        TStaticIndexRec e;
        decodeIndexRec(reinterpret_cast<const uint8_t*>(bytes.data()) + world.staticIndexOffset(bx, by), e);
        return e;
    }
};

TEST_P(FacetWorld, MkworldWritesTheFacetsFilesAtItsSize) {
    EXPECT_EQ(fs::file_size(staidx), world.staticIndexBytes());
    EXPECT_EQ(fs::file_size(map), world.mapBytes());
    const auto info = runCli({"info", work});
    ASSERT_EQ(info.status, 0) << info.out << info.err;
    const std::string size = ", facet " + f + ", " + world.blocksText() + " blocks (" + n(world.cellsWide()) +
                             " \u00d7 " + n(world.cellsHigh()) + " cells)";
    // info names the files of a folder the platform's way (a backslash before the name on Windows).
    const auto named = [&](const std::string& path) { return fs::path(path).filename().string(); };
    EXPECT_NE(info.out.find(named(map) + ": map" + size), std::string::npos) << info.out;
    EXPECT_NE(info.out.find(named(staidx) + ": static index" + size), std::string::npos) << info.out;
    EXPECT_NE(info.out.find(named(statics) + ": statics, facet " + f), std::string::npos) << info.out;
    EXPECT_NE(info.out.find("  blocks over the client's 1024 statics: 0"), std::string::npos) << info.out;
}

TEST_P(FacetWorld, BlockListingReachesTheLastBlockAndNoFurther) {
    const std::string lastX = n(world.blocksWide - 1), lastY = n(world.blocksHigh - 1);
    const auto last = runCli({"block", "--staidx", staidx, "--statics", statics, lastX, lastY});
    EXPECT_EQ(last.status, 0) << last.err;
    const auto beyond = runCli({"block", "--staidx", staidx, "--statics", statics, n(world.blocksWide), "0"});
    EXPECT_EQ(beyond.status, 1);
    EXPECT_EQ(beyond.err, "error: Block (" + n(world.blocksWide) + ", 0) is outside the world: X must be 0.." +
                              lastX + " and Y 0.." + lastY + "\n");
}

TEST_P(FacetWorld, ChecksumsCoverTheWholeFacet) {
    // The CRC value is the xor of every word of the index; the map sum that of every word of
    // the world's blocks (a stray block after them does not count).
    auto xorOf = [](const std::string& bytes, uint64_t length) {
        uint32_t sum = 0;
        for (uint64_t i = 0; i + 4 <= length; i += 4) sum ^= le::u32(reinterpret_cast<const uint8_t*>(bytes.data()) + i);
        return IntToSpacedHex(int32_t(sum), 4) + "\n";
    };
    const auto crc = runCli({"crc", staidx});
    ASSERT_EQ(crc.status, 0) << crc.err;
    EXPECT_EQ(crc.out, xorOf(readBytes(staidx), world.staticIndexBytes()));
    const std::string mapBytes = readBytes(map);
    test::writeBytes(map, mapBytes + std::string(MapBlockSize, '\x5a'));
    const auto sum = runCli({"mapsum", map});
    ASSERT_EQ(sum.status, 0) << sum.err;
    EXPECT_EQ(sum.out, xorOf(mapBytes, world.mapBytes()));
}

TEST_P(FacetWorld, FreezeAndMeltKeepEveryOtherEntry) {
    const std::string before = readBytes(staidx);
    const auto freeze = runCli({"freeze", "--staidx", staidx, "--statics", statics, "--wsc", wsc});
    ASSERT_EQ(freeze.status, 0) << freeze.err;
    ASSERT_EQ(fs::file_size(staidx), world.staticIndexBytes());
    const std::string after = readBytes(staidx);
    int changed = 0, changedEast = 0;
    for (int x = 0; x < world.blocksWide; ++x)
        for (int y = 0; y < world.blocksHigh; ++y) {
            const size_t at = size_t(world.staticIndexOffset(x, y));
            if (before.compare(at, StaticIndexRecSize, after, at, StaticIndexRecSize) == 0) continue;
            ++changed;
            if (x >= 768) ++changedEast;
            // A changed entry holds its old records and then the frozen ones.
            const TStaticIndexRec o = entry(orig("staidx"), x, y), m = entry(staidx, x, y);
            const int32_t oldLength = o.Start == -1 ? 0 : o.Length;
            ASSERT_GT(m.Length, oldLength) << x << "," << y;
            if (oldLength > 0)
                EXPECT_EQ(readBytes(statics).compare(size_t(m.Start), size_t(oldLength), readBytes(statics),
                                                     size_t(o.Start), size_t(oldLength)),
                          0);
        }
    if (world.facet == 0) {
        EXPECT_GT(changed, 0);
        if (world.blocksWide > 768) {
            EXPECT_GT(changedEast, 0) << "items east of column 768 were not frozen";
        }
    } else {
        // Items of a world-save without facets stand on facet 0: none is taken here.
        EXPECT_EQ(changed, 0);
        EXPECT_NE(freeze.out.find("Skipped "), std::string::npos) << freeze.out;
        EXPECT_EQ(readBytes(wsc), readBytes(origin + "/items.wsc"));
    }

    // Melt the last block that holds statics: only its entry changes, and its items land at
    // that block's cells.
    int mx = -1, my = -1;
    for (int x = world.blocksWide - 1; x >= 0 && mx < 0; --x)
        for (int y = world.blocksHigh - 1; y >= 0; --y)
            if (const auto e = entry(staidx, x, y); e.Start != -1 && e.Length > 0) {
                mx = x, my = y;
                break;
            } else {
                continue;
            }
    ASSERT_GE(mx, 0);
    const std::string frozen = readBytes(staidx);
    const auto melt = runCli({"melt", "--staidx", staidx, "--statics", statics, "--wsc", wsc, n(mx), n(my)});
    ASSERT_EQ(melt.status, 0) << melt.err;
    const std::string melted = readBytes(staidx);
    ASSERT_EQ(melted.size(), world.staticIndexBytes());
    const size_t at = size_t(world.staticIndexOffset(mx, my));
    EXPECT_EQ(melted.substr(0, at), frozen.substr(0, at));
    EXPECT_EQ(melted.substr(at + StaticIndexRecSize), frozen.substr(at + StaticIndexRecSize));
    EXPECT_EQ(entry(staidx, mx, my), (TStaticIndexRec{-1, 0, 0}));
    // The melted items stand in that block's cells (the world-save's X is a cell column).
    const std::string save = readBytes(wsc);
    bool inBlock = false;
    for (int cx = 0; cx < BlockSize && !inBlock; ++cx) inBlock = save.find("X " + n(mx * 8 + cx) + "\r\n") != std::string::npos;
    EXPECT_TRUE(inBlock);
}

TEST_P(FacetWorld, FillCopyAndADiffPackageRoundTrip) {
    const std::string right = n(world.cellsWide() - 1), bottom = n(world.cellsHigh() - 1);
    // A fill of the last 40 x 30 cells, across the east edge, and a copy of a corner into it.
    const std::string x0 = n(world.cellsWide() - 40), y0 = n(world.cellsHigh() - 30);
    const auto fill = runCli({"fill", "--staidx", staidx, "--statics", statics, "--map", map, "--left", x0, "--top",
                              y0, "--right", right, "--bottom", bottom, "--tile", "00 A8", "--alt", "5"});
    ASSERT_EQ(fill.status, 0) << fill.err;
    EXPECT_NE(fill.out.find("Map filled: 1200 cells"), std::string::npos) << fill.out;
    const auto copy = runCli({"copy-region", "--src", orig("map"), "--dst", map, "0", "0", "9", "9",
                              n(world.cellsWide() - 10), "0", right, "9"});
    ASSERT_EQ(copy.status, 0) << copy.err;
    const auto outside = runCli({"fill", "--staidx", staidx, "--statics", statics, "--map", map, "--no-statics",
                                 "--left", "0", "--top", "0", "--right", n(world.cellsWide()), "--bottom", "0",
                                 "--tile", "00 A8"});
    EXPECT_EQ(outside.status, 0) << "borders past the edge touch nothing there: " << outside.err;

    const std::string package = dir.file("change.tq2");
    const auto generate =
        runCli({"diff", "generate", "--orig-staidx", orig("staidx"), "--orig-statics", orig("statics"), "--orig-map",
                orig("map"), "--mod-staidx", staidx, "--mod-statics", statics, "--mod-map", map, "--out", package});
    ASSERT_EQ(generate.status, 0) << generate.err;
    const std::string header = readBytes(package).substr(0, 44);
    const auto field = [&](int i) { return le::i32(reinterpret_cast<const uint8_t*>(header.data()) + 4 * i); };
    EXPECT_EQ(field(0), 3) << "a package of any other world than 768 x 512 is version 3";
    EXPECT_EQ(field(8), world.facet);
    EXPECT_EQ(field(9), world.blocksWide);
    EXPECT_EQ(field(10), world.blocksHigh);

    // A player's copy of the originals, patched, equals the operator's modified files.
    const std::string player = dir.file("player");
    fs::copy(origin, player, fs::copy_options::recursive);
    const std::string p = player + "/";
    const auto apply = runCli({"diff", "apply", "--orig-staidx", orig("staidx"), "--orig-statics", orig("statics"),
                               "--orig-map", orig("map"), "--mod-staidx", p + "staidx" + f + ".mul", "--mod-statics",
                               p + "statics" + f + ".mul", "--mod-map", p + "map" + f + ".mul", package});
    ASSERT_EQ(apply.status, 0) << apply.err;
    EXPECT_TRUE(readBytes(p + "map" + f + ".mul") == readBytes(map));
    EXPECT_TRUE(readBytes(p + "staidx" + f + ".mul").size() == world.staticIndexBytes());
    const auto listing = [&](const std::string& index, const std::string& heap) {
        return runCli({"block", "--staidx", index, "--statics", heap, n(world.blocksWide - 1),
                       n(world.blocksHigh - 1)})
            .out;
    };
    EXPECT_EQ(listing(p + "staidx" + f + ".mul", p + "statics" + f + ".mul"), listing(staidx, statics));
}

TEST_P(FacetWorld, TilePicturesComeFromTheClientFolder) {
    const auto r = runCli({"tile-image", "--client-dir", work, "3", "--out", dir.file("tile.png")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(fs::exists(dir.file("tile.png")));
}

INSTANTIATE_TEST_SUITE_P(Worlds, FacetWorld,
                         ::testing::Values(WorldCase{"Facet0Wide", WorldGeometry(0, 896, 512), "896x512"},
                                           WorldCase{"Facet4", WorldGeometry(4, 181, 181), ""}),
                         [](const auto& info) { return std::string(info.param.name); });

// A package of the old clients' world is version 2 and applies only to such a world.
TEST(FacetPackages, AVersion2PackageIsRefusedOnAWiderWorld) {
    test::TempDir dir;
    ASSERT_EQ(runCli({"mkworld", dir.file("old"), "--items", "10"}).status, 0);
    ASSERT_EQ(runCli({"mkworld", dir.file("new"), "--items", "10", "--size", "896x512"}).status, 0);
    const std::string o = dir.file("old/"), w = dir.file("new/");
    const auto generate = runCli({"diff", "generate", "--orig-staidx", o + "staidx0.mul", "--orig-statics",
                                  o + "statics0.mul", "--orig-map", o + "map0.mul", "--mod-staidx", o + "staidx0.mul",
                                  "--mod-statics", o + "statics0.mul", "--mod-map", o + "map0.mul", "--out",
                                  dir.file("v2.tq2")});
    ASSERT_EQ(generate.status, 0) << generate.err;
    EXPECT_EQ(le::i32(reinterpret_cast<const uint8_t*>(readBytes(dir.file("v2.tq2")).data())), 2);
    const std::string mapBefore = readBytes(w + "map0.mul");
    const auto apply = runCli({"diff", "apply", "--orig-staidx", w + "staidx0.mul", "--orig-statics", w + "statics0.mul",
                               "--orig-map", w + "map0.mul", "--mod-staidx", w + "staidx0.mul", "--mod-statics",
                               w + "statics0.mul", "--mod-map", w + "map0.mul", dir.file("v2.tq2")});
    EXPECT_EQ(apply.status, 1);
    EXPECT_EQ(apply.err, "error: This package was made for a world of 768 \u00d7 512 blocks (a version 2 package), "
                         "but the original files are of 896 \u00d7 512 blocks\n");
    EXPECT_TRUE(readBytes(w + "map0.mul") == mapBefore);
}

} // namespace
} // namespace tq
