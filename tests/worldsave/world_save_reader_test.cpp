#include "core/error.h"
#include "tools/reference_passes.h"
#include "world_fixture.h"
#include "worldsave/world_save_reader.h"
#include "worldsave/world_save_text.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

using test::worldItem;

struct Selection {
    std::unique_ptr<SelectionTable> table = newSelectionTable();
    std::vector<std::string> log;
};

Selection select(const std::string& text, SelectionRule rule, const AutoSelectIds& ids = {}) {
    Selection s;
    SelectWorldItems(std::string_view(text), *s.table, rule, ids, [&](const std::string& l) { s.log.push_back(l); });
    return s;
}

TEST(SelectWorldItems, MatchesTagsCaseInsensitivelyOnlyInTheFirstColumn) {
    const std::string text =
        "section worlditem 3\r\n{\r\nid 5\r\nx 1234\r\ny 567\r\ntype 255\r\n}\r\n"  // lower case: read
        "SECTION WORLDITEM 4\r\n{\r\nX 8\r\nY 8\r\n  TYPE 255\r\n}\r\n"           // indented TYPE: ignored
        "SECTION WORLDITEM 5\r\n{\r\nX 16\r\nY 16\r\nTYPE 255\r\n  }\r\n";        // indented brace: no close
    const Selection s = select(text, SelectionRule::Type255);
    EXPECT_EQ((*s.table)[3].Selected, 1);
    EXPECT_EQ((*s.table)[3].BlockX, 154);
    EXPECT_EQ((*s.table)[3].BlockY, 70);
    EXPECT_EQ((*s.table)[4].Selected, 0);
    EXPECT_EQ((*s.table)[5].Selected, 0);
    EXPECT_EQ(s.log, std::vector<std::string>{"Selecting item for export: 3"});
}

