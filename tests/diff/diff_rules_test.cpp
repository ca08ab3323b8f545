#include "diff/diff_rules.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

TEST(DiffWindowRules, ActionsNeedAllSixFieldsGreen) {
    const std::array<bool, 6> allGreen{true, true, true, true, true, true};
    EXPECT_EQ(decideDiffControls(allGreen, false), (DiffControlStates{true, true, true, true, true}));
    // Simple mode: the paths are still stored, but only applying is offered.
    EXPECT_EQ(decideDiffControls(allGreen, true), (DiffControlStates{true, false, false, false, true}));

    // Any one field not green (red or never judged) disables everything again and stores nothing.
    for (int i = 0; i < DiffFieldCount; ++i) {
        std::array<bool, 6> green = allGreen;
        green[size_t(i)] = false;
        SCOPED_TRACE(diffFields()[size_t(i)].control);
        EXPECT_EQ(decideDiffControls(green, false), DiffControlStates{});
        EXPECT_EQ(decideDiffControls(green, true), DiffControlStates{});
    }
}

TEST(DiffWindowRules, OnePartAlwaysChecked) {
    struct Case {
        PartChoice after;
        bool staticsClicked;
        PartChoice expected;
    };
    const Case cases[] = {
        {{false, false}, true, {false, true}},   // statics unchecked last: map comes back
        {{false, false}, false, {true, false}},  // map unchecked last: statics comes back
        {{false, true}, true, {false, true}},
        {{true, false}, false, {true, false}},
        {{true, true}, true, {true, true}},
    };
    for (const Case& c : cases) EXPECT_EQ(keepOnePartChecked(c.after, c.staticsClicked), c.expected);
}

TEST(DiffWindowRules, FieldsMapToTheSharedSettingsValues) {
    // The modified paths are the ones the main and fill/clear windows use.
    EXPECT_STREQ(diffFieldInfo(DiffField::MStaIdx).settingName, "StaIdx0.mul");
    EXPECT_STREQ(diffFieldInfo(DiffField::MStatics).settingName, "Statics0.mul");
    EXPECT_STREQ(diffFieldInfo(DiffField::MMap).settingName, "Map0.mul");
    EXPECT_STREQ(diffFieldInfo(DiffField::OStaIdx).settingName, "O-StaIdx0.mul");
    EXPECT_STREQ(diffFieldInfo(DiffField::OStatics).settingName, "O-Statics0.mul");
    EXPECT_STREQ(diffFieldInfo(DiffField::OMap).settingName, "O-Map0.mul");
    EXPECT_FALSE(diffFieldInfo(DiffField::MStaIdx).userEditable);
    EXPECT_FALSE(diffFieldInfo(DiffField::MStatics).userEditable);
    EXPECT_TRUE(diffFieldInfo(DiffField::MMap).userEditable);
}

TEST(DiffRules, CompactPackageBoxFollowsTheUserThenTheWorldSize) {
    struct Case { const char* stored; std::optional<WorldGeometry> world; bool checked; };
    const Case cases[] = {
        {"", std::nullopt, false},                       // files not known yet
        {"", WorldGeometry(), false},                    // the old clients' world: version 2
        {"", WorldGeometry(0, 896, 512), true},          // any other world
        {"", WorldGeometry(4, 181, 181), true},
        {"0", WorldGeometry(0, 896, 512), false},         // the user's choice wins either way
        {"1", WorldGeometry(), true},
        {"1", std::nullopt, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(compactPackageChecked(c.stored, c.world), c.checked)
            << "stored '" << c.stored << "', " << (c.world ? c.world->blocksText() : "no world");
}

} // namespace
} // namespace tq
