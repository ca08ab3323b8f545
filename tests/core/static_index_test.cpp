#include "core/bytes.h"
#include "support/classic_world.h"
#include "core/error.h"
#include "core/file_system.h"
#include "core/static_index.h"

#include "support/error_of.h"
#include "support/faulty_file_system.h"
#include "support/read_only_file.h"
#include "support/temp_dir.h"
#include "tools/reference_passes.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace tq {
namespace {

using test::errorOf;
using test::TempDir;

// An index file whose every entry is distinct: entry n holds (n, 7n, ~n).
std::string patternedIndexBytes() {
    std::string bytes(StaticIndexFileSize, '\0');
    auto* p = reinterpret_cast<uint8_t*>(bytes.data());
    for (uint32_t n = 0; n < uint32_t(BlockCount); ++n) {
        le::put32(p + n * 12, n);
        le::put32(p + n * 12 + 4, n * 7);
        le::put32(p + n * 12 + 8, ~n);
    }
    return bytes;
}

std::string recordBytes(const std::vector<TStaticRec>& records) {
    std::string bytes(records.size() * StaticRecSize, '\0');
    for (size_t i = 0; i < records.size(); ++i)
        encodeStaticRec(records[i], reinterpret_cast<uint8_t*>(bytes.data()) + i * StaticRecSize);
    return bytes;
}

TEST(StaticIndex, EntriesLieColumnByColumn) {
    EXPECT_EQ(staticIndexOffset(0, 1), 12u);
    EXPECT_EQ(staticIndexOffset(1, 0), 6144u);
    EXPECT_EQ(staticIndexOffset(767, 511), 4718580u);

    TempDir dir;
    auto index = newStaticIndex();
    index->at(1, 0) = {100, 14, 5};
    index->at(767, 511) = {-1, -1, 9};
    SaveStaticIndex(dir.file("staidx0.mul"), *index);
    const std::string bytes = test::readBytes(dir.file("staidx0.mul"));
    ASSERT_EQ(bytes.size(), 4718592u);
    EXPECT_EQ(bytes.substr(6144, 12), std::string("\x64\0\0\0\x0e\0\0\0\x05\0\0\0", 12));
    EXPECT_EQ(bytes.substr(4718580), std::string("\xff\xff\xff\xff\xff\xff\xff\xff\x09\0\0\0", 12));
}

TEST(StaticIndex, LoadReportsProgressPerColumnAndPumps) {
    TempDir dir;
    const std::string path = dir.file("staidx0.mul");
    test::writeBytes(path, patternedIndexBytes());

    std::vector<std::string> events;
    Progress progress;
    progress.position = [&](int p) { events.push_back(std::to_string(p)); };
    progress.pump = [&] { events.push_back("pump"); };
    auto index = newStaticIndex();
    LoadStaticIndex(path, *index, progress);

    std::vector<std::string> expected{"0"};
    for (int x = 0; x < 768; ++x) {
        expected.push_back(std::to_string(x * 100 / 768));
        expected.push_back("pump");
    }
    expected.push_back("100");
    EXPECT_EQ(events, expected);
    // The first 99 comes with column 761.
    EXPECT_EQ(events[1 + 2 * 760], "98");
    EXPECT_EQ(events[1 + 2 * 761], "99");

    EXPECT_EQ(index->at(0, 0), (TStaticIndexRec{0, 0, -1}));
    EXPECT_EQ(index->at(1, 0), (TStaticIndexRec{512, 512 * 7, int32_t(~512u)}));
    EXPECT_EQ(index->at(767, 511), (TStaticIndexRec{BlockCount - 1, (BlockCount - 1) * 7, int32_t(~uint32_t(BlockCount - 1))}));
}

TEST(StaticIndex, SaveReportsNinetyToNinetyNine) {
    TempDir dir;
    std::vector<int> positions;
    int pumps = 0;
    Progress progress;
    progress.position = [&](int p) { positions.push_back(p); };
    progress.pump = [&] { ++pumps; };
    auto index = newStaticIndex();
    SaveStaticIndex(dir.file("staidx0.mul"), *index, progress);

    ASSERT_EQ(positions.size(), 768u);
    for (int x = 0; x < 768; ++x) ASSERT_EQ(positions[size_t(x)], 90 + x * 10 / 768) << x;
    EXPECT_EQ(positions.front(), 90);
    EXPECT_EQ(positions.back(), 99);
    EXPECT_EQ(pumps, 768);
}

// (A longer file is refused now rather than shortened on saving: see the facet tests.)
TEST(StaticIndex, RoundTripIsByteExact) {
    TempDir dir;
    const std::string path = dir.file("staidx0.mul");
    const std::string original = patternedIndexBytes();
    test::writeBytes(path, original);

    auto index = newStaticIndex();
    LoadStaticIndex(path, *index);
    SaveStaticIndex(path, *index);
    EXPECT_EQ(test::readBytes(path), original);
}

TEST(StaticIndex, LoadFailures) {
    TempDir dir;
    auto index = newStaticIndex();
    EXPECT_EQ(errorOf([&] { LoadStaticIndex(dir.file("staidx0.mul"), *index); }), "File not found");
    test::writeBytes(dir.file("short.mul"), std::string(StaticIndexFileSize - 1, '\0'));
    EXPECT_EQ(errorOf([&] { LoadStaticIndex(dir.file("short.mul"), *index); }),
              dir.file("short.mul") + " is 4,718,591 bytes; a facet 0 static index is 4,718,592 (768 \u00d7 512 "
                                      "blocks) or 5,505,024 (896 \u00d7 512) bytes");
}

TEST(StaticIndex, ReadOnlyOriginalsAreRead) {
    TempDir dir;
    const std::string staidx = dir.file("staidx0.mul"), statics = dir.file("statics0.mul");
    test::writeBytes(staidx, patternedIndexBytes());
    test::writeBytes(statics, recordBytes({{3821, 1, 2, 3, 4}}));
    test::ReadOnlyFile roIndex(staidx), roStatics(statics);
    if (!roIndex.effective()) GTEST_SKIP() << "cannot make a file read-only for this user here";

    auto index = newStaticIndex();
    LoadStaticIndex(staidx, *index);
    EXPECT_EQ(index->at(0, 1).Start, 1);
    TStaticBlock block;
    ReadBlockStatics(statics, {0, 7, 0}, block);
    EXPECT_EQ(block.Count, 1);
    // Saving over a read-only index is refused, and the original stays.
    EXPECT_EQ(errorOf([&] { SaveStaticIndex(staidx, *index); }), "File access denied");
    EXPECT_EQ(dir.entries(), (std::vector<std::string>{"staidx0.mul", "statics0.mul"}));
}

TEST(StaticIndex, SaveFailureLeavesTheOldIndexWhole) {
    TempDir dir;
    const std::string path = dir.file("staidx0.mul");
    const std::string original = patternedIndexBytes();
    auto index = newStaticIndex();  // all zero: differs from the file everywhere

    for (int step = 0; step < 2; ++step) {
        test::writeBytes(path, original);
        test::FaultyFileSystem faulty;
        if (step == 0) faulty.failWriteAt = 1;
        else faulty.failRenameAt = 1;
        {
            ScopedFileSystem guard(faulty);
            EXPECT_NE(errorOf([&] { SaveStaticIndex(path, *index); }), "<no error>");
        }
        EXPECT_TRUE(faulty.faulted);
        EXPECT_EQ(test::readBytes(path), original) << "step " << step;
        EXPECT_EQ(dir.entries(), std::vector<std::string>{"staidx0.mul"}) << "step " << step;
    }
}

// --- one block's statics -------------------------------------------------------------

class BlockStatics : public ::testing::Test {
protected:
    TempDir dir;
    std::string statics = dir.file("statics0.mul");
    const std::vector<TStaticRec> three{{0x0EED, 5, 2, -5, 0}, {1, 0, 7, 127, 0x1234}, {0xFFFF, 7, 0, -128, 0xFFFF}};

