#include "core/error.h"
#include "support/classic_world.h"
#include "core/file_system.h"
#include "core/int_parse.h"
#include "support/faulty_file_system.h"
#include "tools/reference_passes.h"
#include "world_fixture.h"
#include "worldsave/freeze.h"
#include "worldsave/patch_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

namespace tq {
namespace {

using test::ClientFiles;
using test::readBytes;
using test::worldItem;
using test::writeBytes;

struct Recorder {
    std::vector<std::string> log;
    std::vector<int> progress;
    Progress reporter() {
        Progress p;
        p.position = [this](int v) { progress.push_back(v); };
        return p;
    }
    LogSink sink() {
        return [this](const std::string& l) { log.push_back(l); };
    }
};

FreezeOptions optionsFor(const ClientFiles& f, SelectionRule rule = SelectionRule::Type255, bool pat = false) {
    FreezeOptions o;
    o.staidxPath = f.staidx;
    o.staticsPath = f.statics;
    o.worldSavePath = f.wsc;
    o.rule = rule;
    o.writePat = pat;
    o.patPath = f.pat;
    o.autoSelectPath = f.dir.file("AutoSelect.txt");
    return o;
}

std::vector<int> indexSaveProgress() {
    std::vector<int> v;
    for (int x = 0; x < BlocksX; ++x) v.push_back(90 + x * 10 / BlocksX);
    return v;
}

bool sameIndex(const StaticIndexBuffer& a, const StaticIndexBuffer& b) { return a.entries == b.entries; }

// ---------------------------------------------------------------------------------------
// The block-by-block freeze, literally: the world-save and the patch file are rewritten
// once per marked block. The one-pass freeze must give exactly its files, log and progress.

void literalExtract(const std::string& path, int bx, int by, const SelectionTable& table, TStaticBlock& out) {
    const std::vector<std::string> lines = test::splitLines(readBytes(path));
    std::string text;
    bool keep = true;
    uint16_t id = 0, x = 0, y = 0, color = 0;
    int8_t z = 0;
    auto upper = [](std::string s) {
        for (char& c : s)
            if (c >= 'a' && c <= 'z') c = char(c - 32);
        return s;
    };
    auto value = [](const std::string& u, size_t n) {
        std::string v = u.substr(n);
        while (!v.empty() && (unsigned char)v.front() <= 32) v.erase(0, 1);
        while (!v.empty() && (unsigned char)v.back() <= 32) v.pop_back();
        return uint32_t(parseInt(v));
    };
    for (const std::string& line : lines) {
        const std::string u = upper(line);
        if (u.rfind("SECTION WORLDITEM ", 0) == 0) {
            const TSelectionEntry& e = table[value(u, 17) & 0xFFFF];
            id = x = y = color = 0;
            z = 0;
            keep = !(e.Selected == 1 && e.BlockX == bx && e.BlockY == by);
        }
        if (keep) {
            text += line + "\r\n";
            continue;
        }
        if (u.rfind("ID ", 0) == 0) id = uint16_t(value(u, 3));
        if (u.rfind("X ", 0) == 0) x = uint16_t(value(u, 2));
        if (u.rfind("Y ", 0) == 0) y = uint16_t(value(u, 2));
        if (u.rfind("Z ", 0) == 0) z = int8_t(uint8_t(value(u, 2)));
        if (u.rfind("COLOR ", 0) == 0) color = uint16_t(value(u, 6));
        if (u.rfind("}", 0) == 0) {
            out.Records[out.Count++] = TStaticRec{id, uint8_t(x % 8), uint8_t(y % 8), z, color};
            keep = true;
        }
    }
    writeBytes(path, text);
}

void literalFreeze(const FreezeOptions& o, StaticIndexBuffer& index, const Progress& progress, const LogSink& log) {
    AutoSelectIds ids;
    if (o.rule == SelectionRule::Auto) LoadAutoSelectList(o.autoSelectPath, ids);
    progress.report(0);
    auto table = newSelectionTable();
    SelectWorldItems(o.worldSavePath, *table, o.rule, ids, log);
    std::vector<bool> marks(BlockCount);
    for (int n = 0; n < 65536; ++n)
        if ((*table)[n].Selected == 1) {
            if ((*table)[n].BlockX > 767 || (*table)[n].BlockY > 511)
                throw Error("Invalid item in patch file! (Item#: " + std::to_string(n) + ")");
            marks[size_t(blockNumber((*table)[n].BlockX, (*table)[n].BlockY))] = true;
        }
    const int total = int(std::count(marks.begin(), marks.end(), true));
    int done = 0;
    for (int x = 0; x < BlocksX; ++x)
        for (int y = 0; y < BlocksY; ++y) {
            if (!marks[size_t(blockNumber(x, y))]) continue;
            const std::string where = "XBlock: " + std::to_string(x) + " YBlock: " + std::to_string(y);
            TStaticBlock e, b;
            log("Extracting from WSC... " + where);
            literalExtract(o.worldSavePath, x, y, *table, e);
            log("Appending to Statics... " + where);
            ReadBlockStatics(o.staticsPath, index.at(x, y), b);
            AppendStatics(b, e);
            WriteBlockStatics(o.staticsPath, index.at(x, y), b);
            if (o.writePat) {
                log("Appending to PAT-File... " + where);
                WriteWorldItems(o.patPath, e, x, y, log);
            }
            ++done;
            progress.report(done * 90 / total);
        }
    log("Writing staidx file...");
    SaveStaticIndex(o.staidxPath, index, progress);
    log("done...");
    progress.report(100);
    log("Freezing completed!");
}

// A random world-save around four blocks, with the damage real files carry: items without
// a closing brace, stray braces, shared and wrapped section numbers, lower case, LF lines.
std::string randomWorldSave(std::mt19937& rng) {
    auto pick = [&](int n) { return int(rng() % unsigned(n)); };
    const int blocks[4][2] = {{0, 0}, {0, 1}, {1, 0}, {2, 5}};
    const int numbers[] = {1, 2, 3, 4, 5, 6, 7, 8, 65539, 70000, 4464, 65535};
    std::vector<std::string> lines;
    const int items = 10 + pick(50);
    for (int i = 0; i < items; ++i) {
        const int kind = pick(10);
        if (kind == 0) {
            lines.push_back("SECTION CHARACTER " + std::to_string(pick(9)));
            lines.push_back("{");
            lines.push_back("TYPE 255");
            lines.push_back("X " + std::to_string(pick(24)));
            lines.push_back("}");
            continue;
        }
        if (kind == 1) {
            lines.push_back(pick(2) ? "}" : "// comment { }");
            continue;
        }
        const auto& b = blocks[pick(4)];
        const std::string header = pick(4) == 0 ? "section worlditem " : "SECTION WORLDITEM ";
        lines.push_back(header + std::to_string(numbers[pick(12)]));
        lines.push_back("{");
        lines.push_back("NAME " + std::string(pick(3) ? "#" : "Stein\xe4"));
        lines.push_back("ID " + std::to_string(pick(4) + 3820));
        lines.push_back("X " + std::to_string(b[0] * 8 + pick(8)));
        lines.push_back("Y " + std::to_string(b[1] * 8 + pick(8)));
        if (pick(3)) lines.push_back("Z " + std::to_string(pick(500) - 200));
        if (pick(3)) lines.push_back("color " + std::to_string(pick(70000)));
        lines.push_back("CONT " + std::string(pick(4) ? "-1" : "1073741830"));
        lines.push_back("TYPE " + std::string(pick(3) ? "255" : "0"));
        if (pick(6)) lines.push_back("}");  // sometimes the item is never closed
        if (pick(2)) lines.push_back("");
    }
    if (pick(2)) lines.push_back("EOF");
    // Half the files as the server writes them (all CRLF), half with LF lines mixed in and
    // perhaps a last line without an ending.
    const bool mixed = pick(2);
    std::string text;
    for (const std::string& l : lines) text += l + (!mixed || pick(4) ? "\r\n" : "\n");
    if (mixed && pick(3) == 0 && !text.empty()) text.resize(text.size() - 1);
    return text;
}

TEST(FreezeWorld, OnePassGivesExactlyTheBlockByBlockResult) {
    std::mt19937 rng(20240601);
    for (int round = 0; round < 25; ++round) {
        const std::string worldSave = randomWorldSave(rng);
        const SelectionRule rule = SelectionRule(int(rng() % 3) - 1);
        const bool pat = rng() % 2;
        const bool oldPat = rng() % 2;
        ClientFiles mine, ref;
        for (ClientFiles* f : {&mine, &ref}) {
            f->giveStatics(0, 1, {{9, 1, 1, 1, 1}, {8, 2, 2, 2, 2}}, 77);
            f->giveStatics(2, 5, {{7, 0, 0, 0, 0}});
            f->write(worldSave);
            writeBytes(f->dir.file("AutoSelect.txt"), "0E ED\r\n0E EE  x\r\n");
            if (oldPat) writeBytes(f->pat, "SECTION WORLDITEM 40\nSERIAL 1073741900\nEOF\r\nafter\r\n");
        }
        Recorder a, b;
        literalFreeze(optionsFor(ref, rule, pat), *ref.index, b.reporter(), b.sink());
        FreezeWorld(optionsFor(mine, rule, pat), *mine.index, a.reporter(), a.sink());
        SCOPED_TRACE("round " + std::to_string(round) + "\n" + worldSave);
        ASSERT_EQ(readBytes(mine.wsc), readBytes(ref.wsc));
        ASSERT_EQ(readBytes(mine.statics), readBytes(ref.statics));
        ASSERT_EQ(readBytes(mine.staidx), readBytes(ref.staidx));
        ASSERT_EQ(fileExists(mine.pat), fileExists(ref.pat));
        if (fileExists(ref.pat)) {
            ASSERT_EQ(readBytes(mine.pat), readBytes(ref.pat));
        }
        ASSERT_EQ(a.log, b.log);
        ASSERT_EQ(a.progress, b.progress);
        ASSERT_TRUE(sameIndex(*mine.index, *ref.index));
    }
}

TEST(FreezeWorld, MovesItemsIntoStaticsPatchAndLogInBlockOrder) {
    ClientFiles f;
    const std::vector<TStaticRec> old = {{1, 0, 0, 0, 0}, {2, 1, 0, 0, 0}, {3, 2, 0, 0, 0}, {4, 3, 0, 0, 0},
                                         {5, 4, 0, 0, 0}};
    f.giveStatics(1, 0, old, 77);
    const std::string keep = worldItem(9, 50, 9, 9, 0);
    f.write("// header\r\n" + worldItem(10, 100, 8, 1, 255, "Z -5\r\nCOLOR 33\r\n") + keep +
            worldItem(11, 101, 2, 9, 255) + worldItem(12, 102, 15, 7, 255) + worldItem(13, 103, 8, 0, 255) +
            "EOF\r\n");
    Recorder run;
    FreezeWorld(optionsFor(f, SelectionRule::Type255, true), *f.index, run.reporter(), run.sink());

    EXPECT_EQ(run.log, (std::vector<std::string>{
                           "Selecting item for export: 10", "Selecting item for export: 11",
                           "Selecting item for export: 12", "Selecting item for export: 13",
                           "Extracting from WSC... XBlock: 0 YBlock: 1", "Appending to Statics... XBlock: 0 YBlock: 1",
                           "Appending to PAT-File... XBlock: 0 YBlock: 1",
                           "Extracting from WSC... XBlock: 1 YBlock: 0", "Appending to Statics... XBlock: 1 YBlock: 0",
                           "Appending to PAT-File... XBlock: 1 YBlock: 0", "Writing staidx file...", "done...",
                           "Freezing completed!"}));
    std::vector<int> progress = {0, 45, 90};
    for (int v : indexSaveProgress()) progress.push_back(v);
    progress.push_back(100);
    EXPECT_EQ(run.progress, progress);

    // One new run per marked block, in block order; the old five records first.
    const TStaticRec i100{100, 0, 1, -5, 33}, i101{101, 2, 1, 0, 0}, i102{102, 7, 7, 0, 0}, i103{103, 0, 0, 0, 0};
    EXPECT_EQ(readBytes(f.statics), test::staticBytes(old) + test::staticBytes({i101}) +
                                        test::staticBytes({old[0], old[1], old[2], old[3], old[4], i100, i102, i103}));
    EXPECT_EQ(f.blockOnDisk(1, 0).size(), 8u);
    auto disk = newStaticIndex();
    LoadStaticIndex(f.staidx, *disk);
    EXPECT_EQ(disk->at(0, 1), (TStaticIndexRec{35, 7, 0}));
    EXPECT_EQ(disk->at(1, 0), (TStaticIndexRec{42, 56, 77}));
    EXPECT_TRUE(sameIndex(*disk, *f.index));

    // The blank line after each taken item stays.
    EXPECT_EQ(readBytes(f.wsc), "// header\r\n\r\n" + keep + "\r\n\r\n\r\nEOF\r\n");
    const std::vector<std::string> patLines = test::splitLines(readBytes(f.pat));
    ASSERT_EQ(patLines.size(), 4 * 13 + 2u);
    EXPECT_EQ(patLines[0], "SECTION WORLDITEM 2");
    EXPECT_EQ(patLines[4], "ID 101");
    EXPECT_EQ(patLines[3 * 13 + 2], "SERIAL 1073741828");
    EXPECT_EQ(patLines[3 * 13 + 4], "ID 103");
    EXPECT_EQ(patLines.back(), "");
}

TEST(FreezeWorld, NothingSelectedStillSavesTheIndex) {
    ClientFiles f;
    f.giveStatics(3, 3, {{1, 1, 1, 1, 1}});
    const std::string text = worldItem(1, 5, 8, 8, 0) + "EOF";
    f.write(text);
    f.index->at(5, 5) = TStaticIndexRec{-1, 0, 9};  // in memory only: must reach the file
    Recorder run;
    FreezeWorld(optionsFor(f, SelectionRule::Type255, true), *f.index, run.reporter(), run.sink());
    EXPECT_EQ(run.log, (std::vector<std::string>{"Writing staidx file...", "done...", "Freezing completed!"}));
    EXPECT_EQ(readBytes(f.wsc), text);
    EXPECT_EQ(readBytes(f.statics), f.staticsBytes);
    EXPECT_FALSE(fileExists(f.pat));
    auto disk = newStaticIndex();
    LoadStaticIndex(f.staidx, *disk);
    EXPECT_EQ(disk->at(5, 5).Extra, 9);
}

TEST(FreezeWorld, RefusesBeforeAnyWrite) {
    struct Case {
        const char* what;
        std::string worldSave;
        std::string message;
        std::function<void(ClientFiles&, FreezeOptions&)> setup;
    };
    std::string full;
    for (int i = 0; i < 2047; ++i) full += worldItem(i, 1, 16, 16, 255);
    const Case cases[] = {
        {"item outside the world", worldItem(1, 1, 8, 8, 255) + worldItem(7, 1, 6200, 8, 255),
         "Invalid item in patch file! (Item#: 7)", nullptr},
        {"item at X -1 (block 8191)", worldItem(3, 1, -1, 8, 255), "Invalid item in patch file! (Item#: 3)", nullptr},
        {"no serial left in the patch file", worldItem(1, 1, 8, 8, 255), "Cannot number 1 new items",
         [](ClientFiles& f, FreezeOptions&) { writeBytes(f.pat, "SERIAL 2147483647\r\n"); }},
        {"bad colour of a selected item", worldItem(1, 1, 8, 8, 255) + worldItem(2, 1, 8, 8, 255, "COLOR 1x\r\n"),
         "'1X' is not a valid integer value", nullptr},
        {"block over 2048 records", full, "Block (2, 2) would hold 2049 statics, but a block can hold at most 2048.",
         [](ClientFiles& f, FreezeOptions&) { f.giveStatics(2, 2, {{1, 0, 0, 0, 0}, {2, 0, 0, 0, 0}}); }},
        {"bad number in the patch file", worldItem(1, 1, 8, 8, 255), "'1073741900X' is not a valid integer value",
         [](ClientFiles& f, FreezeOptions&) { writeBytes(f.pat, "SERIAL 1073741900x\r\n"); }},
        {"patch file is the world-save, other case", worldItem(1, 1, 8, 8, 255), SameWscAndPatMessage,
         [](ClientFiles& f, FreezeOptions& o) { o.patPath = f.dir.file("ITEMS.WSC"); }},
        {"patch file is the world-save, other spelling", worldItem(1, 1, 8, 8, 255), SameWscAndPatMessage,
         [](ClientFiles& f, FreezeOptions& o) {
             std::filesystem::create_directory(f.dir.path() / "sub");
             o.patPath = (f.dir.path() / "sub" / ".." / "items.wsc").string();
         }},
        {"patch file is a hard link of the world-save", worldItem(1, 1, 8, 8, 255), SameWscAndPatMessage,
         [](ClientFiles& f, FreezeOptions&) {
             writeBytes(f.wsc, "");
             std::filesystem::create_hard_link(f.wsc, f.pat);
         }},
        {"AutoSelect.txt missing", worldItem(1, 1, 8, 8, 255), "File not found",
         [](ClientFiles&, FreezeOptions& o) { o.rule = SelectionRule::Auto; }},
        {"AutoSelect.txt line not spaced hex", worldItem(1, 1, 8, 8, 255), "Input not SpacedHex",
         [](ClientFiles&, FreezeOptions& o) {
             o.rule = SelectionRule::Auto;
             writeBytes(o.autoSelectPath, "0E ED\r\n0E-ED\r\n");
         }},
        {"old run of a marked block broken", worldItem(1, 1, 8, 8, 255), LengthNotMultipleMessage,
         [](ClientFiles& f, FreezeOptions&) { f.index->at(1, 1) = TStaticIndexRec{0, 20, 0}; }},
        {"old run past the end of statics0.mul", worldItem(1, 1, 8, 8, 255), "Read beyond end of file",
         [](ClientFiles& f, FreezeOptions&) { f.index->at(1, 1) = TStaticIndexRec{7, 7, 0}; }},
    };
    for (const Case& c : cases) {
        ClientFiles f;
        f.giveStatics(0, 0, {{1, 1, 1, 1, 1}});
        FreezeOptions o = optionsFor(f, SelectionRule::Type255, true);
        if (c.setup) c.setup(f, o);
        f.write(c.worldSave);
        const std::string wsc = readBytes(f.wsc), staidx = readBytes(f.staidx), statics = readBytes(f.statics);
        const bool patExisted = fileExists(f.pat);
        const std::string pat = patExisted ? readBytes(f.pat) : "";
        const auto before = f.index->entries;
        const size_t filesBefore = size_t(std::distance(std::filesystem::directory_iterator(f.dir.path()), {}));
        try {
            FreezeWorld(o, *f.index, {}, {});
            ADD_FAILURE() << c.what << ": no error";
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()).substr(0, c.message.size()), c.message) << c.what;
        }
        EXPECT_EQ(readBytes(f.wsc), wsc) << c.what;
        EXPECT_EQ(readBytes(f.staidx), staidx) << c.what;
        EXPECT_EQ(readBytes(f.statics), statics) << c.what;
        EXPECT_EQ(fileExists(f.pat), patExisted) << c.what;
        if (patExisted) {
            EXPECT_EQ(readBytes(f.pat), pat) << c.what;
        }
        EXPECT_TRUE(f.index->entries == before) << c.what;
        EXPECT_EQ(size_t(std::distance(std::filesystem::directory_iterator(f.dir.path()), {})), filesBefore)
            << c.what << ": temporary file left";
    }
}

