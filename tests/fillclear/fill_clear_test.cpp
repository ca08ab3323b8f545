#include "core/error.h"
#include "support/classic_world.h"
#include "core/map_file.h"
#include "core/random.h"
#include "core/static_index.h"
#include "core/world.h"
#include "fillclear/fill_clear.h"
#include "support/error_of.h"
#include "support/faulty_file_system.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace tq {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

// The first `columns` block columns of a world: every block with its own header, every
// cell its own tile and altitude, every index entry empty, an empty statics file.
class SmallWorld {
public:
    explicit SmallWorld(int columns = 4) : columns_(columns) {
        staidx = dir.file("staidx0.mul");
        statics = dir.file("statics0.mul");
        map = dir.file("map0.mul");
        std::string index(size_t(columns) * StaticIndexColumnBytes, '\0');
        for (int i = 0; i < columns * BlocksY; ++i)
            encodeIndexRec({-1, 0, 0}, reinterpret_cast<uint8_t*>(index.data()) + i * StaticIndexRecSize);
        writeBytes(staidx, index);
        writeBytes(statics, "");
        std::string bytes(size_t(columns) * MapColumnBytes, '\0');
        for (int bx = 0; bx < columns; ++bx)
            for (int by = 0; by < BlocksY; ++by) {
                TMapBlock block;
                block.Header = {uint8_t(0xC0 ^ bx), uint8_t(by), uint8_t(by >> 8), 0x5A};
                for (int cy = 0; cy < 8; ++cy)
                    for (int cx = 0; cx < 8; ++cx)
                        block.Cells[size_t(cy * 8 + cx)] = originalCell(bx * 8 + cx, by * 8 + cy);
                encodeMapBlock(block, reinterpret_cast<uint8_t*>(bytes.data()) + mapBlockOffset(bx, by));
            }
        writeBytes(map, bytes);
    }

    static TMapCell originalCell(int x, int y) {
        return {uint16_t(x * 31 + y * 17 + 5), int8_t(((x ^ y) & 0x7F) - 60)};
    }

    FillClearInput input(const char* top, const char* left, const char* right, const char* bottom) const {
        FillClearInput in;
        in.Top = top;
        in.Left = left;
        in.Right = right;
        in.Bottom = bottom;
        in.StaIdxPath = staidx;
        in.StaticsPath = statics;
        in.MapPath = map;
        in.Tile = "00 A8";
        return in;
    }

    // Appends a run for the block to statics0.mul and points its entry at it.
    void putStatics(int bx, int by, const std::vector<TStaticRec>& records, int32_t extra = 0) {
        std::string run(records.size() * StaticRecSize, '\0');
        for (size_t i = 0; i < records.size(); ++i)
            encodeStaticRec(records[i], reinterpret_cast<uint8_t*>(run.data()) + i * StaticRecSize);
        const std::string old = readBytes(statics);
        writeBytes(statics, old + run);
        setEntry(bx, by, {int32_t(old.size()), int32_t(run.size()), extra});
    }

    void setEntry(int bx, int by, const TStaticIndexRec& rec) {
        std::string index = readBytes(staidx);
        encodeIndexRec(rec, reinterpret_cast<uint8_t*>(index.data()) + staticIndexOffset(bx, by));
        writeBytes(staidx, index);
    }

    TStaticIndexRec entry(int bx, int by) const {
        const std::string index = readBytes(staidx);
        TStaticIndexRec rec;
        decodeIndexRec(reinterpret_cast<const uint8_t*>(index.data()) + staticIndexOffset(bx, by), rec);
        return rec;
    }

    std::vector<TStaticRec> records(int bx, int by) const {
        TStaticBlock block;
        ReadBlockStatics(statics, entry(bx, by), block);
        return {block.Records.begin(), block.Records.begin() + block.Count};
    }

    // The whole map as it is now, and the map with `change` applied to every cell in the
    // rectangle (for comparing whole files).
    std::string mapBytes() const { return readBytes(map); }
    std::string expectedMap(int left, int top, int right, int bottom, TMapCell filled) const {
        std::string bytes = mapBytes();
        for (int x = left; x <= right; ++x)
            for (int y = top; y <= bottom; ++y)
                encodeMapCell(filled, reinterpret_cast<uint8_t*>(bytes.data()) + mapCellOffset(x, y));
        return bytes;
    }

    TempDir dir;
    std::string staidx, statics, map;

private:
    int columns_;
};

