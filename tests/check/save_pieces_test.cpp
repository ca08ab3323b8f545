// A single-file save cut into pieces that are scanned apart (on two threads) must say what
// one scan of the whole file says: findings at their true lines past every cut, a serial used
// again in a later piece, a container in another piece, more faults of one kind than the
// report lists.
#include "check/check_tasks.h"
#include "check/check_world_save.h"
#include "check/section_save_scan.h"
#include "core/error.h"
#include "worldsave/folder_save_text.h"
#include "worldsave/world_save_text.h"

#include "support/save_check_report.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <thread>

namespace tq {
namespace {

// The 1-based line on which `marker` begins.
uint32_t lineOf(const std::string& text, const std::string& marker) {
    const size_t at = text.find(marker);
    EXPECT_NE(at, std::string::npos) << marker;
    return uint32_t(std::count(text.begin(), text.begin() + std::ptrdiff_t(at), '\n') + 1);
}

std::string itemSerial(int i) { return std::to_string(0x40000000u + uint32_t(i)); }

// 400 items (and a character every 25) in both line ends and both cases, with faults spread
// through the file: 80 values that do not read (more than the 50 listed), a serial used three
// times far apart, a missing container, an item outside the map, a container that is an
// object in another piece; the file's last line has no line end.
std::string faultySave() {
    std::string text = "// a save for the piece test\n\n";
    for (int i = 0; i < 400; ++i) {
        const std::string end = i % 2 ? "\n" : "\r\n";
        const bool lower = i % 7 == 3;
        auto key = [&](const std::string& k) {
            std::string s = k;
            if (lower) std::transform(s.begin(), s.end(), s.begin(), [](char c) { return char(std::tolower(c)); });
            return s;
        };
        if (i % 25 == 0)
            text += key("SECTION CHARACTER ") + std::to_string(i / 25) + end + "{" + end + key("SERIAL ") +
                    std::to_string(i / 25 + 1) + end + "NAME someone" + end + "X 5" + end + "}" + end + end;
        std::string serial = itemSerial(i);
        if (i == 200 || i == 395) serial = itemSerial(5);
        if (i == 390) serial = itemSerial(10);
        std::string cont = "-1";
        if (i == 300) cont = "2147483632";
        if (i == 350 || i % 9 == 4) cont = itemSerial(20);
        text += key("SECTION WORLDITEM ") + std::to_string(i) + end + "{" + end;
        if (i != 120) text += key("SERIAL ") + serial + end;
        text += "NAME #" + end + key("ID ") + std::to_string(3000 + i) + end;
        text += key("X ") + (i == 250 ? std::string("9000") : std::to_string(i * 3)) + end + key("Y ") + "17" + end;
        text += key("Z ") + (i % 5 == 2 ? std::string("1O") : std::string("4")) + end;
        text += key("CONT ") + cont + end + key("TYPE ") + "0" + end + "}" + end + end;
    }
    return text + "SECTION GUILD 0\n{\nNAME The Wardens\n}\nEOF";
}

std::vector<std::string> checkOf(const std::string& path, size_t parts, uint64_t leastPiece, size_t& made, bool threads) {
    const FacetWorlds worlds = [](int) { return WorldGeometry(0, 896, 512); };
    WorldSaveCheck check(path, worlds, parts, leastPiece);
    made = check.parts();
    if (threads) {
        std::vector<CheckTask> tasks;
        for (size_t i = 0; i < check.parts(); ++i)
            tasks.push_back([&check, i](TaskContext& context) {
                check.scan(i, context.scratch<WorldSaveCheck::Scratch>(), [&context](uint64_t n) { context.advance(n); });
            });
        // The bar and the pump are only ever called from this thread.
        const std::thread::id me = std::this_thread::get_id();
        int reports = 0;
        Progress progress;
        progress.position = [&](int) {
            EXPECT_EQ(std::this_thread::get_id(), me);
            ++reports;
        };
        RunCheckTasks(tasks, check.bytes(), progress);
        EXPECT_GT(reports, 0);
        CheckReport report;
        check.finish(report);
        return test::reportText(report);
    }
    return test::scanAndReport(check);
}

TEST(SavePieces, ACutSaveSaysWhatOneScanSays) {
    test::TempDir dir;
    const std::string path = dir.file("items.wsc");
    const std::string text = faultySave();
    test::writeBytes(path, text);

    size_t made = 0;
    const std::vector<std::string> whole = checkOf(path, 1, WorldSaveCheck::LeastPiece, made, false);
    ASSERT_EQ(made, 1u);
    for (const bool threads : {false, true}) {
        const std::vector<std::string> cut = checkOf(path, 9, 1, made, threads);
        EXPECT_EQ(made, 9u) << "a cut at a SECTION line near each ninth of the file";
        EXPECT_EQ(cut, whole) << (threads ? "on two threads" : "on one");
    }

    // The lines are those of the whole file, in the last pieces as in the first.
    auto has = [&](const std::string& line) { return std::find(whole.begin(), whole.end(), line) != whole.end(); };
    const uint32_t first = lineOf(text, "SECTION WORLDITEM 5\n"), second = lineOf(text, "SECTION WORLDITEM 200\r"),
                   third = lineOf(text, "section worlditem 395\n");
    EXPECT_TRUE(has(path + ": error: line " + std::to_string(second) + ": serial 0x40000005 is already used at line " +
                    std::to_string(first)));
    EXPECT_TRUE(has(path + ": error: line " + std::to_string(third) + ": serial 0x40000005 is already used at line " +
                    std::to_string(second)));
    EXPECT_TRUE(has(path + ": error: line " + std::to_string(lineOf(text, "SECTION WORLDITEM 390\r")) +
                    ": serial 0x4000000a is already used at line " + std::to_string(lineOf(text, "section worlditem 10\r"))));
    EXPECT_TRUE(has(path + ": error: line " + std::to_string(lineOf(text, "SECTION WORLDITEM 300\r")) +
                    ": the item lies in container 0x7ffffff0, which is no object of the save"));
    EXPECT_TRUE(has(path + ": error: line " + std::to_string(lineOf(text, "SECTION WORLDITEM 250\r")) +
                    ": item 0x400000fa lies at (9000, 17), outside the map of facet 0 (7168 \u00d7 4096 cells)"));
    EXPECT_EQ(std::count_if(whole.begin(), whole.end() - 1,
                            [](const std::string& l) { return l.find("is not a valid integer value") != std::string::npos; }),
              50);
    EXPECT_TRUE(has(path + ": 30 more of the kind bad-record not listed"));
    EXPECT_EQ(whole[whole.size() - 2], "85 problems found in 1 file");
}

// Today's folder save read in groups of region files (on two threads) must say what one
// reading of all of them says: findings in file and line order, a serial used again in a
// file of another group (named in the message), a container in another group, one missing.
TEST(SavePieces, AFolderReadInGroupsSaysWhatOneReadingSays) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.path() / "shared");
    auto item = [](uint32_t serial, const std::string& location, const std::string& cont = "0xffffffff") {
        return "[ITEM]\nSerial=" + wsc::hexNumber(serial, 8) + "\nId=0x0e75\nLocation=" + location + "\nCont=" + cont +
               "\no---o\n\n";
    };
    for (int f = 0; f < 7; ++f) {
        std::string text;
        for (int i = 0; i < 40; ++i) {
            const uint32_t serial = 0x40000000u + uint32_t(f * 100 + i);
            if (f == 5 && i == 7) text += item(0x40000003, "5,5,0,0,0");                       // used in file 0 too
            else if (f == 2 && i == 9) text += item(serial, "5,5,0,0,0", "0x40000610");        // in file 6's item
            else if (f == 4 && i == 1) text += item(serial, "5,5,0,0,0", "0x7ffffff0");        // in no object
            else if (f == 3 && i == 30) text += item(serial, "9000,5,0,0,0");                  // outside the map
            else if (f == 1 && i == 2) text += "[ITEM]\nSerial=0x4000zz\nLocation=1,1,0,0,0\no---o\n\n";
            else text += item(serial, std::to_string(i) + ",5,0,0,0");
        }
        test::writeBytes(dir.file("shared/" + std::to_string(f) + ".0.wsc"), text);
    }
    const std::string path = dir.file("shared");
    size_t made = 0;
    const std::vector<std::string> whole = checkOf(path, 1, WorldSaveCheck::LeastPiece, made, false);
    ASSERT_EQ(made, 1u);
    for (const bool threads : {false, true}) {
        const std::vector<std::string> grouped = checkOf(path, 4, 1, made, threads);
        EXPECT_EQ(made, 4u);
        EXPECT_EQ(grouped, whole) << (threads ? "on two threads" : "on one");
    }
    auto has = [&](const std::string& line) { return std::find(whole.begin(), whole.end(), line) != whole.end(); };
    const std::string f0 = dir.file("shared/0.0.wsc"), f4 = dir.file("shared/4.0.wsc"), f5 = dir.file("shared/5.0.wsc");
    EXPECT_TRUE(has(f5 + ": error: line 50: serial 0x40000003 is already used at " + f0 + " line 22"));
    EXPECT_TRUE(has(f4 + ": error: line 8: the item lies in container 0x7ffffff0, which is no object of the save"));
    EXPECT_EQ(whole[whole.size() - 2], "5 problems found in 1 file");
}