TEST(SelectWorldItems, RulesTable) {
    AutoSelectIds ids;
    ids.set(3821);
    struct Case {
        const char* what;
        std::string item;
        bool type255, autoRule;
    };
    const std::string noName = "SECTION WORLDITEM 1\r\n{\r\nID 3821\r\nCONT -1\r\nTYPE 0\r\n}\r\n";
    const Case cases[] = {
        {"type 255 on the ground", worldItem(1, 7, 8, 8, 255), true, true},
        {"type 255 in a container", worldItem(1, 7, 8, 8, 255, "", 1073741999), true, false},
        {"listed id, name #", worldItem(1, 3821, 8, 8, 0), false, true},
        {"listed id in a container", worldItem(1, 3821, 8, 8, 0, "", 5), false, false},
        {"unlisted id", worldItem(1, 3822, 8, 8, 0), false, false},
        {"name #2", worldItem(1, 3821, 8, 8, 0, "NAME #2\r\n"), false, false},
        {"type 1", worldItem(1, 3821, 8, 8, 1), false, false},
        // The previous item's name "#" must not carry over to an item without NAME.
        {"no name line", worldItem(9, 1, 0, 0, 7) + noName, false, false},
        // TYPE keeps its low 16 bits: 65791 is 255.
        {"type 65791", worldItem(1, 7, 8, 8, 65791), true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(select(c.item, SelectionRule::Type255, ids).table->entries[1].Selected, c.type255) << c.what;
        EXPECT_EQ(select(c.item, SelectionRule::Auto, ids).table->entries[1].Selected, c.autoRule) << c.what;
        EXPECT_EQ(select(c.item, SelectionRule::None, ids).table->entries[1].Selected, 0) << c.what;
    }
}

TEST(SelectWorldItems, SectionNumbersAreKeptModulo65536AndNoneIsNeverSelected) {
    const Selection s = select(worldItem(70000, 1, 8, 16, 255) + worldItem(65535, 1, 8, 8, 255) +
                                   worldItem(-1, 1, 8, 8, 255) +
                                   "SECTION CHARACTER 7\r\n{\r\nTYPE 255\r\n}\r\n",
                               SelectionRule::Type255);
    EXPECT_EQ((*s.table)[4464].Selected, 1);
    EXPECT_EQ((*s.table)[4464].BlockY, 2);
    EXPECT_EQ((*s.table)[65535].Selected, 0);
    EXPECT_EQ((*s.table)[7].Selected, 0);
    EXPECT_EQ(s.log, std::vector<std::string>{"Selecting item for export: 4464"});
}

TEST(SelectWorldItems, BadNumberNamesTheTrimmedUpperCasedText) {
    struct Case {
        std::string text, message;
    };
    const Case cases[] = {
        {"SECTION WORLDITEM 1\r\n{\r\nX  12ab \r\n}\r\n", "'12AB' is not a valid integer value"},
        {"SECTION WORLDITEM zz\r\n", "'ZZ' is not a valid integer value"},
        {"Z 1\r\nz\xe9t 2\r\nZ 4294967296\r\n", "'4294967296' is not a valid integer value"},
        {"CONT \r\n", "'' is not a valid integer value"},
    };
    for (const Case& c : cases) {
        try {
            select(c.text, SelectionRule::Type255);
            ADD_FAILURE() << c.text;
        } catch (const ConvertError& e) {
            EXPECT_EQ(std::string(e.what()), c.message);
        }
    }
}

TEST(ScanHighestNumbers, CountsWorldItemsAndEverySerial) {
    EXPECT_EQ(ScanHighestNumbers("SECTION CHARACTER 9\r\nSERIAL 5\r\n").section, -1);
    EXPECT_EQ(ScanHighestNumbers("SECTION CHARACTER 9\r\nSERIAL 5\r\n").serial, 1073741824);
    const HighestNumbers h = ScanHighestNumbers(
        "section worlditem 41\r\nSECTION WORLDITEM 7\r\nSECTION CHARACTER 99\r\nSERIAL 1073741900\r\n"
        "serial 2147483647\r\nSECTION WORLDITEM -5\r\n");
    EXPECT_EQ(h.section, 41);
    EXPECT_EQ(h.serial, 2147483647);
}

TEST(ExtractBlockItems, TakesTheBlocksItemsInFileOrderAndKeepsEveryOtherLineByteForByte) {
    test::TempDir dir;
    const std::string path = dir.file("items.wsc");
    // LF and CRLF mixed, 8-bit name, last line without an ending.
    const std::string text = "// saved\n" + worldItem(1, 100, 1234, 567, 255, "COLOR 33\r\nZ -3\r\n") +
                             "SECTION WORLDITEM 2\n{\nNAME Sch\xf6n \xff\nX 1234\nY 567\nTYPE 0\n}\n" +
                             worldItem(3, 200, 1232, 560, 255) + worldItem(4, 300, 8, 8, 255) + "EOF";
    test::writeBytes(path, text);
    auto table = newSelectionTable();
    SelectWorldItems(path, *table, SelectionRule::Type255, {}, {});
    TStaticBlock block;
    ExtractBlockItems(path, 154, 70, *table, block);
    ASSERT_EQ(block.Count, 2);
    EXPECT_EQ(block.Records[0], (TStaticRec{100, 2, 7, -3, 33}));
    EXPECT_EQ(block.Records[1], (TStaticRec{200, 0, 0, 0, 0}));
    EXPECT_EQ(test::readBytes(path), "// saved\r\n\r\nSECTION WORLDITEM 2\r\n{\r\nNAME Sch\xf6n \xff\r\nX 1234\r\nY 567\r\n"
                                     "TYPE 0\r\n}\r\n\r\n" +
                                         worldItem(4, 300, 8, 8, 255) + "EOF\r\n");
}

} // namespace
} // namespace tq

namespace tq {
namespace {

// The inline number reader must agree with the general parser on every input.
TEST(WorldSaveNumbers, FastPathAgreesWithTheGeneralParser) {
    const char* cases[] = {"0",           " 42 ",        "\t-5",        "2147483647", "-2147483648", "2147483648",
                           "-2147483649", "9999999999",  "00000000000012", "+7",      "$FF",         "$ffffffff",
                           "-",           "",            "12a",         "1 2",        "- 5",         "1073741825\r",
                           "99999999999999999999"};
    for (const char* text : cases) {
        int32_t slow = 0;
        bool slowOk = true;
        try {
            slow = wstext::parseValueSlow(text);
        } catch (const ConvertError&) {
            slowOk = false;
        }
        try {
            EXPECT_EQ(wstext::parseValue(text), slow) << text;
            EXPECT_TRUE(slowOk) << text;
        } catch (const ConvertError&) {
            EXPECT_FALSE(slowOk) << text;
        }
    }
}

} // namespace
} // namespace tq
