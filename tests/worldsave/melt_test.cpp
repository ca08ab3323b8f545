#include "core/error.h"
#include "support/classic_world.h"
#include "core/file_system.h"
#include "support/faulty_file_system.h"
#include "worldsave/freeze.h"
#include "worldsave/melt.h"
#include "world_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>

namespace tq {
namespace {

using test::ClientFiles;
using test::readBytes;

MeltOptions optionsFor(const ClientFiles& f) {
    MeltOptions o;
    o.staidxPath = f.staidx;
    o.staticsPath = f.statics;
    o.worldSavePath = f.wsc;
    return o;
}

TEST(MeltBlock, TurnsTheBlocksStaticsIntoWorldItemsAndEmptiesItsEntry) {
    ClientFiles f;
    const std::vector<TStaticRec> recs = {{3821, 7, 0, -5, 33}, {1, 0, 7, 127, 0}, {2, 3, 3, 0, 65535}};
    f.giveStatics(767, 511, recs, 99);
    f.giveStatics(0, 0, {{5, 5, 5, 5, 5}});
    f.write("SECTION WORLDITEM 41\nSERIAL 1073741900\nEOF\nlost");
    std::vector<std::string> log;
    std::vector<int> progress;
    Progress p;
    p.position = [&](int v) { progress.push_back(v); };
    MeltOptions o = optionsFor(f);
    o.announce = true;
    MeltBlock(o, 767, 511, *f.index, p, [&](const std::string& l) { log.push_back(l); });

    EXPECT_EQ(log, (std::vector<std::string>{MeltingInProgressMessage, "Writing StaIdx file...", "Done!",
                                             "Melting completed!"}));
    EXPECT_EQ(progress.front(), 0);
    EXPECT_EQ(progress[1], 90);
    EXPECT_EQ(progress.back(), 100);
    EXPECT_EQ(progress.size(), size_t(BlocksX) + 2);
    const std::vector<std::string> lines = test::splitLines(readBytes(f.wsc));
    ASSERT_EQ(lines.size(), 2 + 3 * 13 + 2u);
    EXPECT_EQ(lines[2], "SECTION WORLDITEM 42");
    EXPECT_EQ(lines[4], "SERIAL 1073741901");
    EXPECT_EQ(lines[7], "X 6143");
    EXPECT_EQ(lines[8], "Y 4088");
    EXPECT_EQ(lines[9], "Z -5");
    EXPECT_EQ(lines[13 + 9], "Z 127");
    EXPECT_EQ(lines[26 + 10], "COLOR 65535");
    EXPECT_EQ(lines[lines.size() - 2], "EOF");
    EXPECT_EQ(readBytes(f.statics), f.staticsBytes);  // only read
    auto disk = newStaticIndex();
    LoadStaticIndex(f.staidx, *disk);
    EXPECT_EQ(disk->at(767, 511), (TStaticIndexRec{-1, 0, 0}));
    EXPECT_EQ(f.index->at(767, 511), (TStaticIndexRec{-1, 0, 0}));
    EXPECT_EQ(disk->at(0, 0), (TStaticIndexRec{21, 7, 0}));
}

TEST(MeltBlock, EmptyBlockOnlyLogsAndStillEmptiesTheEntry) {
    ClientFiles f;
    f.index->at(4, 4) = TStaticIndexRec{0, 0, 12};  // a zero-length run
    f.write("EOF\n");
    std::vector<std::string> log;
    MeltBlock(optionsFor(f), 4, 4, *f.index, {}, [&](const std::string& l) { log.push_back(l); });
    EXPECT_EQ(log, (std::vector<std::string>{"Nothing to do!", "Writing StaIdx file...", "Done!", "Melting completed!"}));
    EXPECT_EQ(readBytes(f.wsc), "EOF\n");
    auto disk = newStaticIndex();
    LoadStaticIndex(f.staidx, *disk);
    EXPECT_EQ(disk->at(4, 4), (TStaticIndexRec{-1, 0, 0}));
}

TEST(MeltBlock, MeltThenFreezeGivesBackTheSameRecordsWithExtra0) {
    for (SelectionRule rule : {SelectionRule::Type255, SelectionRule::Auto}) {
        ClientFiles f;
        const std::vector<TStaticRec> recs = {{3821, 7, 0, -128, 33}, {1, 0, 7, 127, 0}, {9, 3, 3, 0, 65535}};
        f.giveStatics(20, 30, recs, 99);
        f.write("SECTION CHARACTER 1\r\n{\r\nSERIAL 5\r\n}\r\n");
        test::writeBytes(f.dir.file("AutoSelect.txt"), "");
        MeltBlock(optionsFor(f), 20, 30, *f.index, {}, {});
        FreezeOptions o;
        o.staidxPath = f.staidx;
        o.staticsPath = f.statics;
        o.worldSavePath = f.wsc;
        o.rule = rule;
        o.autoSelectPath = f.dir.file("AutoSelect.txt");
        FreezeWorld(o, *f.index, {}, {});
        EXPECT_EQ(f.blockOnDisk(20, 30), recs);
        EXPECT_EQ(f.index->at(20, 30).Extra, 0);
        EXPECT_EQ(readBytes(f.wsc), "SECTION CHARACTER 1\r\n{\r\nSERIAL 5\r\n}\r\n\r\n\r\n\r\nEOF\r\n\r\n");
    }
}

TEST(MeltBlock, RefusesBlocksOutsideTheWorld) {
    ClientFiles f;
    f.write("");
    for (auto [x, y] : {std::pair{768, 0}, {0, 512}, {-1, 0}, {0, -2147483647 - 1}}) {
        EXPECT_THROW(MeltBlock(optionsFor(f), x, y, *f.index, {}, {}), Error);
    }
    EXPECT_EQ(readBytes(f.wsc), "");
}

// Both new files are written before either is renamed, the world-save first: a failed
// write changes nothing, and only a refused second rename leaves the statics in both.
TEST(MeltBlock, FailureAtAnyStepLosesNoItem) {
    const std::vector<TStaticRec> recs = {{3821, 1, 2, 3, 4}, {77, 0, 0, 0, 0}};
    auto fixture = [&](ClientFiles& f) {
        f.giveStatics(2, 3, recs);
        f.write("EOF\r\n");
    };
    test::FaultyFileSystem counter;
    {
        ClientFiles good;
        fixture(good);
        ScopedFileSystem guard(counter);
        MeltBlock(optionsFor(good), 2, 3, *good.index, {}, {});
    }
    ASSERT_EQ(counter.renames, 3);  // the journal, then the world-save, the index
    for (int kind = 0; kind < 2; ++kind) {
        const int steps = kind == 0 ? counter.writes : counter.renames;
        for (int step = 1; step <= steps; ++step) {
            ClientFiles f;
            fixture(f);
            test::FaultyFileSystem faulty;
            (kind == 0 ? faulty.failWriteAt : faulty.failRenameAt) = step;
            {
                ScopedFileSystem guard(faulty);
                EXPECT_THROW(MeltBlock(optionsFor(f), 2, 3, *f.index, {}, {}), Error);
            }
            const bool inWorldSave = readBytes(f.wsc).find("ID 3821\r\n") != std::string::npos;
            const bool inStatics = f.blockOnDisk(2, 3) == recs;
            EXPECT_TRUE(inWorldSave || inStatics) << kind << " " << step;
            if (kind == 0 || step == 1) {
                EXPECT_FALSE(inWorldSave) << "a failure before the renames changed the world-save: " << kind << " " << step;
                const auto left = std::distance(std::filesystem::directory_iterator(f.dir.path()), {});
                EXPECT_EQ(left, 3) << "a temporary file was left: " << kind << " " << step;
            }
            auto disk = newStaticIndex();
            LoadStaticIndex(f.staidx, *disk);
            EXPECT_EQ(disk->at(2, 3), f.index->at(2, 3)) << "the window's index differs from the file";
        }
    }
}

} // namespace
} // namespace tq
