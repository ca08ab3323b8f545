// Copy Map in the map editor window: messages, captions, the copy's bytes, undo.
#include "map_edit_fixture.h"
#include "support/classic_world.h"

#include <fstream>

namespace tq::test {
namespace {

class MapCopyTest : public MapEditFormTest {
protected:
    void SetUp() override {
        MapEditFormTest::SetUp();
        std::filesystem::create_directory(dir.path() / "src");
        sourcePath = makeSparseMap(dir, "src/map0.mul", 4 * MapColumnBytes);
        for (int x = 0; x < 16; ++x)
            for (int y = 0; y < 16; ++y) putCell(sourcePath, x, y, uint16_t(0x100 + x * 16 + y), int8_t(x - y));
        open(mapPath, client);
        click("Button3");
    }
    void corners(const char* sx1, const char* sy1, const char* sx2, const char* sy2, const char* dx1,
                 const char* dy1, const char* dx2, const char* dy2) {
        const char* names[] = {"SFX", "SFY", "STX", "STY", "DFX", "DFY", "DTX", "DTY"};
        const char* values[] = {sx1, sy1, sx2, sy2, dx1, dy1, dx2, dy2};
        for (int i = 0; i < 8; ++i) edit(names[i])->setText(values[i]);
    }
    void paths(const std::string& from, const std::string& to) {
        edit("MapEditSource")->setText(QString::fromStdString(from));
        edit("MapEditDestination")->setText(QString::fromStdString(to));
    }
    QString caption() { return child<QPushButton>("APPEND")->text(); }
    std::string head() {
        std::ifstream in(mapPath, std::ios::binary);
        std::string bytes(4 * MapColumnBytes, '\0');
        in.read(bytes.data(), std::streamsize(bytes.size()));
        return bytes;
    }
    std::string sourcePath;
};

TEST_F(MapCopyTest, CopiesABlockOntoTheNextKeepingItsHeader) {
    {
        std::fstream f(mapPath, std::ios::binary | std::ios::in | std::ios::out);
        f.seekp(std::streamoff(mapBlockOffset(1, 0)));
        f.write("\x11\x22\x33\x44", 4);
    }
    const std::string before = head();
    paths(sourcePath, mapPath);
    corners("0", "0", "7", "7", "8", "0", "15", "7");
    click("APPEND");
    EXPECT_EQ(caption(), "Ready to Copy");
    EXPECT_TRUE(scripted.shown.empty());
    for (int x = 0; x < 8; ++x)
        for (int y = 0; y < 8; ++y) EXPECT_EQ(cellBytes(mapPath, 8 + x, y), cellBytes(sourcePath, x, y)) << x << "," << y;
    EXPECT_EQ(head().substr(mapBlockOffset(1, 0), 4), "\x11\x22\x33\x44");
    EXPECT_EQ(pixelOf(grabMap(), 8, 0, 5, 5), tileColour(0x100));  // the view shows the copy

    // One undo step for the whole copy, exact to the byte; redo puts it back.
    const std::string after = head();
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(head() == before);
    key(Qt::Key_Y, Qt::ControlModifier);
    EXPECT_TRUE(head() == after);
}

TEST_F(MapCopyTest, OverlappingCopyInOneFileReadsCellsAlreadyWritten) {
    putCell(mapPath, 0, 0, 0x0AAA, 1);
    putCell(mapPath, 1, 0, 0x0BBB, 2);
    paths(mapPath, mapPath);
    corners("0", "0", "1", "0", "1", "0", "2", "0");
    click("APPEND");
    EXPECT_EQ(cellBytes(mapPath, 1, 0), cellString(0x0AAA, 1));
    EXPECT_EQ(cellBytes(mapPath, 2, 0), cellString(0x0AAA, 1));
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(cellBytes(mapPath, 1, 0), cellString(0x0BBB, 2));
    EXPECT_EQ(cellBytes(mapPath, 2, 0), cellString(0, 0));
}

TEST_F(MapCopyTest, RefusalsChangeNothing) {
    paths(sourcePath, mapPath);
    const std::string before = head();
    struct Case {
        const char* c[8];
        QString kind, text, caption;
    };
    const Case cases[] = {
        {{"0", "0", "9", "9", "0", "0", "9", "8"}, "information",
         "You have set the Boundaries WRONG. Source and destination areas have to be of the same size.", "Ready to Copy"},
        {{"5", "5", "0", "0", "9", "9", "4", "4"}, "", "", "Ready to Copy"},  // reversed corners: nothing to copy
        {{"0", "0", "x1", "0", "0", "0", "0", "0"}, "error", "'x1' is not a valid integer value", "Working ...."},
        {{"6140", "0", "6144", "0", "0", "0", "4", "0"}, "error", "", "Working ...."},
    };
    for (const Case& c : cases) {
        scripted.shown.clear();
        corners(c.c[0], c.c[1], c.c[2], c.c[3], c.c[4], c.c[5], c.c[6], c.c[7]);
        click("APPEND");
        EXPECT_EQ(caption(), c.caption) << c.c[2];
        if (c.kind.isEmpty()) {
            EXPECT_TRUE(scripted.shown.empty());
        } else {
            ASSERT_EQ(scripted.shown.size(), 1u) << c.c[2];
            EXPECT_EQ(scripted.shown[0].kind, c.kind);
            if (!c.text.isEmpty()) EXPECT_EQ(scripted.shown[0].text, c.text);
            else EXPECT_TRUE(scripted.shown[0].text.contains("outside the map")) << scripted.shown[0].text.toStdString();
        }
    }
    EXPECT_TRUE(head() == before);
    EXPECT_FALSE(form->history().canUndo());
}

TEST_F(MapCopyTest, InvalidEditorPathsRefuseTheCopy) {
    paths(sourcePath, mapPath);
    corners("0", "0", "0", "0", "1", "1", "1", "1");
    type("UOPathEdit", "/nowhere");
    click("APPEND");
    ASSERT_EQ(scripted.shown.size(), 1u);
    EXPECT_EQ(scripted.shown[0].kind, "information");
    EXPECT_EQ(scripted.shown[0].text, "File paths are incorrect.");
    EXPECT_EQ(caption(), "Copy Map");
    EXPECT_EQ(cellBytes(mapPath, 1, 1), cellString(0, 0));
}

} // namespace
} // namespace tq::test
