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
    for (const char* name : {"StaIdx0.MUL", "staidx0.mul.bak", "items.pat", "staidx4.mul", "statics03.mul",
                             "map7.mul", "Map5.MUL", "staidx.mul", "map2LegacyMUL.uop", "staidx2LegacyMUL.uop"})
        writeBytes(dir.file(name), "x");
    std::filesystem::create_directory(dir.path() / "statics0.mul");
    using K = PathKind;
    struct Case {
        std::string path;
        PathKind kind;
        C colour;
        std::optional<int> facet;
        std::string reason;
    };
    const Case cases[] = {
        {dir.file("StaIdx0.MUL"), K::StaticIndex, C::Green, 0, ""},
        {dir.file("staidx4.mul"), K::StaticIndex, C::Green, 4, ""},
        {dir.file("Map5.MUL"), K::Map, C::Green, 5, ""},
        {dir.file("map2LegacyMUL.uop"), K::Map, C::Green, 2, ""},       // a map in a container
        {dir.file("map2LegacyMUL.uop"), K::StaticIndex, C::Red, {}, ""},
        {dir.file("staidx2LegacyMUL.uop"), K::StaticIndex, C::Red, {}, ""},
        {dir.file("staidx4.mul"), K::Statics, C::Red, {}, ""},          // a name of another kind
        {dir.file("staidx0.mul.bak"), K::StaticIndex, C::Red, {}, ""},
        {dir.file("staidx.mul"), K::StaticIndex, C::Red, {}, ""},       // no facet number
        {dir.file("statics03.mul"), K::Statics, C::Red, {}, ""},        // not how a facet is written
        {dir.file("map7.mul"), K::Map, C::Red, 7, "map7.mul: There is no facet 7; facets are 0 to 5"},
        {dir.file("staidx1.mul"), K::StaticIndex, C::Red, {}, ""},      // no such file
        {dir.file("items.pat"), K::Statics, C::Red, {}, ""},            // exists under another name
        {dir.file("statics0.mul"), K::Statics, C::Red, {}, ""},         // a folder, not a file
        {dir.file("items.pat"), K::AnyFile, C::Green, {}, ""},          // the world-save field takes any file
        {"", K::AnyFile, C::Red, {}, ""},
        {dir.file("statics0.mul"), K::AnyFile, C::Red, {}, ""},         // a folder is no file
        // The world-save field: a file, or a folder (today's save of region files).
        {dir.file("statics0.mul"), K::FileOrFolder, C::Green, {}, ""},
        {dir.file("items.pat"), K::FileOrFolder, C::Green, {}, ""},
        {dir.file("gone"), K::FileOrFolder, C::Red, {}, ""},
        {"", K::FileOrFolder, C::Red, {}, ""},
        {"", K::StaticIndex, C::Red, {}, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(judgePathField(c.path, c.kind), (PathVerdict{c.colour, c.facet, c.reason})) << c.path;
}

TEST(MainRules, TheFieldsOfOneWindowShareOneFacet) {
    TempDir dir;
    for (const char* name : {"staidx0.mul", "statics0.mul", "map0.mul", "staidx2.mul", "Statics2.mul", "map2.mul",
                             "items.wsc"})
        writeBytes(dir.file(name), "x");
    using K = PathKind;
    const auto colours = [&](const std::vector<std::pair<std::string, PathKind>>& fields) {
        std::vector<std::string> out;
        for (const PathVerdict& v : judgePathFields(fields))
            out.push_back(v.colour == C::Green ? "green" : v.reason.empty() ? "red" : v.reason);
        return out;
    };
    using V = std::vector<std::string>;
    // The odd one out turns red, whichever field it is.
    EXPECT_EQ(colours({{dir.file("staidx0.mul"), K::StaticIndex},
                       {dir.file("statics0.mul"), K::Statics},
                       {dir.file("map2.mul"), K::Map}}),
              (V{"green", "green", "map2.mul is of facet 2, the other files of facet 0"}));
    EXPECT_EQ(colours({{dir.file("staidx0.mul"), K::StaticIndex},
                       {dir.file("Statics2.mul"), K::Statics},
                       {dir.file("map2.mul"), K::Map}}),
              (V{"staidx0.mul is of facet 0, the other files of facet 2", "green", "green"}));
    // A tie goes to the first field; missing files and the any-file field have no say.
    EXPECT_EQ(colours({{dir.file("staidx2.mul"), K::StaticIndex},
                       {dir.file("statics0.mul"), K::Statics},
                       {dir.file("items.wsc"), K::AnyFile}}),
              (V{"green", "statics0.mul is of facet 0, the other files of facet 2", "green"}));
    EXPECT_EQ(colours({{dir.file("staidx1.mul"), K::StaticIndex},
                       {dir.file("statics0.mul"), K::Statics},
                       {dir.file("map0.mul"), K::Map}}),
              (V{"red", "green", "green"}));
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
        EXPECT_EQ(b.chooseGameFolder, !c.loaded);  // the loaded index keeps its files
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
