// Simple mode: a player's whole run, guided step by step.
#include "main_form_fixture.h"

namespace tq::test {
namespace {

using SimpleModeTest = MainFormTest;

TEST_F(SimpleModeTest, GuidesAPlayerFromEmptyPathsToAFrozenPatch) {
    makeWorld();
    // What the operator sent: a patch file of two items in block (10, 20).
    const std::string pat = world.file("from-operator.pat");
    std::vector<std::string> lines;
    for (auto item : {worldItem(2, 1073741825, 500, 81, 161, 2, 255), worldItem(3, 1073741826, 502, 82, 162, -3, 255)})
        lines.insert(lines.end(), item.begin(), item.end());
    lines.push_back("EOF");
    writeBytes(pat, crlf(lines));

    storeMode(1);
    start();
    EXPECT_EQ(form->windowTitle(), "Terraquill 6.2 (Simple mode)");
    EXPECT_EQ(mainLines(), guidance(0));
    const char* alwaysOff[] = {"XBlockEdit",       "XBlockUpDown",          "YBlockEdit",
                               "YBlockUpDown",     "GetStaticBlockButton",  "MeltBlockButton",
                               "FillClearButton",  "SelectItemsRadioGroup", "WritePATCheckBox",
                               "MapEditButton"};
    for (const char* off : alwaysOff) EXPECT_FALSE(enabled(off)) << off;

    edit("StaIdxEdit")->setText(QString::fromStdString(staidx));
    EXPECT_EQ(mainLines(), guidance(1));
    edit("StaticsEdit")->setText(QString::fromStdString(statics));
    EXPECT_EQ(mainLines(), guidance(2));
    edit("WSCEdit")->setText(QString::fromStdString(pat));
    EXPECT_EQ(mainLines(), guidance(3));
    EXPECT_TRUE(enabled("GetStaticIndexButton"));

    button("GetStaticIndexButton")->click();
    EXPECT_EQ(mainLines(), guidance(4));
    EXPECT_TRUE(enabled("FreezeWorldButton"));
    for (const char* off : alwaysOff) EXPECT_FALSE(enabled(off)) << off;

    button("FreezeWorldButton")->click();
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    EXPECT_EQ(mainLines(), guidance(5));
    EXPECT_EQ(mainLines(), (QStringList{"Finished! You can now close Terraquill and connect to",
                                        "the server. Enjoy!"}));
    EXPECT_FALSE(enabled("FreezeWorldButton"));  // once per run
    for (const char* off : alwaysOff) EXPECT_FALSE(enabled(off)) << off;
    expectReady();
    EXPECT_TRUE(prompts.shown.empty());  // never a dialog on the player's road

    // The patch's items are now statics of the player's block, after the old ones.
    auto index = newStaticIndex();
    LoadStaticIndex(staidx, *index);
    TStaticBlock block;
    ReadBlockStatics(statics, index->at(10, 20), block);
    ASSERT_EQ(block.Count, 5);
    EXPECT_EQ(block.Records[3], (TStaticRec{500, 1, 1, 2, 0}));
    EXPECT_EQ(block.Records[4], (TStaticRec{502, 2, 2, -3, 0}));
}

TEST_F(SimpleModeTest, ShowsTheStepOfTheFirstMissingPathAtStart) {
    makeWorld();
    storeMode(1);
    store(settings::StaIdx, staidx);
    store(settings::Statics, world.file("nowhere/statics0.mul"));
    store(settings::WorldSave, world.file("nowhere.pat"));
    start();
    EXPECT_EQ(mainLines(), guidance(1));  // the statics path, though the world-save is red too

    form.reset();
    storeWorldPaths();
    start();
    EXPECT_EQ(mainLines(), guidance(3));
}

} // namespace
} // namespace tq::test
