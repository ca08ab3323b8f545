#include "check/check_report.h"
#include "core/bytes.h"
#include "core/static_index.h"
#include "diff/diff_package.h"
#include "tools/synthetic_world.h"

#include "check/small_world.h"
#include "support/run_cli.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <vector>

namespace tq {
namespace {

using test::Facet4;
using test::hasLine;
using test::SmallWorld;

TEST(Check, SoundSmallWorldIsClean) {
    SmallWorld w;
    const auto r = test::runCli({"check", w.dir.path().string()});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    const auto lines = w.lines(r.out);
    EXPECT_TRUE(hasLine(lines, "Checked " + w.staidx + ": static index, facet 4, 181 \u00d7 181 blocks")) << r.out;
    EXPECT_TRUE(hasLine(lines, "Checked " + w.map + ": map, facet 4, 181 \u00d7 181 blocks")) << r.out;
    EXPECT_TRUE(hasLine(lines, "Checked " + w.wsc + ": world-save, one file of SECTION objects")) << r.out;
    EXPECT_EQ(lines.back(), "No problems found in 4 files");
}

// Each fault alone, with the exact line the report gives and exit status 1.
TEST(Check, EachFaultAloneIsReported) {
    struct Case {
        const char* name;
        std::function<void(SmallWorld&)> damage;
        std::function<std::string(const SmallWorld&)> line;
    };
    const std::vector<Case> cases = {
        {"index length", [](SmallWorld& w) { test::writeBytes(w.staidx, test::readBytes(w.staidx).substr(12)); },
         [](const SmallWorld& w) {
             return w.staidx + ": error: " + w.staidx +
                    " is 393,120 bytes; a facet 4 static index is 393,132 bytes (181 \u00d7 181 blocks)";
         }},
        {"length not a multiple of 7", [](SmallWorld& w) { w.setEntry(1, 1, {0, 20, 0}); },
         [](const SmallWorld& w) { return w.staidx + ": error: block (1, 1): its Length 20 is not a multiple of 7"; }},
        {"negative start", [](SmallWorld& w) { w.setEntry(1, 1, {-5, 14, 0}); },
         [](const SmallWorld& w) { return w.staidx + ": error: block (1, 1): its Start -5 or Length 14 is negative"; }},
        {"run past the end", [](SmallWorld& w) { w.setEntry(2, 0, {14, 42, 0}); },
         [](const SmallWorld& w) {
             return w.staidx + ": error: block (2, 0): its run (bytes 14..55) ends past the end of statics4.mul (49 bytes)";
         }},
        {"overlapping runs", [](SmallWorld& w) { w.setEntry(3, 3, {7, 7, 0}); },
         [](const SmallWorld& w) {
             return w.staidx + ": error: block (3, 3): its run (bytes 7..13) overlaps that of block (1, 1)";
         }},
        {"over the client's 1024",
         [](SmallWorld& w) { w.setEntry(5, 6, w.appendRun(std::vector<TStaticRec>(1030, TStaticRec{1, 1, 1, 0, 0}))); },
         [](const SmallWorld& w) {
             return w.staidx + ": warning: block (5, 6): it holds 1,030 statics; the game client shows only the first 1024";
         }},
        {"over this program's 2048",
         [](SmallWorld& w) { w.setEntry(5, 6, w.appendRun(std::vector<TStaticRec>(2050, TStaticRec{1, 1, 1, 0, 0}))); },
         [](const SmallWorld& w) {
             return w.staidx + ": error: block (5, 6): it holds 2,050 statics; this program handles at most 2048 per block";
         }},
        {"static outside its block",
         [](SmallWorld& w) { w.setEntry(7, 7, w.appendRun({{1, 2, 3, 0, 0}, {1, 9, 3, 0, 0}, {1, 2, 8, 0, 0}})); },
         [](const SmallWorld& w) {
             return w.staidx + ": error: block (7, 7): 2 of its statics lie outside the block (the first: record 2 at "
                               "X 9, Y 3; both must be 0..7)";
         }},
        {"map longer than its world", [](SmallWorld& w) { test::writeBytes(w.map, test::readBytes(w.map) + std::string(400, '\0')); },
         [](const SmallWorld& w) {
             return w.map + ": warning: it is 6,421,556 bytes: its 181 \u00d7 181 blocks end at byte 6,421,156 and 400 "
                            "bytes follow them, which no facet 4 map has";
         }},
        {"map shorter than its world", [](SmallWorld& w) { test::writeBytes(w.map, test::readBytes(w.map).substr(196)); },
         [](const SmallWorld& w) {
             return w.map + ": error: " + w.map + " is 6,420,960 bytes; a facet 4 map holds at least 6,421,156 bytes "
                            "(181 \u00d7 181 blocks)";
         }},
        {"tile beyond the art",
         [](SmallWorld& w) {
             std::string bytes = test::readBytes(w.map);
             le::put16(reinterpret_cast<uint8_t*>(bytes.data()) + Facet4.mapCellOffset(17, 9), 0x0100);
             test::writeBytes(w.map, bytes);
         },
         [](const SmallWorld& w) {
             return w.map + ": error: cell (17, 9): land tile 00 01 is above the art's last land tile (FF 00, from artidx.mul)";
         }},
        {"record that does not read", [](SmallWorld& w) { test::writeBytes(w.wsc, SmallWorld::saveText("CONT -1\r\n", "X 1O0\r\n")); },
         [](const SmallWorld& w) { return w.wsc + ": error: line 12: '1O0' is not a valid integer value"; }},
        {"duplicate serial",
         [](SmallWorld& w) {
             std::string text = SmallWorld::saveText();
             text.replace(text.find("1073741827"), 10, "1073741825");
             test::writeBytes(w.wsc, text);
         },
         [](const SmallWorld& w) { return w.wsc + ": error: line 28: serial 0x40000001 is already used at line 7"; }},
        {"container that does not exist", [](SmallWorld& w) { test::writeBytes(w.wsc, SmallWorld::saveText("CONT 1073749999\r\n")); },
         [](const SmallWorld& w) {
             return w.wsc + ": error: line 18: the item lies in container 0x40001fef, which is no object of the save";
         }},
        {"item outside its facet's map", [](SmallWorld& w) { test::writeBytes(w.wsc, SmallWorld::saveText("CONT 1\r\n", "X 7168\r\n")); },
         [](const SmallWorld& w) {
             return w.wsc + ": error: line 7: item 0x40000001 lies at (7168, 200), outside the map of facet 0 (7168 \u00d7 "
                            "4096 cells)";
         }},
    };
    for (const Case& c : cases) {
        SmallWorld w;
        c.damage(w);
        const auto r = test::runCli({"check", w.dir.path().string()});
        EXPECT_EQ(r.status, 1) << c.name << "\n" << r.out << r.err;
        const auto lines = w.lines(r.out);
        EXPECT_TRUE(hasLine(lines, c.line(w))) << c.name << ": expected\n" << c.line(w) << "\nin\n" << r.out;
        EXPECT_EQ(lines.back(), "1 problem found in " + std::string(c.name == std::string("index length") ? "3" : "4") +
                                    " files")
            << c.name << "\n" << r.out;
        const auto json = test::runCli({"check", "--json", w.dir.path().string()});
        EXPECT_EQ(json.status, 1);
        EXPECT_NE(json.out.find("\"clean\": false"), std::string::npos) << json.out;
        EXPECT_NE(json.out.find("\"problems\": 1,"), std::string::npos) << json.out;
    }
}

// The findings of an index come entry by entry, then the runs that share bytes, whether the
// index lists its runs in file order (judged as they come) or not (sorted first).
TEST(Check, IndexFindingsInTheirOrder) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::pair<int, int>, TStaticIndexRec>> entries;
        std::vector<std::string> findings;  // after "<staidx>: error: "
    };
    const std::vector<Case> cases = {
        {"runs in file order",
         {{{1, 2}, {7, 7, 0}}, {{3, 0}, {0, 20, 0}}},
         {"block (3, 0): its Length 20 is not a multiple of 7",
          "block (1, 2): its run (bytes 7..13) overlaps that of block (1, 1)"}},
        {"runs out of file order",
         {{{1, 2}, {7, 7, 0}}, {{3, 0}, {0, 20, 0}}, {{0, 5}, {14, 7, 0}}},
         {"block (3, 0): its Length 20 is not a multiple of 7",
          "block (1, 2): its run (bytes 7..13) overlaps that of block (1, 1)",
          "block (2, 0): its run (bytes 14..48) overlaps that of block (0, 5)"}},
    };
    for (const Case& c : cases) {
        SmallWorld w;
        for (const auto& [at, e] : c.entries) w.index.at(at.first, at.second) = e;
        SaveStaticIndex(w.staidx, w.index);
        const auto r = test::runCli({"check", w.staidx});
        EXPECT_EQ(r.status, 1) << c.name << "\n" << r.out << r.err;
        std::vector<std::string> found;
        for (const std::string& line : w.lines(r.out))
            if (line.rfind(w.staidx + ": error: ", 0) == 0) found.push_back(line.substr(w.staidx.size() + 9));
        EXPECT_EQ(found, c.findings) << c.name << "\n" << r.out;
    }
}