// A cut is the first SECTION line after its target, however far into the search it lies (the
// search reads a step at a time); none when no SECTION line is near.
TEST(SavePieces, CutsAtTheFirstSectionLineAfterTheTarget) {
    test::TempDir dir;
    const std::string path = dir.file("items.wsc");
    constexpr size_t Size = 700000, Target = Size / 2, Reach = 256 * 1024;
    for (const size_t past : {size_t(0), size_t(1), size_t(2), size_t(100), size_t(16384 - 9), size_t(16384 - 8),
                              size_t(16384 - 7), size_t(16384), size_t(16385), size_t(2 * 16384 - 8), size_t(40000),
                              Reach - 9, Reach - 8, Reach - 7, size_t(300000)}) {
        // Lines of filler, the second SECTION line beginning `past` bytes after the target.
        std::string text = "SECTION WORLDITEM 0\n{\n";
        auto fillTo = [&text](size_t end) {
            while (text.size() + 40 < end) text += "NAME 12345678901234\n";
            text += "NAME " + std::string(end - text.size() - 6, 'a') + "\n";
        };
        fillTo(Target + past);
        text += "SECTION WORLDITEM 1\n{\n";
        fillTo(Size);
        ASSERT_EQ(text.size(), Size);
        test::writeBytes(path, text);
        // The first line start after a line feed at or past the target, within reach.
        std::vector<uint64_t> expected = {0};
        for (size_t j = Target; j + 8 < std::min(Target + Reach, Size); ++j)
            if (text[j] == '\n' && text.compare(j + 1, 8, "SECTION ") == 0) {
                expected.push_back(j + 1);
                break;
            }
        expected.push_back(Size);
        EXPECT_EQ(SectionCuts(path, Size, 2), expected) << past;
        EXPECT_EQ(expected.size(), past >= 1 && past < Reach - 7 ? 3u : 2u) << past;
    }
}

