#include "core/bytes.h"
#include "support/classic_world.h"
#include "core/error.h"
#include "diff/buffered_io.h"
#include "diff_fixture.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

using test::TempDir;

const uint8_t* u8(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

uint32_t xorOfWords(const std::string& bytes) {
    uint32_t sum = 0;
    for (size_t i = 0; i + 4 <= bytes.size(); i += 4) sum ^= le::u32(u8(bytes) + i);
    return sum;
}

TEST(DiffPackageFormat, HeaderFieldsSitAtTheirOffsetsAndTheRestIsZero) {
    const TDiffHeader h{2, 0x11223344, int32_t(0x5A9CC20D), 5, -7, 8, -1, int32_t(0xCAFEBABE)};
    uint8_t bytes[DiffHeaderSize];
    std::memset(bytes, 0xEE, sizeof bytes);
    encodeDiffHeader(h, bytes);
    const uint32_t expected[] = {2, 0x11223344, 0x5A9CC20D, 5, uint32_t(-7), 8, 0xFFFFFFFF, 0xCAFEBABE};
    for (int i = 0; i < 8; ++i) EXPECT_EQ(le::u32(bytes + 4 * i), expected[i]) << "field " << i;
    for (int i = 32; i < DiffHeaderSize; ++i) ASSERT_EQ(bytes[i], 0) << "reserved byte " << i;
    TDiffHeader back;
    decodeDiffHeader(bytes, back);
    EXPECT_EQ(back, h);

    uint8_t entry[8];
    encodeDiffStaticsEntry({1024, 14}, entry);
    EXPECT_EQ(le::i32(entry), 1024);
    EXPECT_EQ(le::i32(entry + 4), 14);
}

TEST(DiffPackageFormat, StaticsCrcIsTheXorOfAllIndexWords) {
    auto index = newStaticIndex();
    EXPECT_EQ(StaticsCrc(*index), 0u);

    index->at(0, 0) = {int32_t(0x5A9CC20D), 0, 0};
    EXPECT_EQ(IntToSpacedHex(int32_t(StaticsCrc(*index)), 4), "0D C2 9C 5A");

    index->at(3, 7) = {100, 14, 9};
    index->at(767, 511) = {-1, -1, -1};
    index->at(400, 2) = {1 << 20, 2048 * 7, 0x12345};
    TempDir dir;
    SaveStaticIndex(dir.file("staidx0.mul"), *index);
    int pumps = 0;
    const uint32_t crc = StaticsCrc(*index, Progress{{}, {}, [&] { ++pumps; }});
    EXPECT_EQ(crc, xorOfWords(test::readBytes(dir.file("staidx0.mul"))));
    EXPECT_EQ(pumps, BlocksX);

    std::swap(index->at(3, 7), index->at(767, 511));  // moving entries does not show
    EXPECT_EQ(StaticsCrc(*index), crc);
}

TEST(DiffPackageFormat, MapFileSumXorsTheWholeMapAndReportsItsProgress) {
    TempDir dir;
    const std::string map = dir.file("map0.mul");
    test::makeMap(map, {{{0, 0}, test::mapBlock(1)}, {{300, 17}, test::mapBlock(2)}, {{767, 511}, test::mapBlock(3)}});
    test::ProgressLog log;
    const uint32_t sum = MapFileSum(map, log.progress());
    EXPECT_EQ(sum, xorOfWords(test::readBytes(map)));
    EXPECT_NE(sum, 0u);

    // 0, each percentage once as the blocks pass, then 100 again; one pump per column.
    std::vector<std::string> bars{"b:0"};
    for (int v = 1; v <= 100; ++v) bars.push_back("b:" + std::to_string(v));
    bars.push_back("b:100");
    EXPECT_EQ(log.events, bars);
    EXPECT_EQ(log.pumps, BlocksX);

    std::filesystem::resize_file(map, MapFileSize - 1);
    EXPECT_THROW(
        try { MapFileSum(map); } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "Read beyond end of file");
            throw;
        },
        Error);
}

