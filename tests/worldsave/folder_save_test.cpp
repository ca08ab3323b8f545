// Freeze and melt on today's folder save of region files.
#include "core/error.h"
#include "core/facets.h"
#include "support/temp_dir.h"
#include "worldsave/folder_save.h"
#include "worldsave/folder_save_text.h"
#include "worldsave/freeze.h"
#include "worldsave/melt.h"
#include "worldsave/patch_writer.h"
#include "worldsave/world_save_format.h"
#include "world_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace tq {
namespace {

using test::readBytes;
using test::writeBytes;

// Client files of one facet and a folder "shared" of region files.
struct FolderWorld {
    test::TempDir dir;
    WorldGeometry world;
    std::string shared = dir.file("shared");
    std::string staidx, statics;
    std::unique_ptr<StaticIndexBuffer> index;

    explicit FolderWorld(const WorldGeometry& w = WorldGeometry()) : world(w) {
        std::filesystem::create_directories(dir.path() / "shared");
        const std::string n = std::to_string(w.facet);
        staidx = dir.file("staidx" + n + ".mul");
        statics = dir.file("statics" + n + ".mul");
        index = newStaticIndex(w);
        index->fill(TStaticIndexRec{-1, 0, 0});
        SaveStaticIndex(staidx, *index);
        writeBytes(statics, "");
    }
    std::string file(const std::string& name) const { return shared + "/" + name; }
    void put(const std::string& name, const std::string& text) const { writeBytes(file(name), text); }
    std::string get(const std::string& name) const { return readBytes(file(name)); }