// Keys are read in any case, as the save reader reads them; lines that only begin like a key
// (COLOR, STRENGTH, XY) are no key.
TEST(SavePieces, KeysInAnyCase) {
    const FacetWorlds worlds = [](int) { return WorldGeometry(0, 896, 512); };
    test::TempDir dir;
    const std::string path = dir.file("items.wsc");
    auto cased = [](std::string text, int how) {
        for (size_t i = 0; i < text.size(); ++i) {
            const bool lower = how == 1 || (how == 2 && i > 0 && text[i - 1] != ' ') || (how == 3 && i % 2 == 1);
            if (lower) text[i] = char(std::tolower(static_cast<unsigned char>(text[i])));
        }
        return text;
    };
    std::string text;
    for (int how = 0; how < 4; ++how) {
        // An item in a missing container, then one outside the map.
        text += cased("SECTION WORLDITEM ", how) + std::to_string(2 * how) + "\n{\n" + cased("SERIAL ", how) +
                std::to_string(1073741824 + 2 * how) + "\nCOLOR 12\nSTRENGTH 3\n" + cased("CONT ", how) + "2147483632\n}\n";
        text += cased("SECTION WORLDITEM ", how) + std::to_string(2 * how + 1) + "\n{\n" + cased("SERIAL ", how) +
                std::to_string(1073741825 + 2 * how) + "\nXY 5\n" + cased("X ", how) + "9000\n" + cased("Y ", how) +
                "17\n" + cased("Z ", how) + "1O\n}\n";
    }
    test::writeBytes(path, text);
    WorldSaveCheck check(path, worlds);
    WorldSaveCheck::Scratch scratch;
    check.scan(0, scratch);
    CheckReport report;
    check.finish(report);
    std::map<std::string, int> kinds;
    for (const Finding& f : report.findings()) ++kinds[f.kind];
    EXPECT_EQ(kinds, (std::map<std::string, int>{{"bad-record", 4}, {"item-outside-map", 4}, {"missing-container", 4}}))
        << text;
}

