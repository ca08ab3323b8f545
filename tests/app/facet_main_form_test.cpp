// The main window on the worlds of today's clients: the index's world sets the block fields'
// ranges and shows beside the title, and listing, freezing and melting reach the last column and row.
#include "main_form_fixture.h"

#include "core/static_listing.h"
#include "support/facet_worlds.h"
#include "ui/up_down.h"

namespace tq::test {
namespace {

class FacetMainFormTest : public MainFormTest, public ::testing::WithParamInterface<FacetWorldCase> {
protected:
    WorldGeometry w = GetParam().world;

    void SetUp() override {
        MainFormTest::SetUp();
        makeFacetWorld(world.path().string(), w);
        staidx = facetFile(world.path().string(), "staidx", w);
        statics = facetFile(world.path().string(), "statics", w);
        storeWorldPaths();
        storeMode(0);
        start();
    }

    TStaticIndexRec entryOf(const std::string& index, int bx, int by) const {
        TStaticIndexRec e;
        decodeIndexRec(reinterpret_cast<const uint8_t*>(index.data()) + w.staticIndexOffset(bx, by), e);
        return e;
    }
    void setBlock(int x, int y) {
        edit("XBlockEdit")->setText(QString::number(x));
        edit("YBlockEdit")->setText(QString::number(y));
    }
};

TEST_P(FacetMainFormTest, TheIndexsWorldSetsRangesAndIsShownAndTheLastBlockIsListed) {
    EXPECT_EQ(child<QLabel>("WorldLabel")->text(), "");
    EXPECT_EQ(child<TUpDown>("XBlockUpDown")->maximum(), WorldGeometry().blocksWide - 1);
    EXPECT_EQ(child<TUpDown>("YBlockUpDown")->maximum(), WorldGeometry().blocksHigh - 1);
    loadIndex();
    EXPECT_EQ(form->staticIndex().world(), w);
    EXPECT_EQ(child<QLabel>("WorldLabel")->text(), QString::fromStdString(w.describe()));
    auto* x = child<TUpDown>("XBlockUpDown");
    auto* y = child<TUpDown>("YBlockUpDown");
    EXPECT_EQ(x->maximum(), w.blocksWide - 1);
    EXPECT_EQ(y->maximum(), w.blocksHigh - 1);
    setBlock(w.blocksWide - 2, w.blocksHigh - 1);
    x->stepUp();
    x->stepUp();
    y->stepUp();
    EXPECT_EQ(edit("XBlockEdit")->text(), QString::number(w.blocksWide - 1));
    EXPECT_EQ(edit("YBlockEdit")->text(), QString::number(w.blocksHigh - 1));
    // Leaving a field clamps to the world's last block.
    setBlock(99999, 99999);
    form->XBlockEditExit();
    form->YBlockEditExit();
    EXPECT_EQ(edit("XBlockEdit")->text(), QString::number(w.blocksWide - 1));
    EXPECT_EQ(edit("YBlockEdit")->text(), QString::number(w.blocksHigh - 1));

    // The listing of the last block with statics, and of the very last block.
    const std::string index = readBytes(staidx);
    int lx = -1, ly = -1;
    for (int bx = w.blocksWide - 1; bx >= 0 && lx < 0; --bx)
        for (int by = w.blocksHigh - 1; by >= 0 && lx < 0; --by)
            if (const TStaticIndexRec e = entryOf(index, bx, by); e.Start != -1 && e.Length > 0) lx = bx, ly = by;
    ASSERT_GE(lx, 0);
    for (auto [bx, by] : {std::pair{lx, ly}, std::pair{w.blocksWide - 1, w.blocksHigh - 1}}) {
        setBlock(bx, by);
        button("GetStaticBlockButton")->click();
        ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
        TStaticBlock block;
        ReadBlockStatics(statics, entryOf(index, bx, by), block);
        QStringList expected;
        for (const std::string& line : staticListingLines(block, bx, by)) expected << QString::fromStdString(line);
        EXPECT_EQ(mainLines(), expected) << bx << "," << by;
    }
}

TEST_P(FacetMainFormTest, FreezeAndMeltKeepEveryEntryOfTheWorld) {
    loadIndex();
    const std::string before = readBytes(staidx);
    button("FreezeWorldButton")->click();
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    EXPECT_TRUE(form->frozen());
    const std::string frozen = readBytes(staidx);
    ASSERT_EQ(frozen.size(), w.staticIndexBytes());
    int changed = 0, changedEast = 0;
    for (int bx = 0; bx < w.blocksWide; ++bx)
        for (int by = 0; by < w.blocksHigh; ++by) {
            const TStaticIndexRec o = entryOf(before, bx, by), n = entryOf(frozen, bx, by);
            if (o == n) continue;
            ++changed;
            if (bx >= WorldGeometry().blocksWide) ++changedEast;
            EXPECT_GT(n.Length, o.Start == -1 ? 0 : o.Length) << bx << "," << by;  // only grown
        }
    if (w.facet == 0) {
        EXPECT_GT(changed, 0);
        if (w.blocksWide > WorldGeometry().blocksWide) {
            EXPECT_GT(changedEast, 0);
        }
    } else {
        // The world-save's items stand on facet 0: none is taken, the log says so.
        EXPECT_EQ(changed, 0);
        EXPECT_TRUE(logLines().filter("Skipped ").size() == 1) << logLines().join("\n").toStdString();
    }

    // Melt the easternmost block with statics: only its entry changes.
    int mx = -1, my = -1;
    for (int bx = w.blocksWide - 1; bx >= 0 && mx < 0; --bx)
        for (int by = w.blocksHigh - 1; by >= 0 && mx < 0; --by)
            if (const TStaticIndexRec e = entryOf(frozen, bx, by); e.Start != -1 && e.Length > 0) mx = bx, my = by;
    ASSERT_GE(mx, 0);
    setBlock(mx, my);
    button("MeltBlockButton")->click();
    ASSERT_TRUE(prompts.errors().isEmpty()) << prompts.errors().join("; ").toStdString();
    const std::string melted = readBytes(staidx);
    ASSERT_EQ(melted.size(), w.staticIndexBytes());
    const size_t at = size_t(w.staticIndexOffset(mx, my));
    EXPECT_TRUE(melted.substr(0, at) == frozen.substr(0, at));
    EXPECT_TRUE(melted.substr(at + StaticIndexRecSize) == frozen.substr(at + StaticIndexRecSize));
    EXPECT_EQ(entryOf(melted, mx, my), (TStaticIndexRec{-1, 0, 0}));
    const std::string save = readBytes(wsc);
    bool inBlock = false;
    for (int cx = 0; cx < BlockSize && !inBlock; ++cx)
        inBlock = save.find("X " + std::to_string(mx * BlockSize + cx) + "\r\n") != std::string::npos;
    EXPECT_TRUE(inBlock) << "the melted items stand in the block's cells";
}

INSTANTIATE_TEST_SUITE_P(Worlds, FacetMainFormTest, ::testing::ValuesIn(FacetWorldCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The index and statics fields of two facets: the second turns red and says why.
TEST_F(MainFormTest, FieldsOfAnotherFacetTurnRedWithTheReason) {
    const std::string staidx4 = world.file("staidx4.mul"), statics0 = world.file("statics0.mul");
    writeBytes(staidx4, "x");
    writeBytes(statics0, "x");
    writeBytes(wsc, "x");
    store(settings::StaIdx, staidx4);
    store(settings::Statics, statics0);
    store(settings::WorldSave, wsc);
    storeMode(0);
    start();
    EXPECT_EQ(fieldColour(edit("StaIdxEdit")), FieldColour::Green);
    EXPECT_EQ(fieldColour(edit("StaticsEdit")), FieldColour::Red);
    EXPECT_EQ(edit("StaticsEdit")->toolTip(), "statics0.mul is of facet 0, the other files of facet 4");
    EXPECT_FALSE(enabled("GetStaticIndexButton"));
    EXPECT_FALSE(enabled("TQDiffButton"));

    const std::string statics4 = world.file("Statics4.MUL");
    writeBytes(statics4, "x");
    edit("StaticsEdit")->setText(QString::fromStdString(statics4));
    EXPECT_EQ(fieldColour(edit("StaticsEdit")), FieldColour::Green);
    EXPECT_EQ(edit("StaticsEdit")->toolTip(), "");
    EXPECT_TRUE(enabled("GetStaticIndexButton"));
}

TEST_F(MainFormTest, SharedWorldBoxIsStoredAndShownInNormalModeOnly) {
    storeMode(0);
    start();
    auto* box = child<QCheckBox>("SharedWorldCheckBox");
    EXPECT_EQ(box->text(), "Facet 1 shares facet 0's world");
    EXPECT_TRUE(box->isVisible());
    EXPECT_FALSE(box->isChecked());
    box->click();
    EXPECT_EQ(settings::readInt(settings::SharedWorld), 1);
    form.reset();
    start();
    EXPECT_TRUE(child<QCheckBox>("SharedWorldCheckBox")->isChecked());
    form.reset();
    storeMode(1);
    start();
    EXPECT_FALSE(child<QCheckBox>("SharedWorldCheckBox")->isVisible());
}

} // namespace
} // namespace tq::test
