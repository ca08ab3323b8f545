#include "core/file_system.h"
#include "support/classic_world.h"
#include "core/named_tiles.h"
#include "core/random.h"
#include "mapedit/map_edit_status.h"
#include "mapedit/map_painting.h"
#include "map_fixture.h"

#include <gtest/gtest.h>
#include <set>

namespace tq {
namespace {

TEST(MapPainting, BrushCellsInPaintingOrder) {
    using V = std::vector<CellPos>;
    EXPECT_EQ(brushCells(10, 20, 1), (V{{10, 20}}));
    EXPECT_EQ(brushCells(10, 20, 2), (V{{10, 20}, {11, 20}, {11, 21}, {10, 21}}));
    EXPECT_EQ(brushCells(10, 20, 3),
              (V{{10, 20}, {10, 22}, {11, 20}, {12, 20}, {10, 21}, {11, 21}, {12, 21}, {11, 22}, {12, 22}}));
}

TEST(MapPainting, BrushIsClippedAtTheMapEdge) {
    using V = std::vector<CellPos>;
    EXPECT_EQ(brushCells(6143, 4095, 3), (V{{6143, 4095}}));
    EXPECT_EQ(brushCells(6142, 100, 3), (V{{6142, 100}, {6142, 102}, {6143, 100}, {6142, 101}, {6143, 101},
                                           {6143, 102}}));
    EXPECT_EQ(brushCells(100, 4095, 2), (V{{100, 4095}, {101, 4095}}));
}

TEST(MapPainting, AltitudeModesAndClamps) {
    struct Case { AltitudeMode mode; int z; int8_t before; int8_t after; };
    const Case cases[] = {
        {AltitudeMode::Set, 0, 20, 0},          {AltitudeMode::Add, 100, 100, 127},
        {AltitudeMode::Subtract, 100, -100, -128}, {AltitudeMode::Subtract, -10, 5, 15},
        {AltitudeMode::Add, 5, -3, 2},          {AltitudeMode::Set, -128, 50, -128},
    };
    for (const Case& c : cases) {
        PaintSettings s;
        s.drawingMode = drawmode::AltitudeOnly;
        s.altitudeMode = c.mode;
        s.z = c.z;
        const TMapCell out = paintedCell(TMapCell{0x1234, c.before}, s);
        EXPECT_EQ(out.Altitude, c.after) << int(c.before) << " z " << c.z;
        EXPECT_EQ(out.TileId, 0x1234);  // altitude only keeps the tile
    }
}

TEST(MapPainting, TileByModeAndGroupsDrawFromTheirRange) {
    PaintSettings s;
    s.drawingMode = drawmode::SelectedTile;
    s.selectedTile = 3;
    EXPECT_EQ(paintedCell(TMapCell{900, 20}, s), (TMapCell{3, 0}));

    s.drawingMode = drawmode::FirstGroup + 11;  // "Random stars", six ids
    seedRandom(7);
    std::set<int> seen;
    for (int i = 0; i < 300; ++i) seen.insert(paintedCell(TMapCell{}, s).TileId);
    EXPECT_EQ(seen, (std::set<int>{0x1FA, 0x1FB, 0x1FC, 0x1FD, 0x1FE, 0x1FF}));
}

TEST(MapPainting, PaintMapCellWritesOnlyItsThreeBytes) {
    test::TempDir dir;
    const auto map = test::makeSparseMap(dir, "map0.mul", 2 * MapColumnBytes);
    test::putCell(map, 13, 10, 0x0102, 20);
    const std::string before = test::readBytes(map);
    PaintSettings s;
    s.drawingMode = drawmode::SelectedTile;
    s.selectedTile = 0x0EED;
    s.altitudeMode = AltitudeMode::Add;
    s.z = -25;
    auto file = openFile(map, OpenMode::ReadWrite);
    const TMapCell old = PaintMapCell(*file, 13, 10, s);
    file->close();
    EXPECT_EQ(old, (TMapCell{0x0102, 20}));
    std::string expected = before;
    expected.replace(100615, 3, test::cellString(0x0EED, -5));
    EXPECT_TRUE(test::readBytes(map) == expected);
}

TEST(MapPainting, ZValueText) {
    struct Case { const char* text; bool ok; int z; };
    const Case cases[] = {{"0", true, 0}, {"-", false, 0}, {"", false, 0}, {"abc", false, 0},
                          {"200", true, 127}, {"-129", true, -128}, {"-5", true, -5}};
    for (const Case& c : cases) {
        int z = 99;
        EXPECT_EQ(parseZValue(c.text, z), c.ok) << c.text;
        if (c.ok) { EXPECT_EQ(z, c.z) << c.text; }
    }
}

TEST(MapEditStatus, PanelTexts) {
    EXPECT_EQ(mapPositionStatus(100, 200, TMapCell{0x01A3, -5}), "X=100 - Y=200 - Altitude=-5 - Tile=A3 01");
    EXPECT_EQ(mapPositionStatus(0, 4095, std::nullopt), "X=0 - Y=4095 - Wrong filename");
    struct Case { AltitudeMode mode; int z; int drawing; int row; const char* text; };
    const Case cases[] = {
        {AltitudeMode::Set, 0, drawmode::DontDraw, 0, "Selected mode: Set altitude to 0 - Drawing disabled"},
        {AltitudeMode::Add, 5, drawmode::AltitudeOnly, 0, "Selected mode: Add 5 to current altitude - Drawing altitude only"},
        {AltitudeMode::Subtract, -10, drawmode::SelectedTile, 0x01A3,
         "Selected mode: Subtract -10 from current altitude - Selected tile=A3 01"},
        {AltitudeMode::Set, 7, drawmode::FirstGroup + 6, 0, "Selected mode: Set altitude to 7 - Selected group: \"Random grass\""},
    };
    for (const Case& c : cases) EXPECT_EQ(paintModeStatus(c.mode, c.z, c.drawing, c.row), c.text);
}

} // namespace
} // namespace tq
