// The main window is refused like the command line while another Terraquill changes the
// world: Freeze! shows the holder in the error box and changes nothing.
#include "app/main_form_fixture.h"
#include "other_terraquill.h"

namespace tq::test {
namespace {

class WorldLockFormTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        makeWorld();
        storeWorldPaths();
        storeMode(0);
        start();
        loadIndex();
    }
    std::vector<std::string> files() const { return {readBytes(staidx), readBytes(statics), readBytes(wsc)}; }
};

TEST_F(WorldLockFormTest, FreezeWhileAnotherTerraquillHoldsTheWorldIsRefused) {
    const auto before = files();
    {
        OtherTerraquill other(staidx, "freeze");
        ASSERT_TRUE(other.held());
        button("FreezeWorldButton")->click();
        EXPECT_EQ(prompts.errors(), QStringList{QString::fromStdString(lockedBy(staidx, other.pid(), "freeze"))});
        EXPECT_TRUE(files() == before);
        expectReady();
        EXPECT_TRUE(enabled("FreezeWorldButton"));
        EXPECT_FALSE(form->frozen());
    }  // the other run ends (killed)
    button("FreezeWorldButton")->click();
    EXPECT_EQ(prompts.errors().size(), 1) << prompts.errors().join("; ").toStdString();
    EXPECT_TRUE(form->frozen());
    EXPECT_FALSE(files() == before);
}

TEST_F(WorldLockFormTest, AnIndexChangedByAnotherProgramSinceItWasLoadedIsNotSavedOverIt) {
    // Another program melts a block after the window loaded the index: the window's index
    // would otherwise bring the melted statics back beside their new world items.
    auto index = newStaticIndex();
    LoadStaticIndex(staidx, *index);
    index->at(767, 511) = {-1, 0, 0};
    SaveStaticIndex(staidx, *index);
    const auto before = files();
    button("FreezeWorldButton")->click();
    ASSERT_EQ(prompts.errors().size(), 1);
    EXPECT_TRUE(prompts.errors()[0].startsWith("The static index was changed by another program or window"));
    EXPECT_TRUE(files() == before);
    expectReady();

    // Loading the index again mends it.
    EXPECT_FALSE(form->indexLoaded());
    loadIndex();
    button("FreezeWorldButton")->click();
    EXPECT_EQ(prompts.errors().size(), 1);
    EXPECT_TRUE(form->frozen());
    auto onDisk = newStaticIndex();
    LoadStaticIndex(staidx, *onDisk);
    EXPECT_EQ(onDisk->at(767, 511).Start, -1) << "the other program's change was undone";
}

} // namespace
} // namespace tq::test