TStaticRec item(uint16_t id, uint8_t x, uint8_t y) { return {id, x, y, int8_t(5), uint16_t(0x21)}; }

TEST(BlockInArea, WholePartlyOrNone) {
    struct Case {
        uint16_t top, left, right, bottom, bx, by;
        BlockCoverage expected;
    };
    constexpr BlockCoverage None = BlockCoverage::None, Partly = BlockCoverage::Partly,
                            Wholly = BlockCoverage::Wholly;
    const Case cases[] = {
        {0, 0, 6143, 4095, 0, 0, Wholly},     {0, 0, 6143, 4095, 767, 511, Wholly},
        {0, 10, 20, 7, 1, 0, Partly},         {0, 10, 20, 7, 2, 0, Partly},
        {0, 10, 20, 7, 0, 0, None},           {0, 10, 20, 7, 3, 0, None},
        {0, 10, 20, 7, 1, 1, None},           {0, 8, 15, 7, 1, 0, Wholly},  // exactly one block: whole, never partly
        {3, 8, 15, 7, 1, 0, Partly},          {0, 9999, 9999, 9999, 767, 511, None},
        {0, 0, 9999, 9999, 767, 511, Wholly},
        // Crossed borders contain no cell, yet a block between them still counts as partly covered.
        {0, 12, 10, 7, 1, 0, Partly},         {0, 12, 10, 7, 2, 0, None},  {0, 20, 10, 7, 1, 0, None},
    };
    for (const Case& c : cases)
        EXPECT_EQ(int(BlockInArea(c.top, c.left, c.right, c.bottom, c.bx, c.by)), int(c.expected))
            << c.top << " " << c.left << " " << c.right << " " << c.bottom << " block " << c.bx << "," << c.by;
}

TEST(BlockInArea, BordersAreSixteenBitNumbers) {
    const FillClearArea a = parseFillClearArea("70000", "-1", "9999", "$10");
    EXPECT_EQ(a.Top, 4464);
    EXPECT_EQ(a.Left, 65535);
    EXPECT_EQ(a.Right, 9999);
    EXPECT_EQ(a.Bottom, 16);
    EXPECT_THROW(parseFillClearArea("0", "0", "10x", "0"), ConvertError);
}

TEST(FillClear, FillsExactlyTheRectangleAndKeepsHeaders) {
    SmallWorld w;
    FillClearInput in = w.input("0", "10", "20", "7");
    in.ClearStatics = false;
    in.Altitude = "-5";
    const std::string expected = w.expectedMap(10, 0, 20, 7, {0x00A8, int8_t(-5)});
    const FillClearResult r = FillClear(in);
    const std::string after = w.mapBytes();
    EXPECT_EQ(after, expected);  // cells outside and every header unchanged
    EXPECT_EQ(uint8_t(after[mapCellOffset(10, 0) + 2]), 0xFB);
    EXPECT_EQ(r.MapBlocksWritten, 2);
    EXPECT_EQ(r.CellsFilled, 11 * 8);
}

TEST(FillClear, WholeBlocksKeepTheirOwnHeader) {
    // Blocks 0..1 of row 0 wholly covered, block 2 partly: each header stays its own.
    SmallWorld w;
    FillClearInput in = w.input("0", "0", "20", "7");
    in.ClearStatics = false;
    in.Tile = "00a8";
    const std::string expected = w.expectedMap(0, 0, 20, 7, {0x00A8, 0});
    FillClear(in);
    EXPECT_EQ(w.mapBytes(), expected);
}

TEST(FillClear, TileGroupDrawsFromTheGroupAndRepeatsWithTheSeed) {
    SmallWorld w;
    FillClearInput in = w.input("0", "0", "15", "15");
    in.ClearStatics = false;
    in.Tile = "random WATER";
    seedRandom(42);
    FillClear(in);
    const std::string first = w.mapBytes();
    std::set<uint16_t> drawn;
    for (int x = 0; x <= 15; ++x)
        for (int y = 0; y <= 15; ++y) {
            TMapCell cell;
            decodeMapCell(reinterpret_cast<const uint8_t*>(first.data()) + mapCellOffset(x, y), cell);
            EXPECT_GE(cell.TileId, 0xA8);
            EXPECT_LE(cell.TileId, 0xAB);
            drawn.insert(cell.TileId);
        }
    EXPECT_EQ(drawn.size(), 4u);
    TMapCell outside;
    decodeMapCell(reinterpret_cast<const uint8_t*>(first.data()) + mapCellOffset(16, 0), outside);
    EXPECT_EQ(outside, SmallWorld::originalCell(16, 0));

    seedRandom(42);
    FillClear(in);
    EXPECT_EQ(w.mapBytes(), first);
}