    void SetUp() override { test::writeBytes(statics, "1234567" + recordBytes(three)); }

    static TStaticBlock dirtyBlock() {
        TStaticBlock b;
        b.Count = 3;
        for (auto& r : b.Records) r = {9, 9, 9, 9, 9};
        return b;
    }
    static bool allZero(const TStaticBlock& b) {
        if (b.Count != 0) return false;
        for (const auto& r : b.Records)
            if (!(r == TStaticRec{})) return false;
        return true;
    }
};

TEST_F(BlockStatics, ReadsTheRunAtStart) {
    TStaticBlock block = dirtyBlock();
    ReadBlockStatics(statics, {7, 21, 99}, block);
    ASSERT_EQ(block.Count, 3);
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(block.Records[i], three[i]) << i;
    EXPECT_EQ(block.Records[3], TStaticRec{});
}

TEST_F(BlockStatics, ReadCases) {
    const std::string missing = dir.file("nothing.mul");
    struct Case {
        const char* what;
        std::string path;
        TStaticIndexRec entry;
        const char* message;  // nullptr: no error, empty block
    };
    const Case cases[] = {
        {"Start -1 needs no file", missing, {-1, -1, 0}, nullptr},
        {"Start -1 ignores Length", statics, {-1, 21, 0}, nullptr},
        {"Length 0 reads nothing", statics, {7, 0, 0}, nullptr},
        {"Length 0 still opens the file", missing, {0, 0, 0}, "File not found"},
        {"Length not a multiple of 7", statics, {0, 20, 0}, "StaticPointer.Length is not a multiple of SizeOf(TStaticRec)"},
        {"run past the end of the file", statics, {14, 21, 0}, "Read beyond end of file"},
        {"more than a block holds", statics, {0, 2049 * 7, 0}, "A block can hold at most 2048 statics (2049 asked for)"},
    };
    for (const Case& c : cases) {
        TStaticBlock block = dirtyBlock();
        const std::string got = errorOf([&] { ReadBlockStatics(c.path, c.entry, block); });
        EXPECT_EQ(got, c.message ? c.message : "<no error>") << c.what;
        EXPECT_TRUE(allZero(block)) << c.what;
    }
}

TEST_F(BlockStatics, AFullBlockOf2048Fits) {
    std::vector<TStaticRec> full(StaticBlockCapacity, TStaticRec{0x1234, 1, 2, 3, 4});
    full.back() = {1, 7, 7, -1, 2};
    test::writeBytes(statics, recordBytes(full));
    TStaticBlock block;
    ReadBlockStatics(statics, {0, StaticBlockCapacity * 7, 0}, block);
    EXPECT_EQ(block.Count, 2048);
    EXPECT_EQ(block.Records[2047], full.back());
}

TEST_F(BlockStatics, AppendKeepsBothOrdersAndRefusesOverflow) {
    TStaticBlock dest, src;
    dest.Count = 2000;
    for (int i = 0; i < 2000; ++i) dest.Records[size_t(i)] = {uint16_t(i), 0, 0, 0, 0};
    src.Count = 49;
    for (int i = 0; i < 49; ++i) src.Records[size_t(i)] = {uint16_t(5000 + i), 1, 1, 1, 1};

    const TStaticBlock before = dest;
    EXPECT_EQ(errorOf([&] { AppendStatics(dest, src); }), "A block can hold at most 2048 statics (2049 asked for)");
    EXPECT_EQ(dest.Count, before.Count);
    EXPECT_EQ(dest.Records, before.Records);

    src.Count = 48;
    src.Records[48] = {};
    AppendStatics(dest, src);
    EXPECT_EQ(dest.Count, 2048);
    EXPECT_EQ(dest.Records[1999].ItemId, 1999);
    EXPECT_EQ(dest.Records[2000].ItemId, 5000);
    EXPECT_EQ(dest.Records[2047].ItemId, 5047);
}

TEST_F(BlockStatics, WriteAppendsAndPointsTheEntryThere) {
    const std::string before = test::readBytes(statics);  // 28 bytes
    TStaticBlock block;
    block.Count = 2;
    block.Records[0] = three[0];
    block.Records[1] = three[2];

    TStaticIndexRec entry{-1, 0, 77};
    WriteBlockStatics(statics, entry, block);
    EXPECT_EQ(entry, (TStaticIndexRec{28, 14, 77}));
    WriteBlockStatics(statics, entry, block);  // twice: two runs, the second referenced
    EXPECT_EQ(entry, (TStaticIndexRec{42, 14, 77}));
    const std::string run = recordBytes({three[0], three[2]});
    EXPECT_EQ(test::readBytes(statics), before + run + run);

    TStaticBlock empty;
    WriteBlockStatics(statics, entry, empty);  // an empty block is not an empty entry
    EXPECT_EQ(entry, (TStaticIndexRec{56, 0, 77}));
    EXPECT_EQ(test::readBytes(statics).size(), 56u);

    TStaticBlock back;
    ReadBlockStatics(statics, {42, 14, 0}, back);
    EXPECT_EQ(back.Records[1], three[2]);
}

TEST_F(BlockStatics, WriteFailuresLeaveTheEntryAlone) {
    TStaticBlock block;
    block.Count = 1;
    block.Records[0] = three[1];
    TStaticIndexRec entry{5, 7, 1};
    EXPECT_EQ(errorOf([&] { WriteBlockStatics(dir.file("nothing.mul"), entry, block); }), "File not found");
    EXPECT_EQ(entry, (TStaticIndexRec{5, 7, 1}));

    test::FaultyFileSystem faulty;
    faulty.failWriteAt = 1;
    {
        ScopedFileSystem guard(faulty);
        EXPECT_EQ(errorOf([&] { WriteBlockStatics(statics, entry, block); }), "Disk full");
    }
    EXPECT_EQ(entry, (TStaticIndexRec{5, 7, 1}));
    EXPECT_EQ(test::readBytes(statics).size(), 28u);
}

TEST_F(BlockStatics, OpenFileOverloadsServeAWholePass) {
    auto file = openFile(statics, OpenMode::ReadWrite);
    TStaticBlock block;
    ReadBlockStatics(*file, {7, 21, 0}, block);
    TStaticIndexRec entry{7, 21, 3};
    WriteBlockStatics(*file, entry, block);
    EXPECT_EQ(entry, (TStaticIndexRec{28, 21, 3}));
    ReadBlockStatics(*file, entry, block);
    EXPECT_EQ(block.Count, 3);
    EXPECT_EQ(block.Records[2], three[2]);
    file->close();
    EXPECT_EQ(test::readBytes(statics).size(), 49u);
}

} // namespace
} // namespace tq
