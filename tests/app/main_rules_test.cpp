#include "app/main_rules.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tq {
namespace {

using test::TempDir;
using test::writeBytes;
using C = FieldColour;

TEST(MainRules, PathFieldsAreJudgedByExistenceAndLowerCasedName) {
    TempDir dir;
    writeBytes(dir.file("StaIdx0.MUL"), "x");
    writeBytes(dir.file("staidx0.mul.bak"), "x");
    writeBytes(dir.file("items.pat"), "x");
    std::filesystem::create_directory(dir.path() / "statics0.mul");
    struct Case {
        std::string path;
        const char* expected;
        C colour;
    };
    const Case cases[] = {
        {dir.file("StaIdx0.MUL"), "staidx0.mul", C::Green},
        {dir.file("staidx0.mul.bak"), "staidx0.mul", C::Red},
        {dir.file("staidx0.mul"), "staidx0.mul", C::Red},   // no such file
        {dir.file("items.pat"), "statics0.mul", C::Red},    // exists under another name
        {dir.file("statics0.mul"), "statics0.mul", C::Red}, // a folder, not a file
        {dir.file("items.pat"), "", C::Green},              // the world-save field takes any file
        {"", "", C::Red},
        {"", "staidx0.mul", C::Red},
    };
    for (const Case& c : cases) EXPECT_EQ(judgePathField(c.path, c.expected), c.colour) << c.path << " " << c.expected;
}

MainButtonStates buttons(C staIdx, C statics, C wsc, bool loaded, bool frozen, uint8_t mode) {
    MainWindowState s;
    s.staIdx = staIdx;
    s.statics = statics;
    s.worldSave = wsc;
    s.indexLoaded = loaded;
    s.frozen = frozen;
    s.mode = mode;
    return decideMainButtons(s);
}

TEST(MainRules, UpdateButtonsFollowsFieldsIndexFreezeAndMode) {
    using Save = MainButtonStates::Save;
    struct Case {
        C staIdx, statics, wsc;
        bool loaded, frozen;
        uint8_t mode;
        // expected
        Save save;
        bool getIndex, blockOps, freeze, diff, fill, ruleAndPat, mapEdit;
    };
    const bool T = true, F = false;
    const Case cases[] = {
        // Normal mode
        {C::Plain, C::Plain, C::Plain, F, F, 0, Save::Nothing, F, F, F, F, F, T, T},
        {C::Green, C::Red, C::Green, F, F, 0, Save::Nothing, F, F, F, F, F, T, T},
        {C::Green, C::Green, C::Red, F, F, 0, Save::StaticsPaths, F, F, F, T, T, T, T},
        {C::Green, C::Green, C::Plain, T, F, 0, Save::StaticsPaths, F, F, F, T, T, T, T},
        {C::Green, C::Green, C::Green, F, F, 0, Save::AllPaths, T, F, F, T, T, T, T},
        {C::Green, C::Green, C::Green, T, F, 0, Save::AllPaths, F, T, T, T, T, T, T},
        {C::Green, C::Green, C::Green, T, T, 0, Save::AllPaths, F, T, T, T, T, T, T},
        // A stored mode other than 0 and 1 behaves as Normal mode.
        {C::Green, C::Green, C::Green, T, T, 7, Save::AllPaths, F, T, T, T, T, T, T},
        // Simple mode: only GetStaticIndex, Freeze! (once) and TQ-Diff.
        {C::Plain, C::Plain, C::Plain, F, F, 1, Save::Nothing, F, F, F, F, F, F, F},
        {C::Green, C::Green, C::Red, F, F, 1, Save::StaticsPaths, F, F, F, T, F, F, F},
        {C::Green, C::Green, C::Green, F, F, 1, Save::AllPaths, T, F, F, T, F, F, F},
        {C::Green, C::Green, C::Green, T, F, 1, Save::AllPaths, F, F, T, T, F, F, F},
        {C::Green, C::Green, C::Green, T, T, 1, Save::AllPaths, F, F, F, T, F, F, F},
    };
    for (const Case& c : cases) {
        const MainButtonStates b = buttons(c.staIdx, c.statics, c.wsc, c.loaded, c.frozen, c.mode);
        SCOPED_TRACE(::testing::Message() << int(c.staIdx) << int(c.statics) << int(c.wsc) << " loaded "
                                          << c.loaded << " frozen " << c.frozen << " mode " << int(c.mode));
        EXPECT_EQ(b.save, c.save);
        EXPECT_EQ(b.getStaticIndex, c.getIndex);
        EXPECT_EQ(b.blockFields, c.blockOps);
        EXPECT_EQ(b.getStaticBlock, c.blockOps);
        EXPECT_EQ(b.melt, c.blockOps);
        EXPECT_EQ(b.freeze, c.freeze);
        EXPECT_EQ(b.tqDiff, c.diff);
        EXPECT_EQ(b.fillClear, c.fill);
        EXPECT_EQ(b.selectItems, c.ruleAndPat);
        EXPECT_EQ(b.writePat, c.ruleAndPat);
        EXPECT_EQ(b.mapEdit, c.mapEdit);
    }
}

TEST(MainRules, MissingWindowsAndLockedFreezeChoicesKeepTheirControlsOff) {
    MainWindowState s;
    s.staIdx = s.statics = s.worldSave = C::Green;
    s.indexLoaded = true;
    s.diffWindow = s.fillClearWindow = s.mapEditWindow = false;
    s.freezeChoicesLocked = true;
    const MainButtonStates b = decideMainButtons(s);
    EXPECT_FALSE(b.tqDiff);
    EXPECT_FALSE(b.fillClear);
    EXPECT_FALSE(b.mapEdit);
    EXPECT_FALSE(b.selectItems);
    EXPECT_FALSE(b.writePat);
    EXPECT_TRUE(b.freeze);  // Normal mode freezes again, with the same choices
}

TEST(MainRules, GuidanceShowsTheFirstMissingStep) {
    struct Case {
        C staIdx, statics, wsc;
        bool loaded, frozen;
        int step;
    };
    const Case cases[] = {
        {C::Red, C::Red, C::Red, false, false, 0},
        {C::Green, C::Red, C::Red, false, false, 1},
        {C::Plain, C::Red, C::Green, false, false, 1},  // a field not yet judged is not red
        {C::Green, C::Green, C::Red, false, false, 2},
        {C::Plain, C::Plain, C::Plain, false, false, 3},
        {C::Green, C::Green, C::Green, false, false, 3},
        {C::Green, C::Green, C::Green, true, false, 4},
        {C::Green, C::Green, C::Green, true, true, 5},
        {C::Green, C::Green, C::Green, false, true, 3},  // the index must be loaded again
    };
    for (const Case& c : cases) {
        MainWindowState s;
        s.staIdx = c.staIdx;
        s.statics = c.statics;
        s.worldSave = c.wsc;
        s.indexLoaded = c.loaded;
        s.frozen = c.frozen;
        EXPECT_EQ(guidanceStep(s), c.step) << int(c.staIdx) << int(c.statics) << int(c.wsc);
    }
    EXPECT_EQ(guidanceLines(3).front(), "Click on the \"GetStaticIndex\"-button to the right.");
    EXPECT_EQ(guidanceLines(5).size(), 2u);
}

TEST(MainRules, BlockFieldsAreClampedOnExitAndRefusedOutsideTheWorld) {
    struct Case {
        const char* text;
        int max;
        std::optional<std::string> result;
    };
    const Case cases[] = {
        {"900", 767, "767"}, {"-5", 767, "0"}, {"767", 767, std::nullopt}, {"512", 511, "511"},
        {"12", 511, std::nullopt}, {" 12", 511, std::nullopt},  // in range: stays as typed
    };
    for (const Case& c : cases) EXPECT_EQ(clampedBlockFieldText(c.text, c.max), c.result) << c.text;
    try {
        clampedBlockFieldText("1x", 767);
        FAIL() << "no error";
    } catch (const ConvertError& e) {
        EXPECT_STREQ(e.what(), "'1x' is not a valid integer value");
    }

    EXPECT_EQ(readBlockFields("767", "511").x, 767);
    for (auto [x, y] : {std::pair{"768", "0"}, {"0", "512"}, {"-1", "0"}, {"0", "-1"}}) {
        try {
            readBlockFields(x, y);
            FAIL() << x << "," << y;
        } catch (const ConvertError&) {
            FAIL() << "a number, not a conversion error";
        } catch (const Error& e) {
            EXPECT_NE(std::string(e.what()).find("0..767"), std::string::npos);
        }
    }
    EXPECT_THROW(readBlockFields("", "0"), ConvertError);
}

} // namespace
} // namespace tq