    std::vector<std::string> freeze(SelectionRule rule, const std::string& autoIds = "") {
        writeBytes(dir.file("AutoSelect.txt"), autoIds);
        FreezeOptions o;
        o.staidxPath = staidx;
        o.staticsPath = statics;
        o.worldSavePath = shared;
        o.rule = rule;
        o.autoSelectPath = dir.file("AutoSelect.txt");
        std::vector<std::string> log;
        FreezeWorld(o, *index, {}, [&](const std::string& l) { log.push_back(l); });
        return log;
    }
    std::vector<std::string> melt(int bx, int by, const std::string& wsc = "") {
        MeltOptions o;
        o.staidxPath = staidx;
        o.staticsPath = statics;
        o.worldSavePath = wsc.empty() ? shared : wsc;
        std::vector<std::string> log;
        MeltBlock(o, bx, by, *index, {}, [&](const std::string& l) { log.push_back(l); });
        return log;
    }
    std::vector<TStaticRec> blockOnDisk(int bx, int by) const {
        auto disk = newStaticIndex();
        LoadStaticIndex(staidx, *disk);
        return test::staticRecords(readBytes(statics), disk->at(bx, by));
    }
    void giveStatics(int bx, int by, const std::vector<TStaticRec>& recs) {
        const std::string old = readBytes(statics);
        index->at(bx, by) = TStaticIndexRec{int32_t(old.size()), int32_t(recs.size() * 7), 0};
        writeBytes(statics, old + test::staticBytes(recs));
        SaveStaticIndex(staidx, *index);
    }
};

// An [ITEM] record as the server writes it, with `eol` line ends and extra lines before "o---o".
std::string item(const std::string& serial, const std::string& id, const std::string& location, int type,
                 const std::string& extra = "", const std::string& eol = "\n") {
    return "[ITEM]" + eol + "Serial=" + serial + eol + "ID=" + id + eol + "Name=#" + eol + "Location=" + location +
           eol + "Colour=0x0021" + eol + "Cont=0xffffffff" + eol + "Type=" + std::to_string(type) + eol + extra +
           "o---o" + eol + eol;
}

TEST(FolderSaveText, ReadsRecordsKeysAndRanges) {
    const std::string a = "[ITEM]\r\nserial = 0x40000001\r\nCOLOR=12\r\n// Type=255\r\nPoisonCharges\r\no---o\r\n\r\n";
    const std::string b = "[ character ]\r\nSerial=0x00000002\r\nLocation=1,2,3\r\no---o\r\n";
    // A header before "o---o" is one of the record's lines, as the server reads it.
    const std::string c = "[ITEM]\r\nType=255\r\n[SPAWNITEM]\r\nID=5\r\no---o";
    const std::string text = "// header\r\n\r\n" + a + "---REGION---\r\n\r\n" + b + c + "\r\n[ITEM]\r\nID=6\r\n";
    const wsc::Text t = wsc::parseText(text);
    ASSERT_EQ(t.records.size(), 4u);
    EXPECT_TRUE(t.crlf);
    EXPECT_TRUE(t.endsWithNewline);
    const wsc::Record& r = t.records[0];
    EXPECT_TRUE(r.isKind("ITEM"));
    EXPECT_TRUE(r.closed);
    EXPECT_EQ(text.substr(r.begin, r.end - r.begin), a);  // the blank line after o---o goes with it
    EXPECT_EQ(r.serial->text, "0x40000001");
    EXPECT_EQ(r.colour->text, "12");       // "Color" is read as "Colour"
    EXPECT_FALSE(r.type.has_value());      // a comment, not a key
    EXPECT_EQ(r.line, 3u);
    EXPECT_TRUE(t.records[1].isKind("CHARACTER"));
    EXPECT_EQ(text.substr(t.records[1].begin, t.records[1].end - t.records[1].begin), b);
    EXPECT_EQ(t.records[1].location->text, "1,2,3");
    EXPECT_TRUE(t.records[2].isKind("ITEM"));
    EXPECT_TRUE(t.records[2].closed);
    EXPECT_EQ(text.substr(t.records[2].begin, t.records[2].end - t.records[2].begin), c + "\r\n");
    EXPECT_EQ(t.records[2].id->text, "5");
    EXPECT_FALSE(t.records[3].closed);  // the text ended before its o---o
    EXPECT_EQ(t.records[3].id->text, "6");
    EXPECT_FALSE(wsc::parseText("[ITEM]\no---o\n").crlf);
}

TEST(FolderSaveText, NumbersAreReadWithBaseDetection) {
    const std::pair<const char*, std::optional<uint32_t>> cases[] = {
        {"0x40000000", 0x40000000u}, {"0XfF", 255u},   {"255", 255u}, {"0", 0u},
        {"-1", 0xFFFFFFFFu},         {"4294967295", 0xFFFFFFFFu},    {"0xffffffff", 0xFFFFFFFFu},
        {"4294967296", std::nullopt}, {"0x100000000", std::nullopt}, {"", std::nullopt},
        {"0x", std::nullopt},         {"12a", std::nullopt},         {"1 2", std::nullopt},
        {"$10", std::nullopt},        {"0x0000000040000008", 0x40000008u}, {"000004294967295", 0xFFFFFFFFu},
        {"-0x10", 0xFFFFFFF0u},       {"-", std::nullopt},           {"-0x", std::nullopt},
        {"0x1g", std::nullopt},       {"0xG1", std::nullopt},        {"0x12345678", 0x12345678u},
        {"0xABCDEF0", 0xABCDEF0u},    {"9a", std::nullopt},          {"1:", std::nullopt},
        {"0x:", std::nullopt},        {"99999999999999999999999", std::nullopt}};
    for (const auto& [text, want] : cases) EXPECT_EQ(wsc::parseNumber(text), want) << text;

    const wsc::Location l = wsc::requireLocation({"1234, 567,-5,1", 9}, "x.wsc");
    EXPECT_EQ(l.x, 1234);
    EXPECT_EQ(l.y, 567);
    EXPECT_EQ(l.z, -5);
    EXPECT_EQ(l.world, 1u);
    EXPECT_EQ(l.instance, 0u);
    try {
        wsc::requireNumber({"0x4g", 7}, "3.1.wsc", "Serial");
        FAIL();
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "3.1.wsc: line 7: '0x4g' is not a valid number for Serial");
    }
    EXPECT_THROW(wsc::requireLocation({"1,2", 1}, "x"), Error);
    EXPECT_THROW(wsc::requireLocation({"1,2,3,4,5,6", 1}, "x"), Error);
}

