// Freeze! and Melt! from the main window, end to end on the files.
#include "main_form_fixture.h"

#include "support/faulty_file_system.h"
#include "ui/radio_group.h"

#include <filesystem>

namespace tq::test {
namespace {

class FreezeMeltTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        makeWorld();
        storeWorldPaths();
        storeMode(0);
        start();
        loadIndex();
        logLinesBefore = int(logLines().size());
    }

    struct Files {
        std::string staidx, statics, wsc;
        bool operator==(const Files&) const = default;
    };
    Files files() const { return {readBytes(staidx), readBytes(statics), readBytes(wsc)}; }

    std::vector<TStaticRec> blockOnDisk(int bx, int by) const {
        auto index = newStaticIndex();
        LoadStaticIndex(staidx, *index);
        TStaticBlock block;
        ReadBlockStatics(statics, index->at(bx, by), block);
        return {block.Records.begin(), block.Records.begin() + block.Count};
    }

    QStringList newLogLines() const { return logLines().mid(logLinesBefore); }

    void expectChoicesFree() const {
        EXPECT_TRUE(enabled("SelectItemsRadioGroup"));
        EXPECT_TRUE(enabled("WritePATCheckBox"));
        EXPECT_TRUE(enabled("FreezeWorldButton"));
        EXPECT_FALSE(form->frozen());
        expectReady();
    }

    void freeze() { button("FreezeWorldButton")->click(); }

    int logLinesBefore = 0;
};

TEST_F(FreezeMeltTest, FreezeWithoutPatchMovesItemsIntoTheStatics) {
    const uint64_t staticsSize = readBytes(statics).size();
    freeze();
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    EXPECT_TRUE(prompts.shown.empty());  // no dialog without "Write PAT"

    // The world-save keeps the item that is not TYPE 255.
    const std::string text = readBytes(wsc);
    EXPECT_EQ(text.find("SECTION WORLDITEM 40"), std::string::npos);
    EXPECT_EQ(text.find("SECTION WORLDITEM 42"), std::string::npos);
    EXPECT_EQ(text.find("SECTION WORLDITEM 43"), std::string::npos);
    EXPECT_NE(text.find("SECTION WORLDITEM 41\r\n"), std::string::npos);

    const std::vector<TStaticRec> block = blockOnDisk(10, 20);
    ASSERT_EQ(block.size(), 5u);  // the 3 old ones first
    EXPECT_EQ(block[0], (TStaticRec{3821, 3, 4, -5, 0}));
    EXPECT_EQ(block[3], (TStaticRec{500, 1, 1, 2, 0}));
    EXPECT_EQ(block[4], (TStaticRec{502, 2, 2, -3, 7}));
    EXPECT_EQ(blockOnDisk(11, 20), (std::vector<TStaticRec>{{503, 0, 0, 5, 0}}));
    EXPECT_EQ(readBytes(statics).size(), staticsSize + 6 * 7);

    // The window's index is the one saved.
    auto onDisk = newStaticIndex();
    LoadStaticIndex(staidx, *onDisk);
    EXPECT_TRUE(onDisk->entries == form->staticIndex().entries);

    const QStringList log = newLogLines();
    EXPECT_EQ(log.first(), "Freezing in progress... Terraquill may look crashed, do not interrupt!");
    EXPECT_TRUE(log.contains("Selecting item for export: 42"));
    EXPECT_TRUE(log.contains("Extracting from WSC... XBlock: 11 YBlock: 20"));
    EXPECT_EQ(log.mid(log.size() - 3), (QStringList{"Writing staidx file...", "done...", "Freezing completed!"}));

    EXPECT_TRUE(form->frozen());
    expectReady();
    // Normal mode freezes again, with the rule and "Write PAT" fixed for the run.
    EXPECT_TRUE(enabled("FreezeWorldButton"));
    EXPECT_FALSE(enabled("SelectItemsRadioGroup"));
    EXPECT_FALSE(enabled("WritePATCheckBox"));
}

