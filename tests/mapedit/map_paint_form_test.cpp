// Painting in the map editor window, driven by mouse, keys and wheel, checked in the file.
#include "core/named_tiles.h"
#include "support/classic_world.h"
#include "map_edit_fixture.h"

#include "support/faulty_file_system.h"

#include <QSpinBox>
#include <fstream>
#include <set>

namespace tq::test {
namespace {

class MapPaintTest : public MapEditFormTest {
protected:
    void SetUp() override {
        MapEditFormTest::SetUp();
        open(mapPath, client);
    }
    void altitudeMode(int i) { choose(("AltitudeRadioGroup_" + std::to_string(i)).c_str()); }
    void z(const char* text) { edit("ZValueEdit")->setText(text); }
    void brush(int n) { child<QSpinBox>("BrushSizeMover")->setValue(n); }
    void clickTile(int id) {
        tiles()->setTopRow(id);
        QTest::mouseClick(tiles()->viewport(), Qt::LeftButton, {}, tiles()->cellRect(0, id).center());
    }
    // The first two block columns: every cell these tests paint away from the edge.
    std::string whole() {
        std::ifstream in(mapPath, std::ios::binary);
        std::string bytes(2 * MapColumnBytes, '\0');
        in.read(bytes.data(), std::streamsize(bytes.size()));
        return bytes;
    }
};

TEST_F(MapPaintTest, TileFromTheListSetsTileAndAltitude) {
    putCell(mapPath, 4, 3, 0x0999, 20);
    clickTile(3);
    EXPECT_EQ(child<QComboBox>("SelectDrawingModeComboBox")->currentIndex(), 1);
    clickCell(4, 3);
    EXPECT_EQ(cellBytes(mapPath, 4, 3), cellString(3, 0));
    // The painted cell is redrawn with its new picture.
    EXPECT_EQ(pixelOf(grabMap(), 4, 3, 10, 10), tileColour(3));
}

TEST_F(MapPaintTest, AltitudeModesClampAndRepeat) {
    struct Case { int mode; const char* z; int8_t before; int8_t after; };
    const Case cases[] = {{0, "100", 100, 127}, {1, "100", -100, -128}, {1, "-10", 7, 17}, {2, "-7", 50, -7}};
    mode(2);
    int x = 0;
    for (const Case& c : cases) {
        putCell(mapPath, x, 0, 0x0500, c.before);
        altitudeMode(c.mode);
        z(c.z);
        clickCell(x, 0);
        EXPECT_EQ(cellBytes(mapPath, x, 0), cellString(0x0500, c.after)) << c.mode << " " << c.z;
        ++x;
    }
    // Clicking the same cell three times adds three times.
    putCell(mapPath, 6, 6, 0x0042, 1);
    altitudeMode(0);
    z("5");
    for (int i = 0; i < 3; ++i) clickCell(6, 6);
    EXPECT_EQ(cellBytes(mapPath, 6, 6), cellString(0x0042, 16));
}

TEST_F(MapPaintTest, DontDrawAndRedPathsOnlyMoveTheCurrentCell) {
    const std::string before = whole();
    clickCell(2, 2);
    EXPECT_EQ(grid()->col(), 2);
    mode(2);
    type("UOPathEdit", "/nowhere");
    clickCell(3, 3);
    EXPECT_EQ(grid()->col(), 3);
    EXPECT_TRUE(whole() == before);
}

TEST_F(MapPaintTest, BrushSizesWriteTheirCells) {
    mode(1);  // tile 0 from the list, altitude set to 0: mark the cells first
    for (int x = 0; x < 7; ++x)
        for (int y = 0; y < 7; ++y) putCell(mapPath, x, y, 0x0777, 33);
    clickTile(5);
    brush(3);
    EXPECT_EQ(edit("BrushSizeEdt")->text(), "3");
    clickCell(1, 1);
    std::set<std::pair<int, int>> painted;
    for (int x = 0; x < 7; ++x)
        for (int y = 0; y < 7; ++y)
            if (cellBytes(mapPath, x, y) == cellString(5, 0)) painted.insert({x, y});
    std::set<std::pair<int, int>> expected;
    for (int x = 1; x < 4; ++x)
        for (int y = 1; y < 4; ++y) expected.insert({x, y});
    EXPECT_EQ(painted, expected);

    brush(2);
    clickCell(5, 5);
    EXPECT_EQ(cellBytes(mapPath, 6, 6), cellString(5, 0));
    EXPECT_EQ(cellBytes(mapPath, 6, 4), cellString(0x0777, 33));
    EXPECT_EQ(cellBytes(mapPath, 4, 5), cellString(0x0777, 33));
}

TEST_F(MapPaintTest, GroupModeDrawsEachCellFromTheGroup) {
    mode(3 + 11);  // "Random stars": 0x01FA..0x01FF
    brush(3);
    std::set<int> seen;
    for (int i = 0; i < 8; ++i) {
        clickCell(2, 2);
        for (int x = 2; x < 5; ++x)
            for (int y = 2; y < 5; ++y) {
                const std::string b = cellBytes(mapPath, x, y);
                seen.insert(uint8_t(b[0]) | uint8_t(b[1]) << 8);
            }
    }
    EXPECT_EQ(seen, (std::set<int>{0x1FA, 0x1FB, 0x1FC, 0x1FD, 0x1FE, 0x1FF}));
}

TEST_F(MapPaintTest, BrushAtTheMapEdgePaintsOnlyCellsInsideIt) {
    mode(2);
    altitudeMode(0);
    z("1");
    brush(3);
    edit("XJumpEdit")->setText("6143");
    edit("YJumpEdit")->setText("4095");
    click("CoordGoBtn");
    const std::string before = readBytes(mapPath);
    clickCell(6143, 4095);
    const std::string after = readBytes(mapPath);
    ASSERT_EQ(after.size(), before.size());
    size_t changed = 0;
    for (size_t i = 0; i < after.size(); ++i) changed += after[i] != before[i];
    EXPECT_EQ(changed, 1u);
    EXPECT_EQ(cellBytes(mapPath, 6143, 4095), cellString(0, 1));
    EXPECT_TRUE(scripted.shown.empty());
}

TEST_F(MapPaintTest, DragPaintsEachEnteredCellOnce) {
    mode(2);
    altitudeMode(0);
    z("1");
    mouse(QEvent::MouseButtonPress, centreOf(1, 1), Qt::LeftButton);
    mouse(QEvent::MouseMove, centreOf(1, 1) + QPoint(5, 5), Qt::LeftButton);  // same cell
    mouse(QEvent::MouseMove, centreOf(2, 1), Qt::LeftButton);
    mouse(QEvent::MouseMove, centreOf(3, 1), Qt::LeftButton);
    mouse(QEvent::MouseMove, centreOf(2, 1), Qt::LeftButton);  // back again
    mouse(QEvent::MouseButtonRelease, centreOf(2, 1), Qt::NoButton);
    mouse(QEvent::MouseMove, centreOf(4, 1), Qt::NoButton);  // button up: nothing
    EXPECT_EQ(cellBytes(mapPath, 1, 1), cellString(0, 1));
    EXPECT_EQ(cellBytes(mapPath, 2, 1), cellString(0, 2));
    EXPECT_EQ(cellBytes(mapPath, 3, 1), cellString(0, 1));
    EXPECT_EQ(cellBytes(mapPath, 4, 1), cellString(0, 0));
}

TEST_F(MapPaintTest, DragBeyondTheEdgeAutoScrolls) {
    mode(2);
    altitudeMode(0);
    z("1");
    const int lastVisible = grid()->visibleColCount() - 1;
    mouse(QEvent::MouseButtonPress, centreOf(lastVisible, 0), Qt::LeftButton);
    mouse(QEvent::MouseMove, QPoint(grid()->viewport()->width() + 20, centreOf(0, 0).y()), Qt::LeftButton);
    // The grid steps one cell every 60 ms; a busy machine may take longer than 200 ms for 3 steps.
    for (int waited = 0; waited < 5000 && (grid()->col() < lastVisible + 2 || grid()->leftCol() < 2); waited += 20)
        QTest::qWait(20);
    mouse(QEvent::MouseButtonRelease, QPoint(grid()->viewport()->width() + 20, 10), Qt::NoButton);
    EXPECT_GE(grid()->col(), lastVisible + 2);
    EXPECT_GE(grid()->leftCol(), 2);
    for (int c = lastVisible; c <= grid()->col(); ++c) EXPECT_EQ(cellBytes(mapPath, c, 0), cellString(0, 1)) << c;
}

TEST_F(MapPaintTest, ArrowKeysPaintNothingAndTheNextClickPaints) {
    mode(2);
    altitudeMode(0);
    z("1");
    clickCell(5, 5);
    key(Qt::Key_Right);
    key(Qt::Key_Down);
    EXPECT_EQ(grid()->col(), 6);
    EXPECT_EQ(grid()->row(), 6);
    EXPECT_EQ(cellBytes(mapPath, 6, 5), cellString(0, 0));
    EXPECT_EQ(cellBytes(mapPath, 6, 6), cellString(0, 0));
    clickCell(7, 7);
    EXPECT_EQ(cellBytes(mapPath, 7, 7), cellString(0, 1));
    // Page keys and the wheel select like a click.
    wheel(1);
    EXPECT_EQ(cellBytes(mapPath, 7, 8), cellString(0, 1));
    key(Qt::Key_Home);
    EXPECT_EQ(cellBytes(mapPath, 0, 8), cellString(0, 1));
}

TEST_F(MapPaintTest, UndoAndRedoRestoreExactBytes) {
    for (int x = 0; x < 6; ++x) putCell(mapPath, x, 2, uint16_t(0x0300 + x), int8_t(x));
    const std::string original = whole();
    mode(1);
    clickTile(9);
    altitudeMode(0);
    z("3");
    // One stroke over three cells, then a brush application from the wheel.
    mouse(QEvent::MouseButtonPress, centreOf(0, 2), Qt::LeftButton);
    mouse(QEvent::MouseMove, centreOf(1, 2), Qt::LeftButton);
    mouse(QEvent::MouseMove, centreOf(2, 2), Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, centreOf(2, 2), Qt::NoButton);
    const std::string afterStroke = whole();
    wheel(1);  // selects (2, 3)
    const std::string afterWheel = whole();
    EXPECT_FALSE(afterWheel == afterStroke);

    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(whole() == afterStroke);
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(whole() == original);
    EXPECT_EQ(pixelOf(grabMap(), 1, 2, 10, 10), tileColour(0x0301));
    key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_TRUE(whole() == afterStroke);
    key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(whole() == afterWheel);

    // Changing the map path forgets the history.
    key(Qt::Key_Z, Qt::ControlModifier);
    type("MapEdit", "/elsewhere/map0.mul");
    type("MapEdit", QString::fromStdString(mapPath));
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(whole() == afterStroke);
    EXPECT_FALSE(form->history().canUndo());
}

TEST_F(MapEditFormTest, AWriteErrorEndsTheStrokeWithOneMessage) {
    FaultyFileSystem faulty;
    ScopedFileSystem guard(faulty);
    open(mapPath, client);
    mode(2);
    choose("AltitudeRadioGroup_0");
    edit("ZValueEdit")->setText("1");
    child<QSpinBox>("BrushSizeMover")->setValue(2);
    faulty.failWriteAt = faulty.writes + 2;  // the brush's second cell
    mouse(QEvent::MouseButtonPress, centreOf(1, 1), Qt::LeftButton);
    mouse(QEvent::MouseMove, centreOf(3, 1), Qt::LeftButton);  // the stroke ended with the error
    mouse(QEvent::MouseButtonRelease, centreOf(3, 1), Qt::NoButton);
    EXPECT_EQ(scripted.errors(), QStringList{"Disk full"});
    EXPECT_EQ(grid()->col(), 1);
    // The first cell stays written, the rest of the brush is not painted, and undo
    // takes the written cell back.
    EXPECT_EQ(cellBytes(mapPath, 1, 1), cellString(0, 1));
    EXPECT_EQ(cellBytes(mapPath, 2, 1), cellString(0, 0));
    EXPECT_EQ(cellBytes(mapPath, 2, 2), cellString(0, 0));
    faulty.failWriteAt = 0;
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(cellBytes(mapPath, 1, 1), cellString(0, 0));
    EXPECT_EQ(scripted.errors().size(), 1);
}

} // namespace
} // namespace tq::test
