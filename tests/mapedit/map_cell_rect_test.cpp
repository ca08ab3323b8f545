#include "core/error.h"
#include "support/classic_world.h"
#include "core/file_system.h"
#include "mapedit/map_cell_rect.h"
#include "map_fixture.h"
#include "support/faulty_file_system.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

using test::cellString;
using test::putCell;

TEST(MapCellRect, ReadsEveryCellOfARectangleAcrossBlocks) {
    test::TempDir dir;
    const auto map = test::makeSparseMap(dir);
    // Distinct values in a rectangle spanning three block columns and two block rows.
    const CellRect rect{6, 5, 17, 9};
    for (int x = rect.x0; x <= rect.x1; ++x)
        for (int y = rect.y0; y <= rect.y1; ++y) putCell(map, x, y, uint16_t(x * 100 + y), int8_t(x - y));
    putCell(map, 5, 5, 0xFFFF, 1);  // just outside, must not appear

    test::FaultyFileSystem counting;
    ScopedFileSystem guard(counting);
    auto file = openFile(map, OpenMode::Read);
    std::vector<TMapCell> cells;
    ReadMapCellRect(*file, rect, cells);
    ASSERT_EQ(cells.size(), size_t(12 * 5));
    for (int x = rect.x0; x <= rect.x1; ++x)
        for (int y = rect.y0; y <= rect.y1; ++y) {
            const TMapCell& c = cells[size_t((y - rect.y0) * 12 + (x - rect.x0))];
            EXPECT_EQ(c.TileId, x * 100 + y);
            EXPECT_EQ(c.Altitude, x - y);
        }
    // One read per block column (0, 1, 2), not one per cell.
    EXPECT_EQ(counting.reads, 3);
}

TEST(MapCellRect, BytesRoundTripAndHeadersStay) {
    test::TempDir dir;
    const auto map = test::makeSparseMap(dir);
    {
        std::fstream f(map, std::ios::binary | std::ios::in | std::ios::out);
        f.seekp(std::streamoff(mapBlockOffset(1, 1)));
        f.write("HDR!", 4);
    }
    const CellRect rect{7, 7, 8, 8};  // corner cells of four blocks
    auto file = openFile(map, OpenMode::ReadWrite);
    std::vector<uint8_t> bytes = {1, 0, 10, 2, 0, 20, 3, 0, 30, 4, 0, 40};
    WriteMapCellBytes(*file, rect, bytes);
    file->close();
    EXPECT_EQ(test::cellBytes(map, 7, 7), cellString(1, 10));
    EXPECT_EQ(test::cellBytes(map, 8, 7), cellString(2, 20));
    EXPECT_EQ(test::cellBytes(map, 7, 8), cellString(3, 30));
    EXPECT_EQ(test::cellBytes(map, 8, 8), cellString(4, 40));
    EXPECT_EQ(test::readBytes(map).substr(mapBlockOffset(1, 1), 4), "HDR!");
    EXPECT_EQ(test::cellBytes(map, 9, 8), cellString(0, 0));

    file = openFile(map, OpenMode::Read);
    std::vector<uint8_t> back;
    ReadMapCellBytes(*file, rect, back);
    EXPECT_EQ(back, bytes);
}

TEST(MapCellRect, RefusesOutsideTheMapAndShortFiles) {
    test::TempDir dir;
    const auto map = test::makeSparseMap(dir, "map0.mul", MapColumnBytes);  // one block column only
    auto file = openFile(map, OpenMode::Read);
    std::vector<TMapCell> cells;
    EXPECT_THROW(ReadMapCellRect(*file, CellRect{6140, 0, 6144, 3}, cells), Error);
    EXPECT_THROW(ReadMapCellRect(*file, CellRect{-1, 0, 2, 3}, cells), Error);
    try {
        ReadMapCellRect(*file, CellRect{0, 0, 8, 0}, cells);
        FAIL() << "read past the end";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "Read beyond end of file");
    }
}

} // namespace
} // namespace tq
