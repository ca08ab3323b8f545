// A full disk, a refused rename and a short read at each step of every operation that
// writes, in turn. After each failure the user has the file layer's message, and the
// files keep their promises: the index is whole and fits its statics, every text file is
// its old or its new text, nothing selected or melted is lost, the map keeps its size,
// and running the operation again finishes the job.
#include "diff/diff.h"
#include "support/classic_world.h"
#include "diff/diff_package.h"
#include "fillclear/fill_clear.h"
#include "hardening_support.h"
#include "mapedit/region_copy.h"
#include "worldsave/freeze.h"
#include "worldsave/melt.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tq {
namespace {

using test::Fault;
using test::FaultTable;
using test::readBytes;
using test::staticRec;
using test::StaticsFiles;
using test::TempDir;
using test::writeBytes;

std::vector<std::string> names(std::initializer_list<const char*> list) {
    std::vector<std::string> v(list.begin(), list.end());
    std::sort(v.begin(), v.end());
    return v;
}

// Leaves only the given files in the folder (a failed step may leave nothing else, but
// the next step must start clean even if it did).
// Folders (where a test keeps its good results) stay.
void keepOnly(const TempDir& dir, const std::vector<std::string>& keep) {
    for (const std::string& name : test::filesIn(dir.path().string()))
        if (std::find(keep.begin(), keep.end(), name) == keep.end() && !std::filesystem::is_directory(dir.path() / name))
            std::filesystem::remove(dir.path() / name);
}

TEST(FaultTables, SaveStaticIndex) {
    TempDir dir;
    const std::string staidx = dir.file("staidx0.mul");
    StaticsFiles before, after;
    before.give(0, 0, {staticRec(1, 0, 0)});
    after.give(767, 511, {staticRec(2, 1, 1)}, 9);
    const std::string oldBytes = before.indexBytes(), newBytes = after.indexBytes();

    FaultTable table;
    table.name = "SaveStaticIndex";
    table.prepare = [&] {
        keepOnly(dir, {});
        writeBytes(staidx, oldBytes);
    };
    table.operation = [&] { SaveStaticIndex(staidx, *after.index); };
    table.check = [&](Fault, int, const std::string& what) {
        const std::string bytes = readBytes(staidx);
        EXPECT_TRUE(bytes == oldBytes || bytes == newBytes) << what << ": torn index";
        EXPECT_EQ(test::filesIn(dir.path().string()), names({"staidx0.mul"})) << what;
    };
    const test::StepCounts counts = table.run();
    EXPECT_EQ(counts.renames, 1);
}

// ---- freeze with a patch file ---------------------------------------------------------

std::string item(int section, int id, int x, int y, int type, const std::string& name = "#", int cont = -1) {
    return "SECTION WORLDITEM " + std::to_string(section) + "\r\n{\r\nSERIAL " + std::to_string(5000 + section) +
           "\r\nNAME " + name + "\r\nID " + std::to_string(id) + "\r\nX " + std::to_string(x) + "\r\nY " +
           std::to_string(y) + "\r\nZ -3\r\nCOLOR 12\r\nCONT " + std::to_string(cont) + "\r\nTYPE " +
           std::to_string(type) + "\r\n}\r\n\r\n";
}

TEST(FaultTables, FreezeWithPatchFile) {
    TempDir dir;
    const std::string staidx = dir.file("staidx0.mul"), statics = dir.file("statics0.mul"), wsc = dir.file("items.wsc"),
                      pat = dir.file("out.pat"), autoSelect = dir.file("AutoSelect.txt");
    StaticsFiles world;
    world.give(1, 1, {staticRec(900, 1, 1)}, 5);
    world.give(2, 0, {staticRec(901, 2, 2), staticRec(902, 3, 3)});
    world.give(3, 3, {});
    // Rule "auto": on the ground, and TYPE 255 or (TYPE 0, NAME "#", listed id).
    struct Item {
        int section, bx, by;
        TStaticRec rec;
    };
    const std::vector<Item> selected = {{1, 1, 1, staticRec(100, 0, 0, -3, 12)},
                                        {2, 2, 0, staticRec(101, 1, 3, -3, 12)},
                                        {3, 1, 1, staticRec(102, 1, 1, -3, 12)},
                                        {4, 0, 0, staticRec(5, 1, 1, -3, 12)},
                                        {7, 3, 3, staticRec(103, 7, 7, -3, 12)}};
    const std::string oldWsc = "// a server's save\r\n" + item(1, 100, 8, 8, 255) + item(2, 101, 17, 3, 255) +
                               "SECTION CHARACTER 9\r\n{\r\nNAME Bob\r\nX 8\r\nY 8\r\n}\r\n" +
                               item(3, 102, 9, 9, 255) + item(4, 5, 1, 1, 0) + item(5, 6, 1, 1, 0) +
                               item(6, 104, 30, 30, 255, "#", 99) + item(7, 103, 31, 31, 255) + "EOF\r\n";
    const std::string oldPat = "SECTION WORLDITEM 40\r\n{\r\nSERIAL 1073741900\r\nTYPE 0\r\n}\r\nEOF\r\n";
    auto index = newStaticIndex();
    auto options = [&] {
        FreezeOptions o;
        o.staidxPath = staidx;
        o.staticsPath = statics;
        o.worldSavePath = wsc;
        o.rule = SelectionRule::Auto;
        o.writePat = true;
        o.patPath = pat;
        o.autoSelectPath = autoSelect;
        return o;
    };
    const auto files = names({"AutoSelect.txt", "items.wsc", "out.pat", "staidx0.mul", "statics0.mul"});
    auto prepare = [&] {
        keepOnly(dir, {});
        world.write(staidx, statics);
        writeBytes(wsc, oldWsc);
        writeBytes(pat, oldPat);
        writeBytes(autoSelect, "# ids frozen by the auto rule\r\n00 05\r\n");
        *index = *world.index;
    };

    // The good run's texts.
    prepare();
    FreezeWorld(options(), *index, {}, {});
    const std::string newWsc = readBytes(wsc), newPat = readBytes(pat);
    ASSERT_NE(newWsc, oldWsc);
    for (const Item& it : selected) {
        const auto recs = test::blockOnDisk(staidx, statics, it.bx, it.by);
        ASSERT_NE(std::find(recs.begin(), recs.end(), it.rec), recs.end()) << "item " << it.section;
    }

    FaultTable table;
    table.name = "FreezeWorld with a patch file";
    table.prepare = prepare;
    table.operation = [&] { FreezeWorld(options(), *index, {}, {}); };
    table.check = [&](Fault, int, const std::string& what) {
        EXPECT_EQ(test::indexProblem(staidx, statics), "") << what;
        const std::string w = readBytes(wsc), p = readBytes(pat);
        EXPECT_TRUE(w == oldWsc || w == newWsc) << what << ": world-save is neither old nor new";
        EXPECT_TRUE(p == oldPat || p == newPat) << what << ": patch file is neither old nor new";
        const test::DiskStatics disk(staidx, statics);
        for (const Item& it : selected) {
            const bool inWorldSave = w.find("SECTION WORLDITEM " + std::to_string(it.section) + "\r\n") != std::string::npos;
            const auto recs = disk.block(it.bx, it.by);
            const bool inStatics = std::find(recs.begin(), recs.end(), it.rec) != recs.end();
            EXPECT_TRUE(inWorldSave || inStatics) << what << ": item " << it.section << " is in neither";
        }
        // The window's index is what the file holds, so its next save loses nothing.
        EXPECT_TRUE(disk.index->entries == index->entries) << what << ": the window's index differs from the file";
        EXPECT_EQ(test::filesIn(dir.path().string()), files) << what;
    };
    const test::StepCounts counts = table.run();
    EXPECT_EQ(counts.renames, 4);  // the journal, then index, world-save, patch file
}

// ---- melt -----------------------------------------------------------------------------

TEST(FaultTables, Melt) {
    TempDir dir;
    const std::string staidx = dir.file("staidx0.mul"), statics = dir.file("statics0.mul"), wsc = dir.file("items.wsc");
    StaticsFiles world;
    world.give(4, 7, {staticRec(300, 1, 2), staticRec(301, 7, 0, -128, 0xFFFF), staticRec(302, 0, 7)}, 11);
    world.give(5, 5, {staticRec(400, 0, 0)});
    const std::string oldWsc = item(10, 1, 1, 1, 0) + "EOF\r\n";
    const std::string oldIndex = world.indexBytes();
    auto index = newStaticIndex();
    auto prepare = [&] {
        keepOnly(dir, {});
        world.write(staidx, statics);
        writeBytes(wsc, oldWsc);
        *index = *world.index;
    };
    MeltOptions options{staidx, statics, wsc, false};
    prepare();
    MeltBlock(options, 4, 7, *index, {}, {});
    const std::string newWsc = readBytes(wsc), newIndex = readBytes(staidx);

    FaultTable table;
    table.name = "MeltBlock";
    table.prepare = prepare;
    table.operation = [&] { MeltBlock(options, 4, 7, *index, {}, {}); };
    table.check = [&](Fault, int, const std::string& what) {
        EXPECT_EQ(test::indexProblem(staidx, statics), "") << what;
        const std::string w = readBytes(wsc), i = readBytes(staidx);
        EXPECT_TRUE(w == oldWsc || w == newWsc) << what << ": world-save is neither old nor new";
        EXPECT_TRUE(i == oldIndex || i == newIndex) << what << ": index is neither old nor new";
        // Old index and new world-save: the statics stand in both places for a moment.
        // New index and old world-save would have lost them.
        EXPECT_FALSE(i == newIndex && w == oldWsc) << what << ": the melted statics are in neither file";
        EXPECT_EQ(readBytes(statics), world.statics) << what << ": melt writes no statics";
        auto disk = newStaticIndex();
        LoadStaticIndex(staidx, *disk);
        EXPECT_TRUE(disk->entries == index->entries) << what << ": the window's index differs from the file";
        EXPECT_EQ(test::filesIn(dir.path().string()), names({"items.wsc", "staidx0.mul", "statics0.mul"})) << what;
    };
    table.run();
}

// ---- fill/clear ------------------------------------------------------------------------

TEST(FaultTables, FillClear) {
    TempDir dir;
    const std::string staidx = dir.file("staidx0.mul"), statics = dir.file("statics0.mul"), map = dir.file("map0.mul");
    StaticsFiles world;
    // Blocks 0..3 x 0..3, each with records inside and outside the rectangle below.
    for (int bx = 0; bx < 4; ++bx)
        for (int by = 0; by < 4; ++by) {
            std::vector<TStaticRec> recs;
            for (int i = 0; i < 6; ++i)
                recs.push_back(staticRec(uint16_t(bx * 100 + by * 10 + i), uint8_t((i * 3 + bx) % 8), uint8_t((i * 5 + by) % 8)));
            world.give(bx, by, recs, bx + by);
        }
    const std::string oldMap = test::mapBytes(4);
    FillClearInput in;
    in.Left = "4";
    in.Top = "4";
    in.Right = "27";
    in.Bottom = "19";
    in.StaIdxPath = staidx;
    in.StaticsPath = statics;
    in.MapPath = map;
    in.Tile = "00 A8";
    in.Altitude = "-5";
    auto prepare = [&] {
        keepOnly(dir, {});
        world.write(staidx, statics);
        writeBytes(map, oldMap);
    };
    prepare();
    FillClear(in);
    const std::string newMap = readBytes(map);
    std::filesystem::create_directory(dir.path() / "good");
    const std::string goodStaidx = dir.file("good/staidx0.mul"), goodStatics = dir.file("good/statics0.mul");
    std::filesystem::copy_file(staidx, goodStaidx);
    std::filesystem::copy_file(statics, goodStatics);
    const test::DiskStatics good(goodStaidx, goodStatics);

    FaultTable table;
    table.name = "FillClear";
    table.prepare = prepare;
    table.operation = [&] { FillClear(in); };
    table.check = [&](Fault, int, const std::string& what) {
        EXPECT_EQ(test::indexProblem(staidx, statics), "") << what;
        const std::string m = readBytes(map);
        ASSERT_EQ(m.size(), oldMap.size()) << what << ": the map changed its size";
        // In place and not rolled back: each cell is its old or its new value, never torn,
        // and each block holds its old or its new records.
        for (size_t at = 0; at < m.size(); at += MapCellSize)
            if (m.compare(at, MapCellSize, oldMap, at, MapCellSize) != 0 &&
                m.compare(at, MapCellSize, newMap, at, MapCellSize) != 0) {
                ADD_FAILURE() << what << ": map byte " << at << " is neither old nor new";
                break;
            }
        const test::DiskStatics disk(staidx, statics);
        for (int bx = 0; bx < 4; ++bx)
            for (int by = 0; by < 4; ++by) {
                const auto now = disk.block(bx, by);
                EXPECT_TRUE(now == world.records(bx, by) || now == good.block(bx, by))
                    << what << ": block (" << bx << ", " << by << ") is neither old nor new";
            }
        // Running it again finishes the job.
        FillClear(in);
        std::string difference;
        EXPECT_TRUE(test::sameStaticsContent(staidx, statics, goodStaidx, goodStatics, &difference))
            << what << ": after running again, " << difference;
        EXPECT_EQ(readBytes(map), newMap) << what << ": after running again the map differs";
    };
    table.run();
}

// ---- region copy -----------------------------------------------------------------------

TEST(FaultTables, CopyMapRegion) {
    TempDir dir;
    const std::string src = dir.file("src-map0.mul"), dst = dir.file("map0.mul");
    const std::string source = test::mapBytes(3, 1), oldDst = test::mapBytes(3, 2);
    MapRegionTexts corners;
    corners.SFX = "3", corners.SFY = "3", corners.STX = "17", corners.STY = "20";
    corners.DFX = "5", corners.DFY = "1", corners.DTX = "19", corners.DTY = "18";
    auto prepare = [&] {
        keepOnly(dir, {});
        writeBytes(src, source);
        writeBytes(dst, oldDst);
    };
    prepare();
    CopyMapRegion(src, dst, corners);
    const std::string newDst = readBytes(dst);
    ASSERT_NE(newDst, oldDst);

    FaultTable table;
    table.name = "CopyMapRegion";
    table.prepare = prepare;
    table.operation = [&] { CopyMapRegion(src, dst, corners); };
    table.check = [&](Fault, int, const std::string& what) {
        const std::string d = readBytes(dst);
        ASSERT_EQ(d.size(), oldDst.size()) << what << ": the map changed its size";
        for (size_t at = 0; at < d.size(); at += MapCellSize)
            if (d.compare(at, MapCellSize, oldDst, at, MapCellSize) != 0 &&
                d.compare(at, MapCellSize, newDst, at, MapCellSize) != 0) {
                ADD_FAILURE() << what << ": map byte " << at << " is neither old nor new";
                break;
            }
        EXPECT_EQ(readBytes(src), source) << what << ": the source changed";
        CopyMapRegion(src, dst, corners);
        EXPECT_EQ(readBytes(dst), newDst) << what << ": after copying again the map differs";
    };
    table.run();
}

// ---- diff packages ---------------------------------------------------------------------

// Original and modified worlds that differ in statics (changed, emptied, new blocks) and
// in map blocks, header bytes included.
struct DiffWorlds {
    TempDir dir;
    DiffPaths paths;
    StaticsFiles orig, mod, playerOld;
    std::map<std::pair<int, int>, TMapBlock> origMap, modMap;