TEST(FolderSaveFormat, IsToldByContent) {
    FolderWorld w;
    w.put("0.0.wsc", "// a comment\n\n" + item("0x40000000", "0x0001", "1,1,0,0,0", 0));
    w.put("overflow.wsc", "");
    // A folder, or any .wsc in it, is today's format; its every .wsc belongs to the save.
    for (const std::string& path : {w.shared, w.file("0.0.wsc")}) {
        const WorldSave s = DetectWorldSave(path);
        EXPECT_EQ(s.format, WorldSaveFormat::Folder) << path;
        EXPECT_EQ(s.files, (std::vector<std::string>{w.file("0.0.wsc"), w.file("overflow.wsc")}));
    }
    // A file of SECTION objects, one that does not exist yet, an empty one: the single-file format.
    test::TempDir other;
    writeBytes(other.file("items.wsc"), "// save\r\nSECTION WORLDITEM 1\r\n{\r\n}\r\nEOF\r\n");
    writeBytes(other.file("empty.pat"), "");
    for (const std::string& path : {other.file("items.wsc"), other.file("missing.wsc"), other.file("empty.pat")})
        EXPECT_EQ(DetectWorldSave(path).format, WorldSaveFormat::SingleFile) << path;

    try {
        DetectWorldSave(other.path().string());
        FAIL();
    } catch (const Error& e) {
        EXPECT_NE(std::string(e.what()).find("holds a world-save of the single-file format (items.wsc)"),
                  std::string::npos);
    }
    // A mix is refused, whichever of its files is named.
    w.put("items.wsc", "SECTION WORLDITEM 1\n{\n}\n");
    for (const std::string& path : {w.shared, w.file("0.0.wsc")}) {
        try {
            DetectWorldSave(path);
            FAIL() << path;
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), w.shared + " mixes both world-save formats: items.wsc holds SECTION "
                                                        "objects, 0.0.wsc [ITEM] records; move one of them away");
        }
    }
    test::TempDir empty;
    EXPECT_THROW(DetectWorldSave(empty.path().string()), Error);
}

std::string inContainer(std::string record) {
    return record.replace(record.find("Cont=0xffffffff"), 15, "Cont=0x40000001");
}

// The freeze fixture: what each item is there to show.
struct FreezeFixture {
    std::string moved1 = item("0x40000001", "0x0eed", "801,1602,-5,0,0", 255, "Amount=2\n");  // block (100, 200)
    std::string listed = item("0x40000002", "0x0006", "803,1603,7,0,0", 0);                   // "auto" only
    std::string inBag = inContainer(item("0x40000003", "0x0eed", "30,40,0,0,0", 255));
    std::string otherFacet = item("0x40000004", "0x0eed", "801,1602,0,1,0", 255);
    std::string outside = item("0x40000005", "0x0eed", "6200,100,0,0,0", 255);
    std::string spawner = "[SPAWNITEM]\nSerial=0x40000006\nID=0x1f13\nLocation=801,1602,0,0,0\nType=255\no---o\n\n";
    std::string door = item("0x40000007", "0x0006", "803,1603,0,0,0", 12);
    // Decimal values, keys in other cases, blanks around them, no Cont: still an item to move.
    std::string decimal = "[Item]\r\n  serial = 1073741832\r\nid=3821\r\ncolor = 33\r\nLOCATION = 7, 9, 100, 0, 0\r\n"
                          "TYPE=255\r\nDecay=1\r\no---o\r\n\r\n";
    std::string character = "[CHARACTER]\nSerial=0x00000009\nLocation=801,1602,0,0,0\nType=255\no---o\n\n";

    void write(const FolderWorld& w) const {
        w.put("3.1.wsc", "// region 3.1\n\n" + moved1 + listed + "---REGION---\n\n" + inBag +
                             otherFacet + spawner + door + character);
        w.put("0.0.wsc", decimal + "---REGION---\r\n\r\n");
        w.put("overflow.wsc", outside);
        w.put("5.2.wsc", item("0x4000000a", "0x0001", "1300,2100,0,0,0", 0));
    }
};

