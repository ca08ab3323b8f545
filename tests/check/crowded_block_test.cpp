#include "check/small_world.h"

#include "support/run_cli.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace tq {
namespace {

using test::SmallWorld;

// `count` statics spread over the block's cells: record i stands on cell (i mod 8, i div 8 mod 8).
std::vector<TStaticRec> spread(int count) {
    std::vector<TStaticRec> records;
    for (int i = 0; i < count; ++i) records.push_back({uint16_t(0x100 + i), uint8_t(i % 8), uint8_t(i / 8 % 8), 0, 0});
    return records;
}

// Freeze, fill and applying a package each say in their log when a block they write ends
// with more statics than the client draws, and carry on.
TEST(CrowdedBlock, WritersWarnAndCarryOn) {
    const std::string warning = "Block (5, 6) now holds 1,030 statics; the game client shows only the first 1024\n";

    {  // freeze: ten items into a block of 1020
        SmallWorld w;
        w.setEntry(5, 6, w.appendRun(spread(1020)));
        std::filesystem::create_directories(w.dir.path() / "shared");
        std::string items;
        for (int i = 0; i < 10; ++i)
            items += "[ITEM]\nSerial=" + std::to_string(0x40000100 + i) + "\nId=3821\nLocation=" + std::to_string(40 + i % 8) +
                     ",50,0,4,0\nType=255\no---o\n\n";
        test::writeBytes(w.dir.file("shared/0.0.wsc"), items);
        const auto r =
            test::runCli({"freeze", "--staidx", w.staidx, "--statics", w.statics, "--wsc", w.dir.file("shared")});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(warning), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("Freezing completed!"), std::string::npos) << r.out;
    }
    {  // fill: one cell of a block of 1100 cleared (18 of its statics stand on it)
        SmallWorld w;
        w.setEntry(5, 6, w.appendRun(spread(1100)));
        const auto r = test::runCli({"fill", "--staidx", w.staidx, "--statics", w.statics, "--map", w.map, "--left", "40",
                                     "--top", "48", "--right", "40", "--bottom", "48", "--no-map"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("Block (5, 6) now holds 1,082 statics; the game client shows only the first 1024\n"),
                  std::string::npos)
            << r.out;
        // A block left with exactly 1024 (17 of 1041 stand on the cell) is not mentioned.
        SmallWorld under;
        under.setEntry(5, 6, under.appendRun(spread(1024 + 17)));
        const auto quiet = test::runCli({"fill", "--staidx", under.staidx, "--statics", under.statics, "--map", under.map,
                                         "--left", "40", "--top", "48", "--right", "40", "--bottom", "48", "--no-map"});
        EXPECT_EQ(quiet.status, 0) << quiet.err;
        EXPECT_EQ(quiet.out.find("now holds"), std::string::npos) << quiet.out;
    }
    {  // apply: a package whose block holds 1030
        SmallWorld orig, mod, player;
        mod.setEntry(5, 6, mod.appendRun(spread(1030)));
        const std::string package = mod.dir.file("crowded.tq2");
        auto r = test::runCli({"diff", "generate", "--orig-staidx", orig.staidx, "--orig-statics", orig.statics,
                               "--orig-map", orig.map, "--mod-staidx", mod.staidx, "--mod-statics", mod.statics,
                               "--mod-map", mod.map, "--out", package});
        ASSERT_EQ(r.status, 0) << r.err;
        r = test::runCli({"diff", "apply", "--orig-staidx", orig.staidx, "--orig-statics", orig.statics, "--orig-map",
                          orig.map, "--mod-staidx", player.staidx, "--mod-statics", player.statics, "--mod-map",
                          player.map, package});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(warning), std::string::npos) << r.out;
    }
}

} // namespace
} // namespace tq