// Tile ids against an art whose last land tile is no power of two less one (0x12B): a tile
// above it in each of a block's 64 cells is found, tiles up to it in any mix are not.
TEST(Check, TilesAgainstAnyLastLandTile) {
    SmallWorld w;
    test::writeBytes(w.dir.file("artidx.mul"), std::string(300 * 12, '\0'));
    std::string bytes = test::readBytes(w.map);
    auto put = [&](int x, int y, uint16_t tile) {
        le::put16(reinterpret_cast<uint8_t*>(bytes.data()) + Facet4.mapCellOffset(x, y), tile);
    };
    std::vector<std::string> expected;
    for (int c = 0; c < CellsPerBlock; ++c) {
        const int x = c * BlockSize + c % BlockSize, y = c / BlockSize;  // cell c of block (c, 0)
        put(x, y, 0x12C);
        expected.push_back(w.map + ": error: cell (" + std::to_string(x) + ", " + std::to_string(y) +
                           "): land tile 2C 01 is above the art's last land tile (2B 01, from artidx.mul)");
    }
    const uint16_t legal[][2] = {{0x12B, 0x12B}, {0x100, 0x02B}, {0x0FF, 0x100}, {0x103, 0x028}};
    for (int b = 0; b < 4; ++b)
        for (int c = 0; c < CellsPerBlock; ++c) put((70 + b) * BlockSize + c % BlockSize, c / BlockSize, legal[b][c % 2]);
    test::writeBytes(w.map, bytes);
    const auto r = test::runCli({"check", w.dir.path().string()});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    std::vector<std::string> found;
    for (const std::string& line : w.lines(r.out))
        if (line.rfind(w.map + ": error: ", 0) == 0) found.push_back(line);
    expected.resize(CheckReport::ListedPerKind);
    EXPECT_EQ(found, expected) << r.out;
    const auto lines = w.lines(r.out);
    EXPECT_TRUE(hasLine(lines, w.map + ": 14 more of the kind tile-beyond-art not listed")) << r.out;
    EXPECT_EQ(lines.back(), "64 problems found in 4 files");
}

