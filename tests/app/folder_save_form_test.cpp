// The main window on today's world-save: a folder of region files in the world-save field.
#include "main_form_fixture.h"

#include <filesystem>

namespace tq::test {
namespace {

class FolderSaveFormTest : public MainFormTest {
protected:
    std::string shared, region;
    // Block (10, 20) is cells 80..87 x 160..167: region file 0.0.wsc.
    const std::string taken = "[ITEM]\r\nSerial=0x40000001\r\nID=0x01f4\r\nLocation=81,161,2,0,0\r\nColour=0x0000\r\n"
                              "Cont=0xffffffff\r\nType=255\r\no---o\r\n\r\n";
    const std::string kept = "[ITEM]\r\nSerial=0x40000002\r\nID=0x01f5\r\nLocation=82,162,0,1,0\r\nType=255\r\n"
                             "o---o\r\n\r\n";

    void SetUp() override {
        MainFormTest::SetUp();
        makeWorld();
        shared = world.file("shared");
        std::filesystem::create_directory(world.path() / "shared");
        region = shared + "/0.0.wsc";
        writeBytes(region, "// region 0.0\r\n\r\n" + taken + kept);
        wsc = shared;  // the field names the folder
        storeWorldPaths();
        storeMode(0);
        start();
        loadIndex();
    }
};

TEST_F(FolderSaveFormTest, FreezeAndMeltWorkOnTheFolder) {
    ASSERT_TRUE(enabled("FreezeWorldButton"));  // the folder makes the field green
    button("FreezeWorldButton")->click();
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    EXPECT_EQ(readBytes(region), "// region 0.0\r\n\r\n" + kept);  // the facet-1 item stays
    auto index = newStaticIndex();
    LoadStaticIndex(staidx, *index);
    TStaticBlock block;
    ReadBlockStatics(statics, index->at(10, 20), block);
    ASSERT_EQ(block.Count, 4);
    EXPECT_EQ(block.Records[3], (TStaticRec{500, 1, 1, 2, 0}));
    const QStringList log = logLines();
    EXPECT_TRUE(log.contains(QString::fromStdString("World-save: a folder of 1 region file (" + shared + ")")));
    EXPECT_TRUE(log.contains(QString::fromStdString("Rewrote " + region)));

    // Melting the block writes its four statics back as records of the same file.
    edit("XBlockEdit")->setText("10");
    edit("YBlockEdit")->setText("20");
    button("MeltBlockButton")->click();
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    const std::string text = readBytes(region);
    EXPECT_EQ(text.rfind("// region 0.0\r\n\r\n" + kept, 0), 0u);
    EXPECT_NE(text.find("[ITEM]\r\nSerial=0x40000006\r\nID=0x01f4\r\nColour=0x0000\r\nLocation=81,161,2,0,0\r\n"),
              std::string::npos)
        << text;
    expectReady();
}

} // namespace
} // namespace tq::test
