#include "check/small_world.h"
#include "core/facets.h"
#include "core/static_index.h"

#include "support/run_cli.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

namespace tq {
namespace {

using test::Facet4;
using test::SmallWorld;

std::string compactLine(const std::string& statics, uint64_t before, uint64_t after) {
    return "Compacted " + statics + ": " + groupedNumber(before) + " bytes before, " + groupedNumber(after) + " after (" +
           groupedNumber(before - after) + " bytes given back)\n";
}

std::vector<TStaticRec> blockRecords(const std::string& statics, const TStaticIndexRec& entry) {
    auto block = std::make_unique<TStaticBlock>();
    ReadBlockStatics(statics, entry, *block);
    return {block->Records.begin(), block->Records.begin() + block->Count};
}

// Every freeze appends the blocks it touches; after 100 of them compact gives back what a
// world written fresh with the same statics takes, block for block the same.
TEST(Compact, AfterHundredFreezesEqualsAFreshWorld) {
    test::TempDir dir;
    const std::string world = dir.file("w"), staidx = world + "/staidx4.mul", statics = world + "/statics4.mul",
                      region = world + "/shared/0.0.wsc";
    std::filesystem::create_directories(world);
    ASSERT_EQ(test::runCli({"mkworld", world, "--facet", "4", "--items", "10", "--wsc-format", "folder"}).status, 0);
    uint32_t serial = 0x50000000, seed = 5;
    auto next = [&seed](uint32_t below) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % below;
    };
    for (int freeze = 0; freeze < 100; ++freeze) {
        std::string items = test::readBytes(region);
        // Fifty items in a corner of 32 x 32 blocks, so most freezes touch blocks frozen before.
        for (int i = 0; i < 50; ++i)
            items += "\n[ITEM]\nSerial=" + std::to_string(serial++) + "\nID=" + std::to_string(1000 + next(3000)) +
                     "\nLocation=" + std::to_string(next(256)) + "," +
                     std::to_string(next(256)) + "," + std::to_string(int(next(40)) - 20) + ",4,0\nType=255\no---o\n";
        test::writeBytes(region, items);
        const auto r = test::runCli({"freeze", "--staidx", staidx, "--statics", statics, "--wsc", world + "/shared"});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    auto before = newStaticIndex(Facet4);
    LoadStaticIndex(staidx, *before);
    const uint64_t sizeBefore = std::filesystem::file_size(statics);

    // The same statics written once each into a new pair of files.
    const std::string freshIdx = dir.file("staidx4.mul"), freshStatics = dir.file("statics4.mul");
    test::writeBytes(freshStatics, "");
    auto fresh = newStaticIndex(Facet4);
    auto block = std::make_unique<TStaticBlock>();
    for (int x = 0; x < Facet4.blocksWide; ++x)
        for (int y = 0; y < Facet4.blocksHigh; ++y) {
            ReadBlockStatics(statics, before->at(x, y), *block);
            if (block->Count) WriteBlockStatics(freshStatics, fresh->at(x, y), *block);
        }
    const uint64_t freshSize = std::filesystem::file_size(freshStatics);
    ASSERT_LT(freshSize, sizeBefore);
    const auto listing = test::runCli({"block", "--staidx", staidx, "--statics", statics, "3", "5"});
    ASSERT_NE(listing.out, "");

    const auto r = test::runCli({"compact", "--staidx", staidx, "--statics", statics});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, compactLine(statics, sizeBefore, freshSize));
    EXPECT_EQ(std::filesystem::file_size(statics), freshSize);

    auto after = newStaticIndex(Facet4);
    LoadStaticIndex(staidx, *after);
    int64_t nextStart = 0;
    for (int x = 0; x < Facet4.blocksWide; ++x)
        for (int y = 0; y < Facet4.blocksHigh; ++y) {
            const TStaticIndexRec& old = before->at(x, y);
            const TStaticIndexRec& now = after->at(x, y);
            ASSERT_EQ(blockRecords(statics, now), blockRecords(freshStatics, fresh->at(x, y))) << x << "," << y;
            if (old.Start == -1 || old.Length == 0) {
                EXPECT_EQ(now, (TStaticIndexRec{-1, -1, 0})) << x << "," << y;
            } else {  // column by column, each run right after the one before, Extra kept
                EXPECT_EQ(now.Start, nextStart) << x << "," << y;
                EXPECT_EQ(now.Length, old.Length);
                EXPECT_EQ(now.Extra, old.Extra);
                nextStart += now.Length;
            }
        }
    EXPECT_EQ(test::runCli({"block", "--staidx", staidx, "--statics", statics, "3", "5"}).out, listing.out);

