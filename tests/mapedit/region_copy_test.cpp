#include "core/error.h"
#include "support/classic_world.h"
#include "core/file_system.h"
#include "core/map_file.h"
#include "core/world.h"
#include "mapedit/region_copy.h"
#include "support/faulty_file_system.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

using test::readBytes;
using test::TempDir;
using test::writeBytes;

// The first block columns of a map: every block its own header, every cell its own bytes
// (seeded, so two maps differ).
std::string makeMap(int columns, int seed) {
    std::string bytes(size_t(columns) * MapColumnBytes, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = char((i * 2654435761u + unsigned(seed) * 97u) >> 13);
    return bytes;
}

TMapCell cellOf(const std::string& map, int x, int y) {
    TMapCell cell;
    decodeMapCell(reinterpret_cast<const uint8_t*>(map.data()) + mapCellOffset(x, y), cell);
    return cell;
}

// The copy as the map editor describes it: cell by cell, source column by column.
void referenceCopy(const std::string& source, const std::string& dest, const MapRegion& g) {
    auto in = openFile(source, OpenMode::ReadWrite);
    auto out = openFile(dest, OpenMode::ReadWrite);
    for (int i = g.SFX; i <= g.STX; ++i)
        for (int j = g.SFY; j <= g.STY; ++j) WriteMapCell(*out, g.DFX + i - g.SFX, g.DFY + j - g.SFY, ReadMapCell(*in, i, j));
}

MapRegionTexts texts(int sfx, int sfy, int stx, int sty, int dfx, int dfy, int dtx, int dty) {
    auto s = [](int v) { return std::to_string(v); };
    return {s(sfx), s(sfy), s(stx), s(sty), s(dfx), s(dfy), s(dtx), s(dty)};
}

class RegionCopy : public ::testing::Test {
protected:
    void SetUp() override {
        src = dir.file("src-map0.mul");
        dst = dir.file("map0.mul");
        writeBytes(src, makeMap(4, 1));
        writeBytes(dst, makeMap(4, 2));
    }
    TempDir dir;
    std::string src, dst;
};

TEST_F(RegionCopy, BlockOntoBlockKeepsTheHeader) {
    const std::string source = readBytes(src);
    std::string expected = readBytes(dst);
    // Block (0,0)'s 192 cell bytes land in block (1,0); its header stays.
    expected.replace(size_t(mapBlockOffset(1, 0)) + MapBlockHeaderSize, MapBlockCellBytes,
                     source.substr(MapBlockHeaderSize, MapBlockCellBytes));
    EXPECT_EQ(CopyMapRegion(src, dst, texts(0, 0, 7, 7, 8, 0, 15, 7)), 64);
    EXPECT_EQ(readBytes(dst), expected);
    EXPECT_EQ(readBytes(src), source);
}

TEST_F(RegionCopy, EqualCornersCopyOneCell) {
    std::string expected = readBytes(dst);
    const std::string source = readBytes(src);
    expected.replace(size_t(mapCellOffset(20, 30)), 3, source.substr(size_t(mapCellOffset(5, 9)), 3));
    EXPECT_EQ(CopyMapRegion(src, dst, texts(5, 9, 5, 9, 20, 30, 20, 30)), 1);
    EXPECT_EQ(readBytes(dst), expected);
}

TEST_F(RegionCopy, ReversedCornersCopyNothing) {
    const std::string before = readBytes(dst);
    test::FaultyFileSystem fs;
    ScopedFileSystem guard(fs);
    EXPECT_EQ(CopyMapRegion(src, dst, texts(9, 9, 0, 0, 19, 19, 10, 10)), 0);
    EXPECT_EQ(readBytes(dst), before);
    EXPECT_EQ(fs.writes, 0);
}

TEST_F(RegionCopy, RefusalsWriteNothing) {
    struct Case {
        MapRegionTexts corners;
        std::string message;
    };
    const std::string outside = "reaches outside the map: columns are 0..6143 and rows 0..4095.";
    const Case cases[] = {
        {texts(0, 0, 9, 9, 0, 0, 9, 8), BoundariesWrongMessage},
        {texts(0, 0, 9, 9, 0, 0, 8, 9), BoundariesWrongMessage},
        {texts(6140, 0, 6144, 0, 0, 0, 4, 0), "The source area (6140, 0)-(6144, 0) " + outside},
        {texts(0, 0, 4, 3, 0, 4093, 4, 4096), "The destination area (0, 4093)-(4, 4096) " + outside},
        {texts(-1, 0, 3, 3, 0, 0, 4, 3), "The source area (-1, 0)-(3, 3) " + outside},
        {{"0", "x", "1", "1", "0", "0", "1", "y"}, "'x' is not a valid integer value"},
        // Within the map but beyond these short files' four block columns.
        {texts(0, 0, 3, 3, 40, 0, 43, 3), msg::ReadBeyondEnd},
        {texts(40, 0, 43, 3, 0, 0, 3, 3), msg::ReadBeyondEnd},
    };
    const std::string before = readBytes(dst);
    for (const Case& c : cases) {
        test::FaultyFileSystem fs;
        ScopedFileSystem guard(fs);
        try {
            CopyMapRegion(src, dst, c.corners);
            ADD_FAILURE() << "accepted: " << c.message;
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
        EXPECT_EQ(fs.writes, 0) << c.message;
        EXPECT_EQ(readBytes(dst), before) << c.message;
    }
}

TEST_F(RegionCopy, OverlapInOneFileReadsCellsAlreadyOverwritten) {
    const std::string before = readBytes(dst);
    CopyMapRegion(dst, dst, texts(0, 0, 1, 0, 1, 0, 2, 0));
    const std::string after = readBytes(dst);
    EXPECT_EQ(cellOf(after, 0, 0), cellOf(before, 0, 0));
    EXPECT_EQ(cellOf(after, 1, 0), cellOf(before, 0, 0));
    EXPECT_EQ(cellOf(after, 2, 0), cellOf(before, 0, 0));
}

// The batched copy gives the very bytes of the cell-by-cell copy, for overlaps in every
// direction within one file, and across block borders between two files.
TEST_F(RegionCopy, MatchesTheCellByCellCopy) {
    struct Case {
        int sx, sy, w, h, dx, dy;
        bool sameFile;
    };
    const Case cases[] = {
        {5, 3, 10, 10, 1, 0, true},  {5, 3, 10, 10, 0, 1, true},   {5, 3, 10, 10, -1, 0, true},
        {5, 3, 10, 10, 0, -1, true}, {5, 3, 10, 10, 3, -2, true},  {5, 3, 10, 10, -2, 3, true},
        {5, 3, 10, 10, 9, 9, true},  {5, 3, 10, 10, -4, -3, true}, {8, 8, 16, 16, 8, 0, true},
        {5, 3, 10, 10, 0, 0, true},  {3, 5, 19, 21, 6, 1, false},  {0, 0, 32, 24, 0, 8, false},
    };
    for (const Case& c : cases) {
        const MapRegion g{c.sx, c.sy, c.sx + c.w - 1, c.sy + c.h - 1, c.sx + c.dx, c.sy + c.dy,
                          c.sx + c.dx + c.w - 1, c.sy + c.dy + c.h - 1};
        const std::string refSrc = dir.file("ref-src"), refDst = dir.file("ref-dst");
        writeBytes(src, makeMap(4, 1));
        writeBytes(dst, makeMap(4, 2));
        writeBytes(refSrc, makeMap(4, 1));
        writeBytes(refDst, makeMap(4, 2));
        referenceCopy(c.sameFile ? refDst : refSrc, refDst, g);
        CopyMapRegion(c.sameFile ? dst : src, dst, g);
        EXPECT_EQ(readBytes(dst), readBytes(refDst)) << c.sx << "," << c.sy << " shift " << c.dx << "," << c.dy;
    }
}

// 512 x 512 cells open each file once, not once per cell.
TEST_F(RegionCopy, OpensEachFileOnce) {
    writeBytes(src, makeMap(65, 1));
    writeBytes(dst, makeMap(65, 2));
    test::FaultyFileSystem fs;
    ScopedFileSystem guard(fs);
    EXPECT_EQ(CopyMapRegion(src, dst, texts(0, 0, 511, 511, 3, 5, 514, 516)), 512 * 512);
    EXPECT_EQ(fs.opens, 2);
}

} // namespace
} // namespace tq
