#include "core/error.h"
#include "core/int_parse.h"

#include "support/error_of.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

TEST(IntParse, ReadsDecimalAndDollarHex) {
    struct Case { const char* text; int32_t value; };
    const Case cases[] = {
        {"0", 0},           {"42", 42},          {"-5", -5},         {"+7", 7},
        {"  12", 12},       {"\t3", 3},          {"007", 7},         {"$1F", 31},
        {"$ff", 255},       {"-$10", -16},       {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},              {"$FFFFFFFF", -1},  {"$80000000", INT32_MIN},
        {"1073741825", 1073741825},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseInt(c.text), c.value) << c.text;
        int32_t v = 0;
        EXPECT_TRUE(tryParseInt(c.text, v)) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
    }
}

TEST(IntParse, RefusesEverythingElseWithTheTextInTheMessage) {
    const char* bad[] = {"", " ", "-", "+", "$", "12a", "12 ", "1 2", "2147483648", "-2147483649",
                         "$100000000", "0x10", "1.5", "--1", "$-1", "ABC", "99999999999999999999"};
    for (const char* text : bad) {
        EXPECT_EQ(test::errorOf([&] { parseInt(text); }), "'" + std::string(text) + "' is not a valid integer value")
            << text;
        int32_t v = 123;
        EXPECT_FALSE(tryParseInt(text, v)) << text;
    }
    EXPECT_THROW(parseInt("x"), ConvertError);
}

} // namespace
} // namespace tq