TEST(FolderFreeze, MovesTheRuleItemsOfTheFacetAndKeepsEveryOtherByte) {
    for (SelectionRule rule : {SelectionRule::Type255, SelectionRule::Auto}) {
        FolderWorld w;
        FreezeFixture f;
        f.write(w);
        const std::string untouched = w.get("5.2.wsc");
        const auto before = std::filesystem::last_write_time(w.file("5.2.wsc"));
        w.giveStatics(100, 200, {{1, 0, 0, 0, 0}});
        const std::vector<std::string> log = w.freeze(rule, "00 06\n");

        const bool autoRule = rule == SelectionRule::Auto;
        std::vector<TStaticRec> want = {{1, 0, 0, 0, 0}, {0x0EED, 1, 2, -5, 0x21}};
        if (autoRule) want.push_back({0x0006, 3, 3, 7, 0x21});
        EXPECT_EQ(w.blockOnDisk(100, 200), want);
        EXPECT_EQ(w.blockOnDisk(0, 1), (std::vector<TStaticRec>{{3821, 7, 1, 100, 33}}));

        // Each rewritten file is the old one without the moved records.
        EXPECT_EQ(w.get("3.1.wsc"), "// region 3.1\n\n" + (autoRule ? "" : f.listed) + "---REGION---\n\n" + f.inBag +
                                        f.otherFacet + f.spawner + f.door + f.character);
        EXPECT_EQ(w.get("0.0.wsc"), "---REGION---\r\n\r\n");
        EXPECT_EQ(w.get("overflow.wsc"), f.outside);
        EXPECT_EQ(w.get("5.2.wsc"), untouched);
        EXPECT_EQ(std::filesystem::last_write_time(w.file("5.2.wsc")), before);  // not rewritten at all

        std::vector<std::string> want_log = {"World-save: a folder of 4 region files (" + w.shared + ")",
                                             "Selecting item for export: 1073741832",
                                             "Selecting item for export: 0x40000001"};
        if (autoRule) want_log.push_back("Selecting item for export: 0x40000002");
        for (const std::string& l :
             {std::string("Skipped 1 item outside the map of facet 0"), std::string("Extracting from WSC... XBlock: 0 YBlock: 1"),
              std::string("Appending to Statics... XBlock: 0 YBlock: 1"),
              std::string("Extracting from WSC... XBlock: 100 YBlock: 200"),
              std::string("Appending to Statics... XBlock: 100 YBlock: 200"), std::string("Writing staidx file..."),
              "Rewrote " + w.file("0.0.wsc"), "Rewrote " + w.file("3.1.wsc"), std::string("done..."),
              std::string("Freezing completed!")})
            want_log.push_back(l);
        EXPECT_EQ(log, want_log);
        for (const auto& e : std::filesystem::directory_iterator(w.shared))
            EXPECT_EQ(e.path().string().find(".tqtmp-"), std::string::npos) << e.path();
    }
}

TEST(FolderFreeze, RefusesAPatchFileAmongTheRegionFiles) {
    FolderWorld w;
    w.put("0.0.wsc", item("0x40000001", "0x0eed", "8,8,0,0,0", 255));
    const std::string before = w.get("0.0.wsc");
    writeBytes(w.dir.file("AutoSelect.txt"), "");
    for (const std::string& pat : {w.file("0.0.wsc"), w.file("NEW.WSC")}) {
        FreezeOptions o;
        o.staidxPath = w.staidx;
        o.staticsPath = w.statics;
        o.worldSavePath = w.shared;
        o.writePat = true;
        o.patPath = pat;
        try {
            FreezeWorld(o, *w.index, {}, {});
            FAIL() << pat;
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), pat == w.file("0.0.wsc") ? SameWscAndPatMessage : PatInSaveFolderMessage);
        }
        EXPECT_EQ(w.get("0.0.wsc"), before);
        EXPECT_FALSE(std::filesystem::exists(w.file("NEW.WSC")));
    }
}

