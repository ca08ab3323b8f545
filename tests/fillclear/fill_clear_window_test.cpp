#include "core/error.h"
#include "fillclear/fill_clear_window.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

TEST(FillClearWindowRules, AltitudeClampedToASignedByteOnLeavingTheField) {
    struct Case {
        const char* typed;
        std::optional<std::string> replacement;
    };
    const Case cases[] = {
        {"300", "127"}, {"-300", "-128"}, {"128", "127"}, {"-129", "-128"}, {"$FF", "127"},
        {"12", std::nullopt}, {"127", std::nullopt}, {"-128", std::nullopt}, {" 0", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(clampedAltitudeText(c.typed), c.replacement);
    }
    try {
        clampedAltitudeText("high");
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "'high' is not a valid integer value");
    }
}

TEST(FillClearWindowRules, OnePassAlwaysChosenAndItsControlsFollow) {
    struct Case {
        FillClearPasses after;
        bool staticsClicked;
        FillClearPasses passes;
    };
    const Case cases[] = {
        {{true, false}, false, {true, false}},  // map cleared: tile and altitude off
        {{false, false}, true, {false, true}},  // then statics cleared: map back on
        {{false, false}, false, {true, false}},
        {{true, true}, true, {true, true}},
    };
    for (const Case& c : cases) {
        const FillClearPassControls got = decideFillClearPasses(c.after, c.staticsClicked);
        EXPECT_EQ(got.passes, c.passes);
        EXPECT_EQ(got.staticsClearInfo, c.passes.statics);
        EXPECT_EQ(got.tileAndAltitude, c.passes.map);
    }
}

TEST(FillClearWindowRules, GoNeedsAllThreePaths) {
    EXPECT_EQ(decideFillClearGo({true, true, true}), (FillClearGoState{true, true}));
    EXPECT_EQ(decideFillClearGo({true, true, false}), FillClearGoState{});
    EXPECT_EQ(decideFillClearGo({false, true, true}), FillClearGoState{});
    EXPECT_EQ(decideFillClearGo({true, false, true}), FillClearGoState{});
}

} // namespace
} // namespace tq
