#include "core/error.h"
#include "fillclear/fill_clear.h"
#include "fillclear/fill_clear_rules.h"

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

TEST(FillClearWindowRules, TextsCheckedAsTheRunChecksThem) {
    struct Case {
        const char* top;
        const char* altitude;
        const char* tile;
        bool fillMap;
        const char* error;  // nullptr: accepted
    };
    const Case cases[] = {
        {"0", "0", "00 A8", true, nullptr},
        {"0", "-5", "random WATER", true, nullptr},
        {"0", "x", "lava?", false, nullptr},  // tile and altitude unused without the map pass
        {"1O", "0", "00 A8", true, "'1O' is not a valid integer value"},
        {"1O", "0", "00 A8", false, "'1O' is not a valid integer value"},
        {"0", "up", "00 A8", true, "'up' is not a valid integer value"},
        {"0", "0", "lava?", true, "Input not SpacedHex"},
        {"0", "0", "", true, "Input not SpacedHex"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.top) + " / " + c.altitude + " / " + c.tile);
        FillClearInput in;
        in.Top = c.top;
        in.Altitude = c.altitude;
        in.Tile = c.tile;
        in.FillMap = c.fillMap;
        if (!c.error) {
            EXPECT_NO_THROW(validateFillClear(in));
            continue;
        }
        try {
            validateFillClear(in);
            ADD_FAILURE() << "accepted";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), c.error);
        }
    }
}

} // namespace
} // namespace tq