TEST(FolderFreeze, TakesOnlyTheFacetBeingFrozen) {
    const WorldGeometry facet2 = facetSizes(2).front();
    FolderWorld w(facet2);
    w.put("1.1.wsc", item("0x40000001", "0x0100", "300,1100,1,0,0", 255) +
                         item("0x40000002", "0x0200", "300,1100,2,2,0", 255) +
                         item("0x40000003", "0x0300", "300,1100,3,1,0", 255));
    w.freeze(SelectionRule::Type255);
    auto disk = newStaticIndex(facet2);
    LoadStaticIndex(w.staidx, *disk);
    EXPECT_EQ(test::staticRecords(readBytes(w.statics), disk->at(37, 137)),
              (std::vector<TStaticRec>{{0x0200, 4, 4, 2, 0x21}}));
    EXPECT_EQ(w.get("1.1.wsc"), item("0x40000001", "0x0100", "300,1100,1,0,0", 255) +
                                    item("0x40000003", "0x0300", "300,1100,3,1,0", 255));
}

TEST(FolderFreeze, ABadNumberStopsItBeforeAnyFileChanges) {
    FolderWorld w;
    w.put("0.0.wsc", item("0x40000001", "0x0eed", "8,8,0,0,0", 255));
    w.put("1.0.wsc", item("0x40000002", "0x0eed", "300,8,0,0,0", 255, "") + "[ITEM]\nType=255\nCont=bag\no---o\n");
    const std::string a = w.get("0.0.wsc"), b = w.get("1.0.wsc"), idx = readBytes(w.staidx);
    try {
        w.freeze(SelectionRule::Type255);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), w.file("1.0.wsc") + ": line 13: 'bag' is not a valid number for Cont");
    }
    EXPECT_EQ(w.get("0.0.wsc"), a);
    EXPECT_EQ(w.get("1.0.wsc"), b);
    EXPECT_EQ(readBytes(w.staidx), idx);
    EXPECT_EQ(readBytes(w.statics), "");
    for (const auto& e : std::filesystem::directory_iterator(w.shared))
        EXPECT_EQ(e.path().string().find(".tqtmp-"), std::string::npos) << e.path();
}

TEST(FolderMelt, WritesOneRecordPerStaticIntoTheRegionFile) {
    const std::pair<const char*, const char*> endings[] = {{"LF", "\n"}, {"CRLF", "\r\n"}};
    for (const auto& [label, eol] : endings) {
        FolderWorld w(facetSizes(1).front());
        const std::string old = "// region 3.1" + std::string(eol) + std::string(eol) +
                                item("0x40000001", "0x0001", "800,1600,0,1,0", 0, "", eol) + "---REGION---" + eol;
        w.put("3.1.wsc", old);
        // The highest serial of the whole folder, of any kind of record, comes from another file.
        w.put("0.0.wsc", "[CHARACTER]\nSerial=0x40000100\no---o\n\n");
        w.giveStatics(100, 200, {{0x0EED, 1, 2, -5, 0x21}, {7, 7, 7, 127, 0}});
        const std::vector<std::string> log = w.melt(100, 200);
        const std::string e = eol;
        EXPECT_EQ(w.get("3.1.wsc"), old +
                                        "[ITEM]" + e + "Serial=0x40000101" + e + "ID=0x0eed" + e + "Colour=0x0021" + e +
                                        "Location=801,1602,-5,1,0" + e + "Cont=0xffffffff" + e + "Type=255" + e +
                                        "o---o" + e + e + "[ITEM]" + e + "Serial=0x40000102" + e + "ID=0x0007" + e +
                                        "Colour=0x0000" + e + "Location=807,1607,127,1,0" + e + "Cont=0xffffffff" +
                                        e + "Type=255" + e + "o---o" + e + e)
            << label;
        EXPECT_EQ(w.get("0.0.wsc"), "[CHARACTER]\nSerial=0x40000100\no---o\n\n");
        EXPECT_EQ(w.index->at(100, 200), (TStaticIndexRec{-1, 0, 0}));
        EXPECT_EQ(log, (std::vector<std::string>{"World-save: a folder of 2 region files (" + w.shared + ")",
                                                 "Writing StaIdx file...", "Rewrote " + w.file("3.1.wsc"), "Done!",
                                                 "Melting completed!"}));
    }
}

