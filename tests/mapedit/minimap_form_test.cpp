// The map editor's minimap: the overview of the open map in a dock, its frame on the
// grid's view, a click or drag that moves the view, and the pixels of painted cells.
#include "map_edit_fixture.h"

#include "core/file_system.h"
#include "mapedit/minimap_view.h"
#include "mapedit/overview.h"
#include "support/facet_worlds.h"

#include <QScrollBar>

namespace tq::test {
namespace {

class MinimapFormTest : public MapEditFormTest {
protected:
    const WorldGeometry w{4, 181, 181};  // 1448 x 1448 cells: a scale of 3 fits 512 pixels
    std::string folder = dir.file("world");
    std::string map = facetFile(folder, "map", w);

    void SetUp() override {
        MapEditFormTest::SetUp();
        makeFacetWorld(folder, w, 10);
    }
    MinimapView* minimap() { return child<MinimapView>("Minimap"); }
    void mouseOnMinimap(QEvent::Type type, QPoint pos, Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(pos), minimap()->mapToGlobal(QPointF(pos)),
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(minimap(), &e);
    }
    // The view the grid should show when centred on `cell`.
    QPoint expectedTopLeft(QPoint cell) {
        return {std::clamp(cell.x() - grid()->visibleColCount() / 2, 0, grid()->horizontalScrollBar()->maximum()),
                std::clamp(cell.y() - grid()->visibleRowCount() / 2, 0, grid()->verticalScrollBar()->maximum())};
    }
    OverviewPicture rendered(const CellRect& area) {
        auto file = openFile(map, OpenMode::Read);
        return renderOverview(*file, w, RadarColours::load(folder + "/radarcol.mul"), area, {3});
    }
};

TEST_F(MinimapFormTest, ShowsTheWholeMapAndAClickOrDragMovesTheView) {
    open(map, client);
    ASSERT_TRUE(minimap()->hasPicture()) << minimap()->message().toStdString();
    EXPECT_TRUE(child<QWidget>("MinimapDock")->isVisible());
    // The renderer's picture of the whole map, pixel by pixel.
    EXPECT_EQ(minimap()->scale(), 3);
    const OverviewPicture expected = rendered({0, 0, 1447, 1447});
    const QImage& shown = minimap()->picture();
    ASSERT_EQ(shown.size(), QSize(expected.width, expected.height));
    int wrong = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const Rgb8 e = expected.pixel(x, y);
            if (shown.pixel(x, y) != qRgb(e.r, e.g, e.b)) ++wrong;
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(minimap()->viewCells(),
              QRect(0, 0, grid()->visibleColCount(), grid()->visibleRowCount()));

    // A click centres the grid's view on the cell under the pointer; nothing is painted.
    const std::string before = readBytes(map);
    const int col = grid()->col(), row = grid()->row();
    const QPoint target = minimap()->pointOfCell(1000, 700);
    const QPoint cell = minimap()->cellAt(target);
    EXPECT_LE(std::abs(cell.x() - 1000), 1448 / minimap()->width() + 1);
    QTest::mouseClick(minimap(), Qt::LeftButton, {}, target);
    EXPECT_EQ(QPoint(grid()->leftCol(), grid()->topRow()), expectedTopLeft(cell));
    EXPECT_NE(grid()->leftCol(), 0);
    EXPECT_EQ(minimap()->viewCells().topLeft(), QPoint(grid()->leftCol(), grid()->topRow()));
    EXPECT_EQ(grid()->col(), col);
    EXPECT_EQ(grid()->row(), row);

    // A drag follows the pointer; at the far corner the view stops at the map's end.
    mouseOnMinimap(QEvent::MouseButtonPress, minimap()->pointOfCell(200, 200), Qt::LeftButton);
    // Dragged out past the widget's corner: the last cell.
    const QPoint far(minimap()->width() + 40, minimap()->height() + 40);
    mouseOnMinimap(QEvent::MouseMove, far, Qt::LeftButton);
    mouseOnMinimap(QEvent::MouseButtonRelease, far, Qt::NoButton);
    EXPECT_EQ(grid()->leftCol(), grid()->horizontalScrollBar()->maximum());
    EXPECT_EQ(grid()->topRow(), grid()->verticalScrollBar()->maximum());
    EXPECT_EQ(minimap()->viewCells().topLeft(), QPoint(grid()->leftCol(), grid()->topRow()));
    // A move without the button is no drag.
    mouseOnMinimap(QEvent::MouseMove, minimap()->pointOfCell(0, 0), Qt::NoButton);
    EXPECT_EQ(grid()->leftCol(), grid()->horizontalScrollBar()->maximum());
    EXPECT_TRUE(readBytes(map) == before);

    // The frame follows the grid when it scrolls by itself.
    grid()->setLeftCol(40);
    EXPECT_EQ(minimap()->viewCells().x(), 40);
}

TEST_F(MinimapFormTest, PaintedCellsRedrawTheirPixelAndUndoPutsItBack) {
    open(map, client);
    ASSERT_TRUE(minimap()->hasPicture());
    const QRgb old = minimap()->picture().pixel(1, 1);
    // Cells 3..5 x 3..5 are pixel (1, 1): all painted with one tile, the pixel is its colour.
    const uint16_t tile = 0x0123;
    form->TextureDrawGridClick(tile);
    for (int x = 3; x <= 5; ++x)
        for (int y = 3; y <= 5; ++y) clickCell(x, y);
    const Rgb8 colour = rgbOf555(RadarColours::load(folder + "/radarcol.mul").land(tile));
    EXPECT_EQ(minimap()->picture().pixel(1, 1), qRgb(colour.r, colour.g, colour.b));
    EXPECT_NE(minimap()->picture().pixel(1, 1), old);
    const Rgb8 fresh = rendered({0, 0, 8, 8}).pixel(1, 1);
    EXPECT_EQ(minimap()->picture().pixel(1, 1), qRgb(fresh.r, fresh.g, fresh.b));

    for (int i = 0; i < 9; ++i) form->Undo();
    EXPECT_EQ(minimap()->picture().pixel(1, 1), old);
}

TEST_F(MinimapFormTest, WithoutRadarColoursItSaysSoAndFindsThemInTheClientFolder) {
    const std::string colours = readBytes(folder + "/radarcol.mul");
    fileSystem().remove(folder + "/radarcol.mul");
    open(map, client);
    EXPECT_FALSE(minimap()->hasPicture());
    EXPECT_EQ(minimap()->message(),
              "No radarcol.mul beside the map or in the client folder: the overview needs its colours");
    // The grid works as ever.
    EXPECT_EQ(form->world(), w);

    writeBytes(client + "/RadarCol.mul", colours);  // a Windows folder's case
    type("UOPathEdit", QString::fromStdString(client) + "/");
    EXPECT_TRUE(minimap()->hasPicture()) << minimap()->message().toStdString();
}

TEST_F(MinimapFormTest, NoMapOrAShortOneNoPicture) {
    open(dir.file("none/map4.mul"), client);
    EXPECT_FALSE(minimap()->hasPicture());
    EXPECT_EQ(minimap()->message(), "No map open: nothing to show");
    form.reset();

    // A map cut short opens (the editor reports its cells as it reads them); the minimap
    // says why it has no picture instead of drawing a wrong one.
    std::filesystem::resize_file(map, w.mapBytes() / 2);
    open(map, client);
    EXPECT_FALSE(minimap()->hasPicture());
    EXPECT_EQ(minimap()->message(), "Read beyond end of file");
}

} // namespace
} // namespace tq::test