// Today's folder save: the same faults in region files, each named by file and line; a
// container may lie in another region file.
TEST(Check, FolderSaveFaults) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.path() / "shared");
    const std::string a = dir.file("shared/0.0.wsc"), b = dir.file("shared/1.0.wsc");
    test::writeBytes(a, "[ITEM]\nSerial=0x40000001\nId=0x0e75\nLocation=100,200,0,4,0\no---o\n\n"
                        "[ITEM]\nSerial=0x40000002\nCont=0x40000003\nLocation=1,1,0,4,0\no---o\n\n"
                        "[ITEM]\nSerial=0x40000004\nLocation=1448,5,0,4,0\no---o\n\n"
                        "[ITEM]\nSerial=0x40000005\nLocation=10,10,0,9,0\no---o\n");
    test::writeBytes(b, "[ITEM]\nSerial=0x40000003\nLocation=300,5,0,4,0\no---o\n\n"
                        "[ITEM]\nSerial=0x40000001\nLocation=3a0,5,0,4,0\no---o\n\n"
                        "[CHARACTER]\nSerial=0x00000001\nId=zz\n");
    const auto r = test::runCli({"check", dir.file("shared")});
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    EXPECT_EQ(r.out,
              "Checked " + dir.file("shared") + ": world-save, a folder of 2 region files\n" +
              a + ": error: line 13: item 0x40000004 lies at (1448, 5), outside the map of facet 4 (1448 \u00d7 1448 cells)\n" +
              a + ": error: line 18: item 0x40000005 lies in world 9, which is no facet (facets are 0 to 5)\n" +
              b + ": error: line 8: '3a0,5,0,4,0' is not a valid Location (x,y,z,world,instance)\n" +
              b + ": error: line 11: the [CHARACTER] record is not ended by o---o\n" +
              b + ": error: line 13: 'zz' is not a valid number for Id\n" +
              b + ": error: line 6: serial 0x40000001 is already used at " + a + " line 1\n"
              "6 problems found in 1 file\n");
}