    const auto check = test::runCli({"check", world});
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_EQ(check.out.find("not referenced"), std::string::npos) << check.out;

    // Compacting a compact world changes nothing.
    const std::string idxBytes = test::readBytes(staidx), staticsBytes = test::readBytes(statics);
    EXPECT_EQ(test::runCli({"compact", "--staidx", staidx, "--statics", statics}).out,
              compactLine(statics, freshSize, freshSize));
    EXPECT_EQ(test::readBytes(staidx), idxBytes);
    EXPECT_EQ(test::readBytes(statics), staticsBytes);
    EXPECT_FALSE(std::filesystem::exists(staidx + ".journal"));
}

TEST(Compact, RefusesADamagedWorldWithTheReport) {
    SmallWorld w;
    w.setEntry(1, 1, {0, 20, 0});
    const std::string idx = test::readBytes(w.staidx), statics = test::readBytes(w.statics);
    const auto entries = w.dir.entries();
    const auto r = test::runCli({"compact", "--staidx", w.staidx, "--statics", w.statics});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "Checked " + w.staidx + ": static index, facet 4, 181 \u00d7 181 blocks\nChecked " + w.statics +
                         ": statics, facet 4\n" + w.staidx +
                         ": error: block (1, 1): its Length 20 is not a multiple of 7\n1 problem found in 2 files\n");
    EXPECT_EQ(r.err, "error: " + w.staidx +
                         ": The static index or statics are damaged (see the report); compact does not repair them. "
                         "Nothing was changed.\n");
    EXPECT_EQ(test::readBytes(w.staidx), idx);
    EXPECT_EQ(test::readBytes(w.statics), statics);
    EXPECT_EQ(w.dir.entries(), entries);
}

// Blocks over the client's 1024 are kept unless asked; --drop-beyond-limit keeps each one's
// first 1024 and says what it dropped. Over this program's 2048 is refused without it.
TEST(Compact, DropBeyondLimit) {
    std::vector<TStaticRec> many;
    for (int i = 0; i < 2050; ++i) many.push_back({uint16_t(i + 1), uint8_t(i % 8), uint8_t(i / 8 % 8), 0, 0});
    const std::vector<TStaticRec> crowded(many.begin(), many.begin() + 1030);

    SmallWorld w;
    w.setEntry(5, 6, w.appendRun(crowded));
    auto r = test::runCli({"compact", "--staidx", w.staidx, "--statics", w.statics});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    w.index = StaticIndexBuffer(Facet4);
    LoadStaticIndex(w.staidx, w.index);
    EXPECT_EQ(blockRecords(w.statics, w.index.at(5, 6)), crowded);

    r = test::runCli({"compact", "--drop-beyond-limit", "--staidx", w.staidx, "--statics", w.statics});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const uint64_t before = 49 + 1030 * 7;
    EXPECT_EQ(r.out, "Dropped 6 statics of block (5, 6) beyond the first 1024 (it held 1,030)\n" +
                         compactLine(w.statics, before, before - 6 * 7));
    LoadStaticIndex(w.staidx, w.index);
    EXPECT_EQ(blockRecords(w.statics, w.index.at(5, 6)), std::vector<TStaticRec>(many.begin(), many.begin() + 1024));
    EXPECT_EQ(blockRecords(w.statics, w.index.at(1, 1)).size(), 2u);

    SmallWorld big;
    big.setEntry(5, 6, big.appendRun(many));
    r = test::runCli({"compact", "--staidx", big.staidx, "--statics", big.statics});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("block (5, 6): it holds 2,050 statics; this program handles at most 2048 per block"),
              std::string::npos)
        << r.out;
    r = test::runCli({"compact", "--drop-beyond-limit", "--staidx", big.staidx, "--statics", big.statics});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find("Dropped 1,026 statics of block (5, 6) beyond the first 1024 (it held 2,050)\n"),
              std::string::npos)
        << r.out;
}

} // namespace
} // namespace tq