TEST_F(FreezeMeltTest, FreezeWithPatchWritesAndThenAppendsToThePatchFile) {
    const std::string pat = world.file("first.pat");
    child<QCheckBox>("WritePATCheckBox")->setChecked(true);
    prompts.fileAnswers = {QString::fromStdString(pat)};
    freeze();
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    ASSERT_EQ(prompts.shown.size(), 1u);  // a new file: no append question
    EXPECT_EQ(prompts.shown[0].kind, "save");
    EXPECT_EQ(prompts.shown[0].title, "Save or append the patch to");
    EXPECT_EQ(prompts.shown[0].defaultSuffix, "PAT");
    EXPECT_FALSE(prompts.shown[0].confirmOverwrite);  // the window asks its own question

    const std::string patch = readBytes(pat);
    for (const char* expected : {"SECTION WORLDITEM 2\r\n{\r\nSERIAL 1073741825\r\nNAME #\r\nID 500\r\nX 81\r\n"
                                 "Y 161\r\nZ 2\r\nCOLOR 0\r\nCONT -1\r\nTYPE 255\r\n}\r\n\r\n",
                                 "SECTION WORLDITEM 3\r\n", "ID 502\r\nX 82\r\nY 162\r\nZ -3\r\nCOLOR 7\r\n",
                                 "SECTION WORLDITEM 4\r\n{\r\nSERIAL 1073741827\r\n"})
        EXPECT_NE(patch.find(expected), std::string::npos) << expected;
    EXPECT_TRUE(patch.ends_with("EOF\r\n\r\n"));
    EXPECT_TRUE(newLogLines().contains("Appending to PAT-File... XBlock: 10 YBlock: 20"));

    // Put items back into the world-save and freeze again into the same patch file:
    // the window asks before appending.
    writeBytes(wsc, crlf(worldItem(50, 1073741900, 600, 100, 100, 0, 255)) + "EOF\r\n");
    prompts.fileAnswers = {QString::fromStdString(pat)};
    prompts.answers = {true};
    freeze();
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    ASSERT_EQ(prompts.shown.size(), 3u);
    EXPECT_EQ(prompts.shown[2].kind, "question");
    EXPECT_EQ(prompts.shown[2].title, QString::fromStdString("Append to " + pat + "?"));
    EXPECT_EQ(prompts.shown[2].text, QString::fromStdString("Do you want to append new items to " + pat +
                                                            "? All old items will remain in this file."));
    const std::string appended = readBytes(pat);
    EXPECT_TRUE(appended.starts_with(patch.substr(0, patch.size() - 7)));  // all but "EOF" + empty line
    EXPECT_NE(appended.find("SECTION WORLDITEM 5\r\n{\r\nSERIAL 1073741828\r\nNAME #\r\nID 600\r\n"),
              std::string::npos);
}

TEST_F(FreezeMeltTest, CancelOrNoChangesNothingAndGivesTheControlsBack) {
    const std::string pat = world.file("old.pat");
    writeBytes(pat, "EOF\r\n\r\n");
    child<QCheckBox>("WritePATCheckBox")->setChecked(true);
    const Files before = files();

    prompts.fileAnswers = {""};  // the save dialog cancelled
    freeze();
    EXPECT_TRUE(files() == before);
    EXPECT_EQ(readBytes(pat), "EOF\r\n\r\n");
    EXPECT_TRUE(prompts.errors().isEmpty());
    expectChoicesFree();
    EXPECT_TRUE(child<QCheckBox>("WritePATCheckBox")->isChecked());

    prompts.fileAnswers = {QString::fromStdString(pat)};
    prompts.answers = {false};  // not appending
    freeze();
    EXPECT_TRUE(files() == before);
    EXPECT_EQ(readBytes(pat), "EOF\r\n\r\n");
    EXPECT_TRUE(prompts.errors().isEmpty());
    expectChoicesFree();
    EXPECT_EQ(newLogLines(), QStringList{});  // nothing started
}

TEST_F(FreezeMeltTest, PatchFileThatIsTheWorldSaveIsRefused) {
    child<QCheckBox>("WritePATCheckBox")->setChecked(true);
    const Files before = files();
    prompts.fileAnswers = {QString::fromStdString(wsc)};
    freeze();
    EXPECT_EQ(prompts.errors(), QStringList{"The WSC and the PAT file cannot be the same!"});
    EXPECT_TRUE(files() == before);
    expectChoicesFree();
}

TEST_F(FreezeMeltTest, FailedFreezeLeavesTheWindowReadyAndTheFilesWhole) {
    const Files before = files();
    FaultyFileSystem faulty;
    faulty.failWriteAt = 1;
    {
        ScopedFileSystem guard(faulty);
        freeze();
    }
    EXPECT_EQ(prompts.errors(), QStringList{"Disk full"});
    EXPECT_TRUE(files() == before);
    expectChoicesFree();
    EXPECT_TRUE(form->indexLoaded());

    freeze();  // and it works once the disk has room
    EXPECT_EQ(prompts.errors().size(), 1);
    EXPECT_TRUE(form->frozen());
}

