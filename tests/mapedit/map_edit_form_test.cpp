// The map editor's window: paths and settings, status texts, drawing, zoom, navigation.
#include "map_edit_fixture.h"

#include "core/bytes.h"

#include <QSpinBox>
#include <QStatusBar>

namespace tq::test {
namespace {

bool green(QLineEdit* e) { return e->palette().color(QPalette::Base) == QColor(0, 128, 0); }
bool red(QLineEdit* e) { return e->palette().color(QPalette::Base) == QColor(255, 0, 0); }
QString stored(const char* name) { return QSettings("Brannock", "Terraquill").value(name).toString(); }

TEST_F(MapEditFormTest, OpensWithStoredPathsAndStartTexts) {
    putCell(mapPath, 0, 0, 0x01A3, -5);
    {
        QSettings store("Brannock", "Terraquill");
        store.setValue("CoordX", "12");
        store.setValue("CoordY", "34");
    }
    open(mapPath, client);
    EXPECT_EQ(form->windowTitle(), "MapEdit");
    EXPECT_EQ(form->size(), QSize(712, 586));
    EXPECT_TRUE(green(edit("MapEdit")));
    EXPECT_TRUE(green(edit("UOPathEdit")));
    EXPECT_EQ(edit("XJumpEdit")->text(), "12");
    EXPECT_EQ(edit("YJumpEdit")->text(), "34");
    EXPECT_EQ(edit("MapEditSource")->text(), "MapEditSource");
    EXPECT_EQ(edit("DTY")->text(), "0");
    EXPECT_EQ(child<QComboBox>("SelectDrawingModeComboBox")->count(), 45);
    EXPECT_EQ(child<QComboBox>("SelectDrawingModeComboBox")->itemText(44), "Orange Marble Weird");
    EXPECT_EQ(form->statusText(0), "X=0 - Y=0 - Altitude=-5 - Tile=A3 01");
    EXPECT_EQ(form->statusText(1), "Selected mode: Set altitude to 0 - Drawing disabled");
}

TEST_F(MapEditFormTest, PathBoxColoursFollowNameAndFiles) {
    const auto capitals = makeSparseMap(dir, "MAP0.MUL", 196);
    const auto otherName = makeSparseMap(dir, "map0.bak", 196);
    open(capitals, client);
    EXPECT_TRUE(green(edit("MapEdit")));
    type("MapEdit", QString::fromStdString(otherName));
    EXPECT_TRUE(red(edit("MapEdit")));
    type("MapEdit", QString::fromStdString(mapPath));
    EXPECT_TRUE(green(edit("MapEdit")));

    std::filesystem::remove(client + "/art.mul");
    type("UOPathEdit", QString::fromStdString(client));
    EXPECT_TRUE(red(edit("UOPathEdit")));
    hover(0, 0);
    EXPECT_EQ(form->statusText(0), "X=0 - Y=0 - Wrong filename");

    // The copy tool's boxes are judged by the same rule; any keystroke there stores all four values.
    type("XJumpEdit", "77");
    type("MapEditSource", QString::fromStdString(mapPath));
    EXPECT_TRUE(green(edit("MapEditSource")));
    EXPECT_TRUE(red(edit("MapEditDestination")));
    EXPECT_EQ(stored("Map0.mul"), QString::fromStdString(mapPath));
    EXPECT_EQ(stored("UOPath"), QString::fromStdString(client));
    EXPECT_EQ(stored("CoordX"), "77");
}

TEST_F(MapEditFormTest, InvalidPathsShowWhiteCellsAndBlackTiles) {
    open(mapPath, (dir.path() / "nowhere").string());
    const QImage map = grabMap();
    EXPECT_EQ(pixelOf(map, 0, 0, 20, 20), QColor(Qt::white));
    EXPECT_EQ(pixelOf(map, 3, 2, 44, 44), QColor(Qt::white));
    const QImage list = tiles()->viewport()->grab().toImage();
    EXPECT_EQ(list.pixelColor(30, 30), QColor(Qt::black));
    EXPECT_EQ(list.pixelColor(30, 30 + 65), QColor(Qt::black));

    // With valid paths the same places show the tiles' pictures.
    type("UOPathEdit", QString::fromStdString(client));
    const QImage list2 = tiles()->viewport()->grab().toImage();
    EXPECT_EQ(list2.pixelColor(30, 30), tileColour(0));
    EXPECT_EQ(list2.pixelColor(30, 30 + 65), tileColour(1));
}

TEST_F(MapEditFormTest, CellsShowTheirTilesAndAnotherWritersChanges) {
    putCell(mapPath, 1, 1, 0x0123, 0);
    open(mapPath, client);
    QImage img = grabMap();
    EXPECT_EQ(pixelOf(img, 1, 1, 0, 0), tileColour(0x0123));
    EXPECT_EQ(pixelOf(img, 1, 1, 44, 44), tileColour(0x0123));
    EXPECT_EQ(pixelOf(img, 2, 1, 0, 0), tileColour(0));
    // Another window writes the file: the next repaint shows it.
    putCell(mapPath, 1, 1, 0x0456, 0);
    img = grabMap();
    EXPECT_EQ(pixelOf(img, 1, 1, 10, 10), tileColour(0x0456));
}

TEST_F(MapEditFormTest, EverySaveReopensTheMapFile) {
    putCell(mapPath, 0, 0, 0x0111, 0);
    open(mapPath, client);
    // The file is replaced under the open window: the held handle still reads the old one.
    const std::string replacement = makeSparseMap(dir, "new.mul");
    putCell(replacement, 0, 0, 0x0222, 0);
    std::filesystem::rename(replacement, mapPath);
    EXPECT_EQ(pixelOf(grabMap(), 0, 0, 5, 5), tileColour(0x0111));
    // One keystroke in the copy tool's source box saves the settings and reopens the map.
    type("MapEditSource", "x");
    EXPECT_EQ(pixelOf(grabMap(), 0, 0, 5, 5), tileColour(0x0222));
}

TEST_F(MapEditFormTest, ZoomStepsAndLimits) {
    open(mapPath, client);
    for (int i = 0; i < 3; ++i) click("BitBtn1");
    EXPECT_EQ(form->cellSize(), 60);
    EXPECT_EQ(grid()->cellRect(1, 0).left() - grid()->cellRect(0, 0).left(), 60);
    for (int i = 0; i < 30; ++i) click("BitBtn1");
    EXPECT_EQ(form->cellSize(), 100);
    for (int i = 0; i < 40; ++i) click("BitBtn2");
    EXPECT_EQ(form->cellSize(), 5);
    const QImage img = grabMap();
    EXPECT_EQ(pixelOf(img, 7, 3, 4, 4), tileColour(0));
}

TEST_F(MapEditFormTest, GridLinesAndAltitudeLabels) {
    putCell(mapPath, 0, 0, 0x0010, -128);
    open(mapPath, client);
    QImage img = grabMap();
    EXPECT_EQ(grid()->cellRect(1, 0).left(), 45);
    EXPECT_EQ(pixelOf(img, 1, 0, 0, 20), tileColour(0));

    choose("GridBox_0");
    img = grabMap();
    EXPECT_EQ(grid()->cellRect(1, 0).left(), 46);
    EXPECT_EQ(img.pixelColor(45, 20), grid()->gridLineColor());  // the line between columns 0 and 1
    EXPECT_EQ(img.pixelColor(20, 45), grid()->gridLineColor());
    choose("GridBox_1");

    choose("ShowAltitudeRadioGroup_0");
    img = grabMap();
    // " -128 " black on white at the top-left corner; the rest of the cell keeps its picture.
    const QImage label = img.copy(0, 0, 45, 12);
    int black = 0, white = 0;
    for (int y = 0; y < label.height(); ++y)
        for (int x = 0; x < label.width(); ++x) {
            const QColor c = label.pixelColor(x, y);
            if (c.lightness() < 60) ++black;
            if (c == Qt::white) ++white;
        }
    EXPECT_GT(black, 10);
    EXPECT_GT(white, 100);
    EXPECT_EQ(img.pixelColor(1, 1), QColor(Qt::white));  // the leading blank
    EXPECT_EQ(pixelOf(img, 0, 0, 40, 40), tileColour(0x0010));
}

TEST_F(MapEditFormTest, StatusFollowsThePointerAndTheControls) {
    putCell(mapPath, 3, 2, 0x01A3, -5);
    open(mapPath, client);
    hover(3, 2);
    EXPECT_EQ(form->statusText(0), "X=3 - Y=2 - Altitude=-5 - Tile=A3 01");
    mouse(QEvent::MouseMove, QPoint(-5, -5), Qt::NoButton);
    EXPECT_EQ(form->statusText(0).left(11), "X=0 - Y=0 -");

    choose("AltitudeRadioGroup_0");
    type("ZValueEdit", "5");
    EXPECT_EQ(form->statusText(1), "Selected mode: Add 5 to current altitude - Drawing disabled");
    mode(2);
    EXPECT_EQ(form->statusText(1), "Selected mode: Add 5 to current altitude - Drawing altitude only");
    choose("AltitudeRadioGroup_1");
    mode(3 + 6);
    EXPECT_EQ(form->statusText(1), "Selected mode: Subtract 5 from current altitude - Selected group: \"Random grass\"");
    QTest::mouseClick(tiles()->viewport(), Qt::LeftButton, {}, QPoint(30, 65 * 3 + 30));
    EXPECT_EQ(form->statusText(1), "Selected mode: Subtract 5 from current altitude - Selected tile=03 00");
}

TEST_F(MapEditFormTest, ZValueBoxNormalisesWhatIsTyped) {
    open(mapPath, client);
    struct Case { const char* typed; const char* shown; };
    const Case cases[] = {{"-", "0"}, {"", "0"}, {"abc", "0"}, {"200", "127"}, {"-300", "-128"}, {"42", "42"}};
    for (const Case& c : cases) {
        QLineEdit* z = edit("ZValueEdit");
        z->setText(c.typed);
        EXPECT_EQ(z->text(), c.shown) << c.typed;
    }
    type("ZValueEdit", "-");
    EXPECT_EQ(edit("ZValueEdit")->text(), "0");
    EXPECT_TRUE(scripted.shown.empty());
    // The up-down steps the box by one without wrapping.
    auto* upDown = child<QSpinBox>("XValueUpDown");
    edit("ZValueEdit")->setText("127");
    upDown->stepUp();
    EXPECT_EQ(edit("ZValueEdit")->text(), "127");
    upDown->stepDown();
    EXPECT_EQ(edit("ZValueEdit")->text(), "126");
}

TEST_F(MapEditFormTest, JumpClampsScrollsAndPaintsNothing) {
    open(mapPath, client);
    mode(2);  // altitude only, set to 0 -- but a jump must not paint at all
    edit("ZValueEdit")->setText("9");
    edit("XJumpEdit")->setText("99999");
    edit("YJumpEdit")->setText("-4");
    click("CoordGoBtn");
    EXPECT_EQ(grid()->col(), 6143);
    EXPECT_EQ(grid()->row(), 0);
    EXPECT_LE(grid()->leftCol(), 6143);
    EXPECT_GT(grid()->leftCol() + grid()->visibleColCount(), 6143);
    EXPECT_EQ(cellBytes(mapPath, 6143, 0), cellString(0, 0));
    EXPECT_EQ(cellBytes(mapPath, 6142, 1), cellString(0, 0));
    EXPECT_EQ(QSettings("Brannock", "Terraquill").value("CoordX").toString(), "99999");

    // Jumping to the current cell after scrolling away brings it back into view.
    grid()->setLeftCol(0);
    click("CoordGoBtn");
    EXPECT_GT(grid()->leftCol() + grid()->visibleColCount(), 6143);
    EXPECT_EQ(cellBytes(mapPath, 6143, 0), cellString(0, 0));

    edit("XJumpEdit")->setText("abc");
    click("CoordGoBtn");
    ASSERT_EQ(scripted.errors().size(), 1);
    EXPECT_EQ(scripted.errors()[0], "'abc' is not a valid integer value");
    // Painting on selection works again afterwards.
    clickCell(grid()->col(), grid()->row());
    EXPECT_EQ(cellBytes(mapPath, 6143, 0), cellString(0, 9));
}

TEST_F(MapEditFormTest, KeysAndWheelMoveTheCurrentCell) {
    open(mapPath, client);
    key(Qt::Key_Right);
    key(Qt::Key_Down);
    EXPECT_EQ(grid()->col(), 1);
    EXPECT_EQ(grid()->row(), 1);
    wheel(3);
    EXPECT_EQ(grid()->row(), 4);
    wheel(-1);
    EXPECT_EQ(grid()->row(), 3);
    key(Qt::Key_End);
    EXPECT_EQ(grid()->col(), 6143);
    EXPECT_GT(grid()->leftCol(), 6000);
    key(Qt::Key_Home);
    EXPECT_EQ(grid()->col(), 0);
    EXPECT_EQ(grid()->leftCol(), 0);
    key(Qt::Key_PageDown);
    EXPECT_EQ(grid()->row(), 3 + grid()->visibleRowCount());
}

TEST_F(MapEditFormTest, AdvancedButtonExpandsAndCollapsesThePanel) {
    open(mapPath, client);
    QWidget* panel = child<QWidget>("FileNamePanel");
    EXPECT_EQ(panel->height(), 31);
    EXPECT_FALSE(edit("MapEditSource")->isVisible());
    click("Button3");
    EXPECT_EQ(panel->height(), 84);
    EXPECT_EQ(child<QPushButton>("Button3")->text(), "Normal...");
    EXPECT_TRUE(edit("MapEditSource")->isVisible());
    click("Button3");
    EXPECT_EQ(panel->height(), 30);
    EXPECT_EQ(child<QPushButton>("Button3")->text(), "Advanced...");
}

TEST_F(MapEditFormTest, AFileErrorWhileDrawingIsShownOnce) {
    std::filesystem::create_directory(dir.path() / "short");
    // One block column of two blocks: the cells right of column 7 lie beyond the end.
    const auto shortMap = makeSparseMap(dir, "short/map0.mul", 2 * 196);
    putCell(shortMap, 0, 0, 0x0123, 0);
    open(shortMap, client);
    for (int i = 0; i < 5; ++i) {
        const QImage img = grabMap();
        EXPECT_EQ(pixelOf(img, 0, 0, 5, 5), tileColour(0x0123));  // what the file has still shows
        EXPECT_EQ(pixelOf(img, 9, 0, 5, 5), QColor(Qt::white));
        hover(9, 0);
        QApplication::processEvents();
    }
    ASSERT_EQ(scripted.errors().size(), 1);
    EXPECT_EQ(scripted.errors()[0], "Read beyond end of file");
    // The window stays usable: a click within the file paints.
    mode(2);
    clickCell(1, 1);
    EXPECT_EQ(scripted.errors().size(), 1);
}

// A client folder whose only picture is a 64 x 64 texture for tile 5 in one colour.
void makeClient(const std::string& folder, uint16_t colour) {
    std::filesystem::create_directories(folder);
    std::string index(4096 * 12, '\0');
    le::put32(reinterpret_cast<uint8_t*>(index.data()) + 5 * 12 + 4, 8192);
    writeBytes(folder + "/texidx.mul", index);
    std::string texture(8192, '\0');
    for (size_t i = 0; i < texture.size(); i += 2) le::put16(reinterpret_cast<uint8_t*>(texture.data()) + i, colour);
    writeBytes(folder + "/texmaps.mul", texture);
    writeBytes(folder + "/artidx.mul", std::string(4096 * 12, '\0'));
    writeBytes(folder + "/art.mul", "");
}

TEST_F(MapEditFormTest, DrawsTheClientsPicturesFromACache) {
    const std::string redClient = (dir.path() / "red").string(), blueClient = (dir.path() / "blue").string();
    makeClient(redClient, 0x7C00);
    makeClient(blueClient, 0x001F);
    putCell(mapPath, 1, 0, 5, 0);
    open(mapPath, redClient, false);
    QImage img = grabMap();
    EXPECT_EQ(pixelOf(img, 1, 0, 20, 20), QColor(255, 0, 0));
    EXPECT_EQ(pixelOf(img, 0, 0, 20, 20), QColor(Qt::black));  // no texture, no art
    EXPECT_EQ(tiles()->viewport()->grab().toImage().pixelColor(30, 65 * 5 + 30), QColor(255, 0, 0));
    // Repaints reuse the pictures; the cells are read again every time.
    const int loads = form->pictures().loads();
    putCell(mapPath, 2, 0, 5, 0);
    img = grabMap();
    EXPECT_EQ(pixelOf(img, 2, 0, 20, 20), QColor(255, 0, 0));
    EXPECT_EQ(form->pictures().loads(), loads);
    // Another client folder: the cache starts again.
    type("UOPathEdit", QString::fromStdString(blueClient));
    EXPECT_EQ(pixelOf(grabMap(), 1, 0, 20, 20), QColor(0, 0, 255));
}

} // namespace
} // namespace tq::test