TEST(FolderMelt, CreatesAMissingRegionFileAndStartsSerialsAt0x40000000) {
    FolderWorld w;
    w.put("0.0.wsc", "[CHARACTER]\r\nSerial=0x00000005\r\no---o\r\n");
    w.giveStatics(767, 511, {{3, 7, 0, 0, 0}});
    w.melt(767, 511, w.file("0.0.wsc"));
    EXPECT_EQ(w.get("23.3.wsc"), "[ITEM]\r\nSerial=0x40000000\r\nID=0x0003\r\nColour=0x0000\r\n"
                                 "Location=6143,4088,0,0,0\r\nCont=0xffffffff\r\nType=255\r\no---o\r\n\r\n");
    // An empty block changes no file.
    const std::string before = w.get("23.3.wsc");
    EXPECT_EQ(w.melt(767, 511)[1], NothingToDoMessage);
    EXPECT_EQ(w.get("23.3.wsc"), before);
}

TEST(FolderMelt, WritesIntoTheRegionFileAsTheFolderSpellsIt) {
    FolderWorld w;
    w.put("0.0.WSC", "[ITEM]\nSerial=0x40000007\no---o\n");
    w.giveStatics(1, 1, {{3, 0, 0, 0, 0}});
    w.melt(1, 1);
    EXPECT_FALSE(std::filesystem::exists(w.file("0.0.wsc")) &&
                 !std::filesystem::equivalent(w.file("0.0.wsc"), w.file("0.0.WSC")));
    EXPECT_NE(w.get("0.0.WSC").find("Serial=0x40000008\n"), std::string::npos);
}

TEST(FolderMelt, RefusesWhenSerialsRunOut) {
    FolderWorld w;
    w.put("0.0.wsc", "[ITEM]\nSerial=0xfffffffd\no---o\n");
    w.giveStatics(1, 1, {{3, 0, 0, 0, 0}, {4, 0, 0, 0, 0}});
    EXPECT_THROW(w.melt(1, 1), Error);
    EXPECT_EQ(w.get("0.0.wsc"), "[ITEM]\nSerial=0xfffffffd\no---o\n");
    EXPECT_EQ(w.blockOnDisk(1, 1).size(), 2u);
}

TEST(FolderMelt, FreezeThenMeltGivesBackTheItemsAndSerialsStayUnique) {
    FolderWorld w;
    FreezeFixture f;
    f.write(w);
    w.freeze(SelectionRule::Type255);
    w.melt(100, 200);
    w.melt(0, 1);
    // Both blocks' items are back, with their ids, places and colours, and every serial is unique.
    std::set<uint32_t> serials;
    std::vector<std::tuple<uint32_t, std::string, uint32_t>> items;
    for (const std::string& path : DetectWorldSave(w.shared).files) {
        const std::string text = readBytes(path);
        for (const wsc::Record& r : wsc::parseText(text).records) {
            if (r.serial) {
                EXPECT_TRUE(serials.insert(*wsc::parseNumber(r.serial->text)).second) << r.serial->text;
            }
            if (r.isKind("ITEM") && r.type && r.type->text == "255" && r.location &&
                wsc::requireLocation(*r.location, path).world == 0 && (!r.cont || r.cont->text == "0xffffffff"))
                items.emplace_back(*wsc::parseNumber(r.id->text), std::string(r.location->text),
                                   *wsc::parseNumber(r.colour->text));
        }
    }
    std::sort(items.begin(), items.end());
    EXPECT_EQ(items, (std::vector<std::tuple<uint32_t, std::string, uint32_t>>{
                         {0x0EED, "6200,100,0,0,0", 0x21},  // outside the map: never moved
                         {0x0EED, "7,9,100,0,0", 33},
                         {0x0EED, "801,1602,-5,0,0", 0x21}}));
    EXPECT_EQ(w.blockOnDisk(100, 200).size(), 0u);
}

} // namespace
} // namespace tq