TEST(FillClear, StaticsRemovedOnlyInsideAndSurvivorsAppended) {
    SmallWorld w;
    // Rectangle x 0..20, y 0..7: blocks (0,0) and (1,0) wholly covered, (2,0) partly.
    w.putStatics(0, 0, {item(1, 0, 0), item(2, 7, 7)}, 9);
    w.putStatics(1, 0, {item(3, 3, 3)});
    const TStaticRec a = item(10, 7, 0), b = item(11, 4, 0), c = item(12, 5, 7), d = item(13, 3, 3), e = item(14, 6, 1);
    w.putStatics(2, 0, {a, b, c, d, e}, 77);  // b (cell 20,0) and d (19,3) are inside
    w.putStatics(2, 1, {item(20, 0, 0)}, 5);  // untouched block
    const uint64_t sizeBefore = readBytes(w.statics).size();

    FillClearInput in = w.input("0", "0", "20", "7");
    in.FillMap = false;
    in.Tile = "";  // not looked at without the map pass
    const std::string mapBefore = w.mapBytes();
    const FillClearResult r = FillClear(in);

    EXPECT_EQ(w.entry(0, 0), (TStaticIndexRec{-1, -1, 0}));
    EXPECT_EQ(w.entry(1, 0), (TStaticIndexRec{-1, -1, 0}));
    // Each removed record is replaced by the last one: a, e, c survive in that order.
    EXPECT_EQ(w.entry(2, 0), (TStaticIndexRec{int32_t(sizeBefore), 3 * StaticRecSize, 77}));
    EXPECT_EQ(w.records(2, 0), (std::vector<TStaticRec>{a, e, c}));
    EXPECT_EQ(readBytes(w.statics).size(), sizeBefore + 3 * StaticRecSize);
    EXPECT_EQ(w.records(2, 1).size(), 1u);
    EXPECT_EQ(w.entry(3, 0), (TStaticIndexRec{-1, 0, 0}));
    EXPECT_EQ(w.mapBytes(), mapBefore);
    EXPECT_EQ(r.StaticBlocksCleared, 2);
    EXPECT_EQ(r.StaticBlocksTrimmed, 1);
    EXPECT_EQ(r.StaticsRemoved, 2);

    // A second run removes nothing more and appends the survivors once again.
    FillClear(in);
    EXPECT_EQ(w.entry(2, 0), (TStaticIndexRec{int32_t(sizeBefore + 21), 21, 77}));
    EXPECT_EQ(w.records(2, 0), (std::vector<TStaticRec>{a, e, c}));
}

TEST(FillClear, PartlyCoveredEmptyBlockGetsAnEmptyRunAtTheEnd) {
    SmallWorld w;
    w.putStatics(0, 0, {item(1, 0, 0)});
    const int32_t size = int32_t(readBytes(w.statics).size());
    FillClearInput in = w.input("0", "10", "20", "7");
    in.FillMap = false;
    FillClear(in);
    EXPECT_EQ(w.entry(1, 0), (TStaticIndexRec{size, 0, 0}));
    EXPECT_EQ(w.entry(2, 0), (TStaticIndexRec{size, 0, 0}));
    EXPECT_EQ(w.records(0, 0).size(), 1u);
}

TEST(FillClear, CrossedBordersChangeNoCellAndRemoveNothing) {
    SmallWorld w;
    w.putStatics(1, 0, {item(1, 2, 2), item(2, 4, 4)});
    const int32_t size = int32_t(readBytes(w.statics).size());
    const std::string mapBefore = w.mapBytes();
    FillClear(w.input("0", "12", "10", "7"));  // block column 1 counts as partly covered
    EXPECT_EQ(w.mapBytes(), mapBefore);
    EXPECT_EQ(w.entry(1, 0), (TStaticIndexRec{size, 14, 0}));  // appended again, nothing removed
    EXPECT_EQ(w.records(1, 0), (std::vector<TStaticRec>{item(1, 2, 2), item(2, 4, 4)}));
}

