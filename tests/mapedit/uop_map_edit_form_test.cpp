// The map editor on a map{N}LegacyMUL.uop: painted cells go into the container's entries,
// whose checksums stay right, and undo puts the old cells back.
#include "map_edit_fixture.h"

#include "core/map_file.h"
#include "tools/synthetic_world.h"
#include "ui/path_field.h"
#include "uop/uop_fixture.h"

namespace tq::test {
namespace {

TEST_F(MapEditFormTest, PaintsAndUndoesInAUopMap) {
    const WorldGeometry w(2, 288, 200);
    const std::string folder = dir.file("world");
    std::filesystem::create_directories(folder);
    makeSyntheticWorld(folder, 10, 7, {}, w, true);
    const std::string map = folder + "/map2LegacyMUL.uop";
    const auto length = std::filesystem::file_size(map);
    const auto cell = [&](int x, int y) {
        auto file = openMapFile(map, OpenMode::Read);
        return ReadMapCell(*file, w, x, y);
    };

    open(map, folder, false);  // the pictures as the client folder has them: land art in a container
    ASSERT_EQ(fieldColour(edit("MapEdit")), FieldColour::Green);
    EXPECT_EQ(fieldColour(edit("UOPathEdit")), FieldColour::Green);
    EXPECT_EQ(form->world(), w);
    // The last cell, and one in the first block of the map's second entry (block 4096).
    const int lastX = w.cellsWide() - 1, lastY = w.cellsHigh() - 1;
    const int bx = 4096 / w.blocksHigh, by = 4096 % w.blocksHigh;
    const TMapCell oldLast = cell(lastX, lastY), oldSecond = cell(bx * 8, by * 8);
    form->TextureDrawGridClick(0x0123);
    for (auto [x, y] : {std::pair{lastX, lastY}, std::pair{bx * 8, by * 8}}) {
        type("XJumpEdit", QString::number(x));
        type("YJumpEdit", QString::number(y));
        click("CoordGoBtn");
        clickCell(x, y);
    }
    EXPECT_EQ(cell(lastX, lastY).TileId, 0x0123);
    EXPECT_EQ(cell(bx * 8, by * 8).TileId, 0x0123);
    EXPECT_EQ(staleChecksums(map), "");
    form->Undo();
    form->Undo();
    EXPECT_EQ(cell(lastX, lastY), oldLast);
    EXPECT_EQ(cell(bx * 8, by * 8), oldSecond);
    EXPECT_EQ(staleChecksums(map), "");
    EXPECT_EQ(std::filesystem::file_size(map), length);
    EXPECT_TRUE(scripted.errors().isEmpty()) << scripted.errors().join("; ").toStdString();
}

} // namespace
} // namespace tq::test
