// The map editor is a writer like the others: while another Terraquill changes the map,
// painting, undo and redo are refused with the holder named, and change nothing.
#include "mapedit/map_edit_fixture.h"
#include "other_terraquill.h"

namespace tq::test {
namespace {

TEST_F(MapEditFormTest, PaintUndoAndRedoWaitForAnotherTerraquillOnTheMap) {
    open(mapPath, client);
    mode(2);
    choose("AltitudeRadioGroup_0");
    edit("ZValueEdit")->setText("5");
    clickCell(3, 2);
    const std::string painted = cellString(0, 5);
    ASSERT_EQ(cellBytes(mapPath, 3, 2), painted);
    {
        OtherTerraquill other(mapPath, "fill");
        ASSERT_TRUE(other.held());
        const QString refused = QString::fromStdString(lockedBy(mapPath, other.pid(), "fill"));
        clickCell(4, 2);
        key(Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(scripted.errors(), (QStringList{refused, refused}));
        EXPECT_EQ(cellBytes(mapPath, 4, 2), cellString(0, 0)) << "painted while another run held the map";
        EXPECT_EQ(cellBytes(mapPath, 3, 2), painted) << "undone while another run held the map";
        EXPECT_TRUE(form->history().canUndo()) << "the refused undo lost its step";
    }  // the other run ends (killed)
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(cellBytes(mapPath, 3, 2), cellString(0, 0));
    {
        OtherTerraquill other(mapPath, "copy region");
        ASSERT_TRUE(other.held());
        key(Qt::Key_Y, Qt::ControlModifier);
        EXPECT_EQ(cellBytes(mapPath, 3, 2), cellString(0, 0)) << "redone while another run held the map";
        EXPECT_TRUE(form->history().canRedo());
    }
    key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(cellBytes(mapPath, 3, 2), painted);
    EXPECT_EQ(scripted.errors().size(), 3);
}

} // namespace
} // namespace tq::test
