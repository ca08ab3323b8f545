#include "core/error.h"
#include "core/spaced_hex.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

TEST(SpacedHex, FormatsLeastSignificantByteFirst) {
    struct Case { int32_t value; uint8_t width; const char* text; };
    const Case cases[] = {
        {int32_t(0x5A9CC20D), 4, "0D C2 9C 5A"},
        {3821, 2, "ED 0E"},
        {3821, 1, "ED"},
        {0, 2, "00 00"},
        {13, 1, "0D"},
        {-1, 3, "FF FF FF"},
        {0x01020304, 9, "04 03 02 01"},
        {7, 0, ""},
    };
    for (const Case& c : cases) EXPECT_EQ(IntToSpacedHex(c.value, c.width), c.text) << c.value;
}

TEST(SpacedHex, ParsesFirstPairAsMostSignificant) {
    struct Case { const char* text; uint8_t width; uint32_t value; };
    const Case cases[] = {
        {"0E ED", 2, 0x0EED},     {"0e ed", 2, 0x0EED},       {" 0EED ", 2, 0x0EED},
        {"0 E E D", 2, 0x0EED},   {"\t0EED\r\n", 2, 0x0EED},  {"0D C2 9C 5A", 4, 0x0DC29C5A},
        {"ED 0E", 2, 0xED0E},     {"ff ff ff ff", 4, 0xFFFFFFFF},
        // Widths no caller uses: the undefined low bytes are 0.
        {"0E", 1, 0x0E000000},    {"01 02 03", 3, 0x01020300},
    };
    for (const Case& c : cases) EXPECT_EQ(uint32_t(SpacedHexToInt(c.text, c.width)), c.value) << c.text;
}

TEST(SpacedHex, RefusesWhatIsNotSpacedHex) {
    const char* bad[] = {"0E", "0E ED 00", "", "0G ED", "0E-ED", "0E\tED", "0E:D"};
    for (const char* text : bad) {
        try {
            SpacedHexToInt(text, 2);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const ConvertError& e) {
            EXPECT_STREQ(e.what(), "Input not SpacedHex");
        }
    }
}

} // namespace
} // namespace tq