// Input that fails before any file is opened, whichever field is wrong.
TEST(FillClear, BadInputOpensNoFile) {
    SmallWorld w;
    w.putStatics(1, 0, {item(1, 2, 2)});
    struct Case {
        void (*set)(FillClearInput&);
        const char* message;
    };
    const Case cases[] = {
        {[](FillClearInput& in) { in.Top = "abc"; }, "'abc' is not a valid integer value"},
        {[](FillClearInput& in) { in.Bottom = ""; }, "'' is not a valid integer value"},
        {[](FillClearInput& in) { in.Altitude = "1.5"; }, "'1.5' is not a valid integer value"},
        {[](FillClearInput& in) { in.Altitude = "128"; }, "The altitude must be -128..127, not 128"},
        {[](FillClearInput& in) { in.Altitude = "-129"; }, "The altitude must be -128..127, not -129"},
        {[](FillClearInput& in) { in.Tile = "Grass"; }, "Input not SpacedHex"},
        {[](FillClearInput& in) { in.Tile = ""; }, "Input not SpacedHex"},
        {[](FillClearInput& in) { in.Tile = "Random water "; }, "Input not SpacedHex"},
    };
    for (const Case& c : cases) {
        FillClearInput in = w.input("0", "10", "20", "7");
        c.set(in);
        test::FaultyFileSystem fs;
        tq::ScopedFileSystem guard(fs);
        try {
            FillClear(in);
            ADD_FAILURE() << "accepted: " << c.message;
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
        EXPECT_EQ(fs.opens, 0) << c.message;
    }
}

// Trouble found in the files is found before the first write: all three stay as they were.
TEST(FillClear, DamagedFilesAreRefusedBeforeAnyWrite) {
    struct Case {
        const char* name;
        void (*damage)(SmallWorld&);
        std::string message;
    };
    const Case cases[] = {
        {"too many statics",
         [](SmallWorld& w) { w.putStatics(2, 0, std::vector<TStaticRec>(2049, item(1, 6, 6))); },
         tooManyStaticsMessage(2049)},
        {"length not a multiple of 7",
         [](SmallWorld& w) { w.setEntry(2, 0, {0, 20, 0}); }, LengthNotMultipleMessage},
        {"run past the end of statics0.mul",
         [](SmallWorld& w) { w.setEntry(2, 0, {0, 70, 0}); }, msg::ReadBeyondEnd},
        {"map too short",
         [](SmallWorld& w) { writeBytes(w.map, readBytes(w.map).substr(0, size_t(mapBlockOffset(2, 0)) + 100)); },
         msg::ReadBeyondEnd},
        {"map missing", [](SmallWorld& w) { std::filesystem::remove(w.map); }, msg::FileNotFound},
    };
    for (const Case& c : cases) {
        SmallWorld w;
        w.putStatics(1, 0, {item(1, 2, 2)});  // wholly covered, would be emptied first
        c.damage(w);
        auto contents = [](const std::string& path) {
            return std::filesystem::exists(path) ? readBytes(path) : std::string("(missing)");
        };
        const std::string index = contents(w.staidx), statics = contents(w.statics), map = contents(w.map);
        try {
            FillClear(w.input("0", "8", "20", "7"));
            ADD_FAILURE() << "accepted: " << c.name;
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), c.message) << c.name;
        }
        EXPECT_EQ(contents(w.staidx), index) << c.name;
        EXPECT_EQ(contents(w.statics), statics) << c.name;
        EXPECT_EQ(contents(w.map), map) << c.name;
    }
}

TEST(FillClear, WriteFailureReachesTheCaller) {
    SmallWorld w;
    FillClearInput in = w.input("0", "10", "20", "7");
    in.ClearStatics = false;
    const std::string before = w.mapBytes();
    test::FaultyFileSystem fs;
    fs.failWriteAt = 1;
    tq::ScopedFileSystem guard(fs);
    try {
        FillClear(in);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), msg::DiskFull);
    }
    EXPECT_EQ(w.mapBytes(), before);
}

TEST(FillClear, NeitherPassIsRefusedBeforeAnyFile) {
    test::FaultyFileSystem fs;
    tq::ScopedFileSystem guard(fs);
    FillClearInput in;
    in.ClearStatics = in.FillMap = false;
    EXPECT_EQ(test::errorOf([&] { FillClear(in); }), NoFillClearPassMessage);
    EXPECT_EQ(fs.opens, 0);
}