TEST(DiffPackageFormat, ChangeRules) {
    EXPECT_TRUE(SameIndexEntry({10, 14, 1}, {10, 14, 99})) << "Extra is not compared";
    EXPECT_FALSE(SameIndexEntry({10, 14, 1}, {11, 14, 1}));
    EXPECT_FALSE(SameIndexEntry({10, 14, 1}, {10, 7, 1}));

    TStaticBlock a, b;
    a.Count = b.Count = 2;
    a.Records[0] = b.Records[1] = test::rec(100);
    a.Records[1] = b.Records[0] = test::rec(200);
    EXPECT_FALSE(SameBlockStatics(a, b)) << "the same records in another order are a change";
    std::swap(b.Records[0], b.Records[1]);
    EXPECT_TRUE(SameBlockStatics(a, b));
    b.Records[1].Color = 1;
    EXPECT_FALSE(SameBlockStatics(a, b));
    b.Records[1].Color = 0;
    b.Count = 1;
    EXPECT_FALSE(SameBlockStatics(a, b));

    TMapBlock m1 = test::mapBlock(4), m2 = m1;
    EXPECT_TRUE(SameMapBlock(m1, m2));
    m2.Header[2] ^= 1;
    EXPECT_FALSE(SameMapBlock(m1, m2)) << "the opaque header counts";
    uint8_t r1[MapBlockSize], r2[MapBlockSize];
    encodeMapBlock(m1, r1);
    encodeMapBlock(m2, r2);
    EXPECT_FALSE(SameMapBlock(r1, r2));
}

TEST(DiffPackageFormat, PackagePiecesAreWrittenAtTheEndAndReadBack) {
    TempDir dir;
    const std::string path = dir.file("p.tq2");
    auto file = openFile(path, OpenMode::Create);
    AppendWriter writer(*file, 0, 64);  // a tiny buffer, so pieces straddle flushes
    writer.append(std::string(DiffHeaderSize, '\0').data(), DiffHeaderSize);

    TStaticBlock block, empty;
    block.Count = 3;
    block.Records[0] = test::rec(0x0EED, 7, 0, -5, 0x1234);
    block.Records[1] = test::rec(1);
    block.Records[2] = test::rec(2, 0, 7, 127);
    TDiffStaticsEntry first, second;
    AppendPackageStatics(writer, first, block);
    AppendPackageStatics(writer, second, empty);
    TDiffMapEntry mapEntry = -1;
    AppendPackageMapBlock(writer, mapEntry, test::mapBlock(9));
    writer.flush();
    file->close();

    EXPECT_EQ(first, (TDiffStaticsEntry{1024, 21}));
    EXPECT_EQ(second, (TDiffStaticsEntry{1045, 0})) << "an empty block writes nothing";
    EXPECT_EQ(mapEntry, 1045);
    const std::string bytes = test::readBytes(path);
    ASSERT_EQ(bytes.size(), 1045u + MapBlockSize);
    EXPECT_EQ(bytes.substr(1024, 21),
              test::recordBytes({block.Records[0], block.Records[1], block.Records[2]}));

    auto in = openFile(path, OpenMode::Read);
    WindowedReader reader(*in, 100);
    TStaticBlock back;
    back.Count = 9;
    back.Records[5] = test::rec(77);
    ReadPackageStatics(reader, first, back);
    EXPECT_TRUE(SameBlockStatics(back, block));
    EXPECT_EQ(back.Records[5], TStaticRec{}) << "slots past Count are cleared";
    TMapBlock m;
    ReadPackageMapBlock(reader, mapEntry, m);
    EXPECT_EQ(m, test::mapBlock(9));

    // What a TStaticBlock cannot hold, or what lies outside the package, is refused.
    EXPECT_THROW(ReadPackageStatics(reader, {1024, 2049 * 7}, back), Error);
    EXPECT_THROW(ReadPackageStatics(reader, {1024, 10}, back), Error);
    EXPECT_THROW(ReadPackageMapBlock(reader, int32_t(bytes.size()) - 100, m), Error);
}

TEST(DiffPackageFormat, PackageNames) {
    struct Case { const char* name; bool applies; const char* generated; };
    const Case cases[] = {
        {"patch.tq2", true, "patch.tq2"},
        {"patch.TQ2", true, "patch.TQ2"},
        {"/a/b.c/patch.Tq2", true, "/a/b.c/patch.Tq2"},
        {"patch.tqd", false, "patch.tqd.tq2"},
        {"patch", false, "patch.tq2"},
        {"dir.tq2/patch", false, "dir.tq2/patch.tq2"},
        {"patch.tq2.bak", false, "patch.tq2.bak.tq2"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsDiffPackageName(c.name), c.applies) << c.name;
        EXPECT_EQ(DiffPackageName(c.name), c.generated) << c.name;
        EXPECT_TRUE(IsDiffPackageName(DiffPackageName(c.name))) << c.name;
    }
    EXPECT_EQ(CrcValueText(0x5A9CC20D), "The original statics file has a CRC value of 0D C2 9C 5A.");
    EXPECT_EQ(CrcValueText(0), "The original statics file has a CRC value of 00 00 00 00.");
}

} // namespace
} // namespace tq