    DiffWorlds() {
        for (const char* d : {"orig", "mod", "out", "good"}) std::filesystem::create_directory(dir.path() / d);
        paths = {dir.file("orig/staidx0.mul"), dir.file("orig/statics0.mul"), dir.file("orig/map0.mul"),
                 dir.file("mod/staidx0.mul"),  dir.file("mod/statics0.mul"),  dir.file("mod/map0.mul")};
        for (int i = 0; i < 40; ++i)
            orig.give(i % 7, i * 13 % 512, {staticRec(uint16_t(i), 1, 2), staticRec(uint16_t(i + 1000), 3, 4)}, i);
        mod = orig;
        mod.give(0, 0, {staticRec(7, 7, 7)});
        mod.index->at(1, 13) = {-1, 0, 0};
        mod.give(500, 300, {staticRec(8, 0, 0), staticRec(9, 1, 1)});
        origMap = {{{0, 0}, test::patternBlock(1)}, {{300, 200}, test::patternBlock(2)}, {{767, 511}, test::patternBlock(3)}};
        modMap = origMap;
        modMap[{0, 0}].Header[2] ^= 1;
        modMap[{1, 1}] = test::patternBlock(4);
        modMap[{767, 511}] = test::patternBlock(5);
        // What the player's modified files held before applying.
        playerOld.give(9, 9, {staticRec(0xBAD, 1, 1)});
    }
    void writeOriginals() {
        orig.write(paths.origStaIdx, paths.origStatics);
        test::writeFullMap(paths.origMap, origMap);
    }
    void writeModified() {
        mod.write(paths.modStaIdx, paths.modStatics);
        test::writeFullMap(paths.modMap, modMap);
    }
    void writePlayersOld() {
        for (const auto& name : test::filesIn(dir.file("mod"))) std::filesystem::remove(dir.path() / "mod" / name);
        playerOld.write(paths.modStaIdx, paths.modStatics);
        test::writeFullMap(paths.modMap, origMap);
    }
};

TEST(FaultTables, GenerateDiff) {
    DiffWorlds w;
    w.writeOriginals();
    w.writeModified();
    const std::string package = w.dir.file("out/p.tq2");
    GenerateDiff(w.paths, package, {});
    const std::string good = readBytes(package);

    FaultTable table;
    table.name = "GenerateDiff";
    table.mostPerKind = 30;
    table.prepare = [&] { std::filesystem::remove(package); };
    table.operation = [&] { GenerateDiff(w.paths, package, {}); };
    table.check = [&](Fault, int, const std::string& what) {
        // Nothing under the chosen name, or the whole package.
        const auto left = test::filesIn(w.dir.file("out"));
        EXPECT_TRUE(left.empty() || (left == names({"p.tq2"}) && readBytes(package) == good)) << what;
    };
    table.run();
}

TEST(FaultTables, ApplyDiff) {
    DiffWorlds w;
    w.writeOriginals();
    w.writeModified();
    const std::string package = w.dir.file("out/p.tq2");
    GenerateDiff(w.paths, package, {});
    // The good result, kept for comparison.
    const std::string goodStaidx = w.dir.file("good/staidx0.mul"), goodStatics = w.dir.file("good/statics0.mul"),
                      goodMap = w.dir.file("good/map0.mul");
    w.writePlayersOld();
    const std::string oldStaidx = readBytes(w.paths.modStaIdx), oldStatics = readBytes(w.paths.modStatics);
    ApplyDiff(w.paths, package);
    for (const auto& [from, to] : {std::pair{w.paths.modStaIdx, goodStaidx}, std::pair{w.paths.modStatics, goodStatics},
                                   std::pair{w.paths.modMap, goodMap}})
        std::filesystem::copy_file(from, to);
    const std::string newStaidx = readBytes(goodStaidx), newStatics = readBytes(goodStatics);
    FaultTable table;
    table.name = "ApplyDiff";
    table.mostPerKind = 16;
    table.prepare = [&] { w.writePlayersOld(); };
    table.operation = [&] { ApplyDiff(w.paths, package); };
    table.check = [&](Fault, int, const std::string& what) {
        const std::string i = readBytes(w.paths.modStaIdx), s = readBytes(w.paths.modStatics);
        const bool oldPair = i == oldStaidx && s == oldStatics, newPair = i == newStaidx && s == newStatics;
        EXPECT_TRUE(oldPair || newPair) << what << ": the statics and index are not a pair";
        EXPECT_EQ(test::indexProblem(w.paths.modStaIdx, w.paths.modStatics), "") << what;
        EXPECT_EQ(std::filesystem::file_size(w.paths.modMap), MapFileSize) << what << ": the map changed its size";
        EXPECT_EQ(test::filesIn(w.dir.file("mod")), names({"map0.mul", "staidx0.mul", "statics0.mul"})) << what;
        // Applying again completes the world.
        ApplyDiff(w.paths, package);
        EXPECT_TRUE(readBytes(w.paths.modStaIdx) == newStaidx && readBytes(w.paths.modStatics) == newStatics)
            << what << ": applying again gave other statics";
        EXPECT_TRUE(test::sameFileBytes(w.paths.modMap, goodMap)) << what << ": applying again gave another map";
    };
    table.run();
}

// A player applying a package straight into the original files: if the second of the two
// renames is refused, the original pair must survive, or the next apply would pass the
// checksum and copy the new statics through the old index.
TEST(FaultTables, ApplyDiffIntoTheOriginalFilesKeepsThemWholeWhenARenameIsRefused) {
    DiffWorlds w;
    w.writeOriginals();
    w.writeModified();
    const std::string package = w.dir.file("out/p.tq2");
    GenerateDiff(w.paths, package, {true, false});
    w.writeOriginals();
    DiffPaths same = w.paths;
    same.modStaIdx = same.origStaIdx;
    same.modStatics = same.origStatics;
    const std::string oldStaidx = readBytes(same.origStaIdx), oldStatics = readBytes(same.origStatics);
    for (int rename = 1; rename <= 2; ++rename) {
        test::FaultyFileSystem faulty;
        faulty.failRenameAt = rename;
        {
            ScopedFileSystem guard(faulty);
            EXPECT_THROW(ApplyDiff(same, package), Error);
        }
        EXPECT_EQ(readBytes(same.origStaIdx), oldStaidx) << "rename " << rename;
        EXPECT_EQ(readBytes(same.origStatics), oldStatics) << "rename " << rename;
    }
    ApplyDiff(same, package);
    const test::DiskStatics got(same.origStaIdx, same.origStatics);
    for (int x = 0; x < BlocksX; ++x)
        for (int y = 0; y < BlocksY; ++y) ASSERT_EQ(got.block(x, y), w.mod.records(x, y)) << x << ", " << y;
}

} // namespace
} // namespace tq