TEST_F(FreezeMeltTest, AutoRuleReadsAutoSelectFromTheProgramFolder) {
    // Item 41 (TYPE 0, NAME #, id 501 = 01 F5) becomes selectable.
    child<TRadioGroup>("SelectItemsRadioGroup")->button(1)->click();
    freeze();
    EXPECT_EQ(prompts.errors(), QStringList{"File not found"});  // no AutoSelect.txt yet
    expectChoicesFree();

    writeBytes(world.file("AutoSelect.txt"), "# test list\r\n01 F5  the item of section 41\r\n");
    freeze();
    ASSERT_EQ(prompts.errors().size(), 1);
    EXPECT_EQ(readBytes(wsc).find("SECTION WORLDITEM 41"), std::string::npos);
    EXPECT_EQ(blockOnDisk(10, 20).size(), 6u);
}

TEST_F(FreezeMeltTest, MeltTurnsABlockBackIntoWorldItems) {
    const uint64_t staticsSize = readBytes(statics).size();
    edit("XBlockEdit")->setText("10");
    edit("YBlockEdit")->setText("20");
    button("MeltBlockButton")->click();
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    const std::string text = readBytes(wsc);
    EXPECT_NE(text.find("SECTION WORLDITEM 44\r\n{\r\nSERIAL 1073741834\r\nNAME #\r\nID 3821\r\nX 83\r\nY 164\r\n"
                        "Z -5\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("SECTION WORLDITEM 46\r\n"), std::string::npos);
    EXPECT_TRUE(text.ends_with("EOF\r\n\r\n"));
    EXPECT_TRUE(blockOnDisk(10, 20).empty());
    EXPECT_EQ(form->staticIndex().at(10, 20), (TStaticIndexRec{-1, 0, 0}));
    EXPECT_EQ(readBytes(statics).size(), staticsSize);
    EXPECT_EQ(newLogLines(), (QStringList{"Melting in progress... Terraquill may look crashed, do not interrupt!",
                                          "Writing StaIdx file...", "Done!", "Melting completed!"}));
    expectReady();

    // Again: the block is empty now.
    button("MeltBlockButton")->click();
    EXPECT_TRUE(newLogLines().contains("Nothing to do!"));
    EXPECT_EQ(readBytes(wsc), text);
}

TEST_F(FreezeMeltTest, AFailureAboutAFileNamesItUnderTheExactMessage) {
    // The statics end inside the block's run: the box keeps the file layer's own text and
    // names the file on a line of its own.
    std::filesystem::resize_file(statics, uint64_t(form->staticIndex().at(10, 20).Start) + 7);
    edit("XBlockEdit")->setText("10");
    edit("YBlockEdit")->setText("20");
    button("MeltBlockButton")->click();
    ASSERT_EQ(prompts.shown.size(), 1u);
    EXPECT_EQ(prompts.shown[0].text, "Read beyond end of file");
    EXPECT_EQ(prompts.shown[0].file, QString::fromStdString(statics));
    // A message that already names its file gets no second line.
    edit("YBlockEdit")->setText("512");
    button("MeltBlockButton")->click();
    ASSERT_EQ(prompts.shown.size(), 2u);
    EXPECT_EQ(prompts.shown[1].file, "");
}

TEST_F(FreezeMeltTest, MeltRefusesBadBlockFieldsAndRecoversFromErrors) {
    const Files before = files();
    edit("XBlockEdit")->setText("10");
    edit("YBlockEdit")->setText("512");
    button("MeltBlockButton")->click();
    EXPECT_EQ(prompts.errors(), QStringList{"Block 10, 512 is outside the world: X must be 0..767 and Y 0..511."});
    EXPECT_TRUE(files() == before);
    expectReady();

    edit("YBlockEdit")->setText("20");
    FaultyFileSystem faulty;
    faulty.failRenameAt = 1;  // the world-save cannot be replaced
    {
        ScopedFileSystem guard(faulty);
        button("MeltBlockButton")->click();
    }
    EXPECT_EQ(prompts.errors().size(), 2);
    EXPECT_EQ(prompts.errors()[1], "File access denied");
    EXPECT_TRUE(files() == before);
    EXPECT_EQ(form->staticIndex().at(10, 20).Length, 21);  // the entry was not emptied
    expectReady();
    EXPECT_TRUE(enabled("MeltBlockButton"));
}

} // namespace
} // namespace tq::test
