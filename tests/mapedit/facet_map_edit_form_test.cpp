// The map editor on the maps of today's clients: the grid, its scroll range, the jump and
// the status bar follow the open map's world, and the far corner is painted and undone.
#include "map_edit_fixture.h"

#include "core/map_file.h"
#include "mapedit/map_edit_status.h"
#include "ui/path_field.h"
#include "support/facet_worlds.h"

#include <QScrollBar>

namespace tq::test {
namespace {

class FacetMapEditFormTest : public MapEditFormTest, public ::testing::WithParamInterface<FacetWorldCase> {
protected:
    WorldGeometry w = GetParam().world;
    std::string folder = dir.file("world");
    std::string map = facetFile(folder, "map", w);

    void SetUp() override {
        MapEditFormTest::SetUp();
        makeFacetWorld(folder, w, 10);
    }
    std::string cellOf(int x, int y) const {
        const std::string bytes = readBytes(map);
        return bytes.substr(size_t(w.mapCellOffset(x, y)), 3);
    }
};

TEST_P(FacetMapEditFormTest, GridJumpPaintAndUndoReachTheFarCorner) {
    open(map, client);
    ASSERT_EQ(fieldColour(edit("MapEdit")), FieldColour::Green);
    EXPECT_EQ(form->world(), w);
    EXPECT_EQ(form->worldText(), QString::fromStdString(w.describe()));
    EXPECT_EQ(grid()->colCount(), w.cellsWide());
    EXPECT_EQ(grid()->rowCount(), w.cellsHigh());
    EXPECT_EQ(grid()->horizontalScrollBar()->maximum(), w.cellsWide() - grid()->visibleColCount());
    EXPECT_EQ(grid()->verticalScrollBar()->maximum(), w.cellsHigh() - grid()->visibleRowCount());

    // A jump beyond the world lands on its last cell, in view.
    type("XJumpEdit", QString::number(w.cellsWide() + 500));
    type("YJumpEdit", QString::number(w.cellsHigh() + 500));
    click("CoordGoBtn");
    const int lastX = w.cellsWide() - 1, lastY = w.cellsHigh() - 1;
    EXPECT_EQ(grid()->col(), lastX);
    EXPECT_EQ(grid()->row(), lastY);
    EXPECT_EQ(grid()->leftCol(), grid()->horizontalScrollBar()->maximum());
    EXPECT_EQ(grid()->topRow(), grid()->verticalScrollBar()->maximum());
    EXPECT_TRUE(grid()->viewport()->rect().contains(centreOf(lastX, lastY)));

    hover(lastX, lastY);
    TMapCell before;
    decodeMapCell(reinterpret_cast<const uint8_t*>(cellOf(lastX, lastY).data()), before);
    EXPECT_EQ(form->statusText(0),
              QString::fromStdString(mapPositionStatus(lastX, lastY, before)));

    const std::string old = cellOf(lastX, lastY);
    form->TextureDrawGridClick(0x0123);
    clickCell(lastX, lastY);
    EXPECT_EQ(cellOf(lastX, lastY), cellString(0x0123, 0));
    EXPECT_EQ(pixelOf(grabMap(), lastX, lastY, 10, 10), tileColour(0x0123));
    form->Undo();
    EXPECT_EQ(cellOf(lastX, lastY), old);
    EXPECT_TRUE(scripted.errors().isEmpty()) << scripted.errors().join("; ").toStdString();

    // Back to a map of the old clients' world: the grid shrinks again.
    type("MapEdit", QString::fromStdString(mapPath));
    EXPECT_EQ(grid()->colCount(), WorldGeometry().cellsWide());
    EXPECT_EQ(grid()->rowCount(), WorldGeometry().cellsHigh());
    EXPECT_LE(grid()->col(), WorldGeometry().cellsWide() - 1);
}

INSTANTIATE_TEST_SUITE_P(Worlds, FacetMapEditFormTest, ::testing::ValuesIn(FacetWorldCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(MapEditFormTest, TheCopyToolsMapsMustBeOfTheOpenMapsFacet) {
    const auto map2 = makeSparseMap(dir, "map2.mul", WorldGeometry(2, 288, 200).mapBytes());
    open(map2, client);
    EXPECT_EQ(fieldColour(edit("MapEdit")), FieldColour::Green);
    EXPECT_EQ(form->worldText(), "facet 2, 2304 \u00d7 1600");
    type("MapEditSource", QString::fromStdString(mapPath));
    EXPECT_EQ(fieldColour(edit("MapEditSource")), FieldColour::Red);
    EXPECT_EQ(edit("MapEditSource")->toolTip(), "map0.mul is of facet 0, the other files of facet 2");
    type("MapEditSource", QString::fromStdString(map2));
    EXPECT_EQ(fieldColour(edit("MapEditSource")), FieldColour::Green);
}

} // namespace
} // namespace tq::test