TEST(LoadAutoSelectList, ReadsTheFirstFiveCharactersOfEachEntry) {
    test::TempDir dir;
    const std::string path = dir.file("AutoSelect.txt");
    writeBytes(path, "# 0E ED\r\n\r\n0E ED  tree\r\n   00 07\n0e ef\nff ff");
    AutoSelectIds ids;
    ids.set(5);
    LoadAutoSelectList(path, ids);
    EXPECT_EQ(ids.count(), 4u);
    EXPECT_TRUE(ids[3821] && ids[7] && ids[0x0EEF] && ids[65535]);
}

// ---------------------------------------------------------------------------------------
// An injected failure at every write, rename and open: the freeze stops with the error,
// and every selected item is still in the world-save, in the statics, or in both.

TEST(FreezeWorld, FailureAtAnyStepLosesNoItem) {
    const std::string worldSave = worldItem(1, 100, 8, 8, 255) + worldItem(2, 101, 17, 3, 255) +
                                  worldItem(3, 102, 9, 9, 255) + worldItem(4, 5, 1, 1, 0) + "EOF\r\n";
    const std::string oldPat = "SECTION WORLDITEM 40\r\nEOF\r\n";
    struct Item {
        int section, bx, by;
        TStaticRec rec;
    };
    const Item items[] = {{1, 1, 1, {100, 0, 0, 0, 0}}, {2, 2, 0, {101, 1, 3, 0, 0}}, {3, 1, 1, {102, 1, 1, 0, 0}}};
    auto fixture = [&](ClientFiles& f) {
        f.giveStatics(1, 1, {{9, 9, 9, 9, 9}});
        f.write(worldSave);
        writeBytes(f.pat, oldPat);
    };

    // Count the steps of a good run and keep its files.
    test::FaultyFileSystem counter;
    ClientFiles good;
    fixture(good);
    {
        ScopedFileSystem guard(counter);
        FreezeWorld(optionsFor(good, SelectionRule::Type255, true), *good.index, {}, {});
    }
    const std::string newWsc = readBytes(good.wsc), newPat = readBytes(good.pat);
    ASSERT_GE(counter.writes, 4);
    ASSERT_EQ(counter.renames, 4);  // the journal, then the index, the world-save, the patch file

    for (int kind = 0; kind < 3; ++kind) {
        const int steps = kind == 0 ? counter.writes : kind == 1 ? counter.renames : counter.opens;
        for (int step = 1; step <= steps; ++step) {
            ClientFiles f;
            fixture(f);
            const std::string oldWsc = readBytes(f.wsc);
            test::FaultyFileSystem faulty;
            (kind == 0 ? faulty.failWriteAt : kind == 1 ? faulty.failRenameAt : faulty.failOpenAt) = step;
            const std::string what = std::string(kind == 0 ? "write " : kind == 1 ? "rename " : "open ") +
                                     std::to_string(step);
            {
                ScopedFileSystem guard(faulty);
                EXPECT_THROW(FreezeWorld(optionsFor(f, SelectionRule::Type255, true), *f.index, {}, {}), Error) << what;
            }
            const std::string wsc = readBytes(f.wsc), pat = readBytes(f.pat);
            EXPECT_TRUE(wsc == oldWsc || wsc == newWsc) << what;
            EXPECT_TRUE(pat == oldPat || pat == newPat) << what;
            for (const Item& item : items) {
                const bool inWorldSave = wsc.find("SECTION WORLDITEM " + std::to_string(item.section) + "\r\n") !=
                                         std::string::npos;
                const auto recs = f.blockOnDisk(item.bx, item.by);
                const bool inStatics = std::find(recs.begin(), recs.end(), item.rec) != recs.end();
                EXPECT_TRUE(inWorldSave || inStatics) << what << ": item " << item.section << " lost";
            }
            auto disk = newStaticIndex();
            LoadStaticIndex(f.staidx, *disk);
            EXPECT_TRUE(sameIndex(*disk, *f.index)) << what << ": the window's index differs from the file";
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(f.dir.path()), {}), 4)
                << what << ": temporary file left";
        }
    }
}

} // namespace
} // namespace tq