// The scan reads the plain numbers of a save on a path of its own, eight digits at a time; every
// value must come out as the save reader's own parser reads it, or be refused with its message.
TEST(SavePieces, ValuesReadAsTheSaveReaderReadsThem) {
    // Every length of digits, and what lies around the plain form.
    const std::string values[] = {"7",          "42",          "123",         "4567",        "54321",      "654321",
                                  "1234567",    "12345678",    "123456789",   "1234567890",  "0",          "7167",
                                  "7168",       "-1",          "-0",          "-98765",      "2147483647", "2147483648",
                                  "-2147483648", "-2147483649", "9999999999",  "99999999999", "00000000005", "0000000000005",
                                  " 5",         "5 ",          "5\t",         "  -7  ",      "+5",         "$1F",
                                  "$FFFFFFFF",  "1O",          "",            "-",           "--1",        "5-",
                                  "1 2",        "\x01" "5",    "5\r",         "-12\r",       "123\r\r"};
    const FacetWorlds worlds = [](int) { return WorldGeometry(0, 896, 512); };
    test::TempDir dir;
    const std::string path = dir.file("items.wsc");
    for (const std::string& value : values) {
        // X is read for where the item lies, CONT for the container it names, Z only to see
        // that it reads.
        for (const std::string key : {"X", "CONT", "Z"}) {
            // Followed by more lines, so that what lies past the value's line end is read too.
            test::writeBytes(path, "SECTION WORLDITEM 0\n{\nSERIAL 1073741824\nX 5\n" + key + " " + value +
                                       "\nY 17\n}\n\nSECTION WORLDITEM 1\n{\nSERIAL 1073741825\nX 9\nY 9\n}\n");
            WorldSaveCheck check(path, worlds);
            WorldSaveCheck::Scratch scratch;
            check.scan(0, scratch);
            CheckReport report;
            check.finish(report);

            std::string expected;
            try {
                const int32_t v = wstext::parseValue(value);
                if (key == "CONT" && v != -1)
                    expected = "missing-container line 1: the item lies in container " + wsc::hexNumber(uint32_t(v), 8) +
                               ", which is no object of the save";
                else if (key == "X" && !worlds(0).validCell(v, 17))
                    expected = "item-outside-map line 1: " + ItemOutsideMapText(0x40000000, v, 17, 0, worlds(0));
            } catch (const Error& e) {
                expected = "bad-record line 5: " + std::string(e.what());
            }
            std::string found;
            for (const Finding& f : report.findings()) found += (found.empty() ? "" : " / ") + f.kind + " " + f.where + ": " + f.what;
            EXPECT_EQ(found, expected) << key << " '" << value << "'";
        }
    }
}

} // namespace
} // namespace tq