TEST(Check, DiffPackages) {
    SmallWorld w;
    const std::string package = w.dir.file("patch.tq2");
    // A package with a map part only; its table points past the end of the file.
    std::vector<uint8_t> bytes(DiffHeaderSize + DiffMapIndexSize(Facet4), 0xFF);
    TDiffHeader h = NewDiffHeader(Facet4);
    h.StaticsIndexPos = -1;
    h.MapIndexPos = DiffHeaderSize;
    encodeDiffHeader(h, bytes.data());
    le::put32(bytes.data() + DiffHeaderSize + 4 * size_t(Facet4.blockNumber(3, 4)), 5000000);
    test::writeBytes(package, std::string(bytes.begin(), bytes.end()));
    auto r = test::runCli({"check", package});
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_EQ(r.out, "Checked " + package + ": diff package, version 3, facet 4, 1448 \u00d7 1448, map\n" + package +
                         ": error: Invalid TQD file: the map entry of block (3, 4) points outside the file\n"
                         "1 problem found in 1 file\n");

    // A sound package with statics: the CRC it expects is noted against the index checked with it.
    r = test::runCli({"diff", "generate", "--orig-staidx", w.staidx, "--orig-statics", w.statics, "--orig-map", w.map,
                      "--mod-staidx", w.staidx, "--mod-statics", w.statics, "--mod-map", w.map, "--out", package});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto crc = test::runCli({"crc", w.staidx});
    r = test::runCli({"check", w.staidx, package});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find(package + ": note: it applies to an original static index whose CRC is "), std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find(package + ": note: " + w.staidx + " has that CRC\n"), std::string::npos) << r.out;
}

TEST(Check, SyntheticWorldsAreClean) {
    test::TempDir dir;
    for (const char* format : {"file", "folder"}) {
        const std::string world = dir.file(format);
        std::filesystem::create_directories(world);
        ASSERT_EQ(test::runCli({"mkworld", world, "--items", "3000", "--wsc-format", format}).status, 0);
        const auto r = test::runCli({"check", world});
        EXPECT_EQ(r.status, 0) << format << "\n" << r.out << r.err;
        EXPECT_NE(r.out.find("No problems found in 4 files"), std::string::npos) << r.out;
    }
}

TEST(Check, Usage) {
    EXPECT_EQ(test::runCli({"check"}).status, 2);
    const auto missing = test::runCli({"check", "/no/such/world"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "error: /no/such/world: File not found\n");
}

} // namespace
} // namespace tq