// Full-size files, made once for this binary: the window's default borders cover the world.
class WholeWorld : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        std::string index(StaticIndexFileSize, '\0');
        for (int i = 0; i < BlockCount; ++i)
            encodeIndexRec({i * 7, 7, 3}, reinterpret_cast<uint8_t*>(index.data()) + size_t(i) * StaticIndexRecSize);
        writeBytes(dir_->file("staidx0.mul"), index);
        std::string map(MapFileSize, '\x33');
        for (int i = 0; i < BlockCount; ++i) {
            uint8_t* header = reinterpret_cast<uint8_t*>(map.data()) + size_t(i) * MapBlockSize;
            header[0] = uint8_t(i);
            header[1] = uint8_t(i >> 8);
            header[2] = uint8_t(i >> 16);
            header[3] = 0xEE;
        }
        writeBytes(dir_->file("map0.mul"), map);
    }
    static void TearDownTestSuite() {
        delete dir_;
        dir_ = nullptr;
    }

    static FillClearInput input() {
        FillClearInput in;  // borders 0, 0, 6143, 4095
        in.StaIdxPath = dir_->file("staidx0.mul");
        // Wholly covered blocks never touch statics0.mul: it need not even exist.
        in.StaticsPath = dir_->file("missing-statics0.mul");
        in.MapPath = dir_->file("map0.mul");
        return in;
    }

    static void expectWholeWorld(TMapCell lo, TMapCell hi) {
        const std::string index = readBytes(dir_->file("staidx0.mul"));
        ASSERT_EQ(index.size(), StaticIndexFileSize);
        for (int i = 0; i < BlockCount; ++i) {
            TStaticIndexRec rec;
            decodeIndexRec(reinterpret_cast<const uint8_t*>(index.data()) + size_t(i) * StaticIndexRecSize, rec);
            ASSERT_EQ(rec, (TStaticIndexRec{-1, -1, 0})) << "entry " << i;
        }
        const std::string map = readBytes(dir_->file("map0.mul"));
        ASSERT_EQ(map.size(), MapFileSize);
        for (int i = 0; i < BlockCount; ++i) {
            const uint8_t* block = reinterpret_cast<const uint8_t*>(map.data()) + size_t(i) * MapBlockSize;
            ASSERT_EQ(block[0] | block[1] << 8 | block[2] << 16, i) << "header of block " << i;
            ASSERT_EQ(block[3], 0xEE);
            for (int c = 0; c < CellsPerBlock; ++c) {
                TMapCell cell;
                decodeMapCell(block + MapBlockHeaderSize + c * MapCellSize, cell);
                ASSERT_TRUE(cell.TileId >= lo.TileId && cell.TileId <= hi.TileId && cell.Altitude == lo.Altitude)
                    << "block " << i << " cell " << c;
            }
        }
    }

    static TempDir* dir_;
};
TempDir* WholeWorld::dir_ = nullptr;

TEST_F(WholeWorld, DefaultBordersClearAndFillEverything) {
    FillClearInput in = input();
    in.Tile = "Random water";
    in.Altitude = "-5";
    std::vector<int> reports;
    int pumps = 0;
    Progress progress{[&](int p) { reports.push_back(p); }, {}, [&] { ++pumps; }};
    const FillClearResult r = FillClear(in, progress);
    expectWholeWorld({0xA8, -5}, {0xAB, -5});
    EXPECT_EQ(r.StaticBlocksCleared, BlockCount);
    EXPECT_EQ(r.CellsFilled, int64_t(CellsX) * CellsY);
    // x*100 div 767 after each column of each pass: 0 .. 100 twice.
    ASSERT_EQ(reports.size(), 2u * BlocksX);
    EXPECT_EQ(pumps, 2 * BlocksX);
    for (int x = 0; x < BlocksX; ++x) {
        EXPECT_EQ(reports[size_t(x)], x * 100 / 767);
        EXPECT_EQ(reports[size_t(BlocksX + x)], x * 100 / 767);
    }
    EXPECT_EQ(reports.back(), 100);
}

TEST_F(WholeWorld, BordersPastTheEdgeReachItExactly) {
    FillClearInput in = input();
    in.Right = "9999";
    in.Bottom = "9999";
    in.Tile = "01 02";
    in.Altitude = "44";
    FillClear(in);
    expectWholeWorld({0x0102, 44}, {0x0102, 44});
}

} // namespace
} // namespace tq
