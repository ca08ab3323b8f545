#include "core/error.h"
#include "support/classic_world.h"
#include "core/file_system.h"
#include "mapedit/map_edit_history.h"
#include "mapedit/map_painting.h"
#include "map_fixture.h"
#include "support/faulty_file_system.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

// Paints cells through the history as the window does: read, write, remember.
void paint(File& map, MapEditHistory& h, int x, int y, const PaintSettings& s) {
    h.recordCell(x, y, PaintMapCell(map, x, y, s));
}

TEST(MapEditHistory, UndoAndRedoRestoreExactBytes) {
    test::TempDir dir;
    const auto path = test::makeSparseMap(dir, "map0.mul", 2 * MapColumnBytes);
    for (int x = 0; x < 6; ++x) test::putCell(path, x, 3, uint16_t(0x100 + x), int8_t(x * 10));
    const std::string original = test::readBytes(path);

    auto map = openFile(path, OpenMode::ReadWrite);
    MapEditHistory h;
    PaintSettings s;
    s.drawingMode = drawmode::SelectedTile;
    s.selectedTile = 0x0EED;
    s.altitudeMode = AltitudeMode::Add;
    s.z = 7;

    // Stroke 1 paints a cell twice (leaving it and coming back); stroke 2 one cell.
    h.beginStep();
    for (int x : {0, 1, 2, 1}) paint(*map, h, x, 3, s);
    h.endStep();
    const std::string afterStroke1 = test::readBytes(path);
    h.beginStep();
    paint(*map, h, 5, 3, s);
    h.endStep();
    const std::string afterStroke2 = test::readBytes(path);
    EXPECT_EQ(test::cellBytes(path, 1, 3), test::cellString(0x0EED, 24));

    h.undo(*map);
    EXPECT_TRUE(test::readBytes(path) == afterStroke1);
    h.undo(*map);
    EXPECT_TRUE(test::readBytes(path) == original);
    EXPECT_FALSE(h.canUndo());
    h.redo(*map);
    EXPECT_TRUE(test::readBytes(path) == afterStroke1);
    h.redo(*map);
    EXPECT_TRUE(test::readBytes(path) == afterStroke2);
    EXPECT_FALSE(h.canRedo());

    // A new step after an undo drops what could have been redone.
    h.undo(*map);
    h.beginStep();
    paint(*map, h, 4, 3, s);
    h.endStep();
    EXPECT_FALSE(h.canRedo());
    h.endStep();  // an empty or closed step adds nothing
    h.beginStep();
    h.endStep();
    h.undo(*map);
    EXPECT_TRUE(test::readBytes(path) == afterStroke1);
}

TEST(MapEditHistory, RegionStepsSwapTheRectangleInTheirOwnFile) {
    test::TempDir dir;
    const auto own = test::makeSparseMap(dir, "map0.mul", 2 * MapColumnBytes);
    std::filesystem::create_directory(dir.path() / "other");
    const auto dest = test::makeSparseMap(dir, "other/map0.mul", 2 * MapColumnBytes);
    test::putCell(dest, 9, 9, 0x0042, -3);
    const std::string destBefore = test::readBytes(dest);

    const CellRect rect{8, 8, 10, 10};
    std::vector<uint8_t> before;
    {
        auto f = openFile(dest, OpenMode::Read);
        ReadMapCellBytes(*f, rect, before);
    }
    for (int x = 8; x <= 10; ++x)
        for (int y = 8; y <= 10; ++y) test::putCell(dest, x, y, 0x0777, 5);  // "the copy"
    const std::string destAfter = test::readBytes(dest);

    MapEditHistory h;
    h.recordRegion(dest, rect, before);
    auto map = openFile(own, OpenMode::ReadWrite);
    h.undo(*map);
    EXPECT_TRUE(test::readBytes(dest) == destBefore);
    h.redo(*map);
    EXPECT_TRUE(test::readBytes(dest) == destAfter);
    h.clear();
    EXPECT_FALSE(h.canUndo());
    EXPECT_FALSE(h.canRedo());
}

TEST(MapEditHistory, AFailedUndoKeepsTheStep) {
    test::TempDir dir;
    const auto path = test::makeSparseMap(dir, "map0.mul", 2 * MapColumnBytes);
    auto map = openFile(path, OpenMode::ReadWrite);
    MapEditHistory h;
    PaintSettings s;
    s.drawingMode = drawmode::SelectedTile;
    s.selectedTile = 9;
    h.beginStep();
    paint(*map, h, 1, 1, s);
    paint(*map, h, 2, 1, s);
    h.endStep();

    test::FaultyFileSystem faulty;
    faulty.failWriteAt = 1;
    ScopedFileSystem guard(faulty);
    auto failing = openFile(path, OpenMode::ReadWrite);
    EXPECT_THROW(h.undo(*failing), Error);
    EXPECT_TRUE(h.canUndo());
    EXPECT_EQ(test::cellBytes(path, 1, 1), test::cellString(9, 0));
    faulty.reset();
    h.undo(*failing);
    EXPECT_EQ(test::cellBytes(path, 1, 1), test::cellString(0, 0));
    EXPECT_EQ(test::cellBytes(path, 2, 1), test::cellString(0, 0));
}

} // namespace
} // namespace tq
