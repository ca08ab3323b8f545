#include "core/bytes.h"
#include "support/classic_world.h"
#include "core/error.h"
#include "diff_scenario.h"
#include "support/faulty_file_system.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

using test::DiffWorld;
using test::Scenario;

const uint8_t* u8(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

TDiffStaticsEntry staticsEntry(const std::string& package, const TDiffHeader& h, int x, int y) {
    TDiffStaticsEntry e;
    decodeDiffStaticsEntry(u8(package) + h.StaticsIndexPos + size_t(blockNumber(x, y)) * DiffStaticsEntrySize, e);
    return e;
}

int32_t mapEntry(const std::string& package, const TDiffHeader& h, int x, int y) {
    return le::i32(u8(package) + h.MapIndexPos + size_t(blockNumber(x, y)) * DiffMapEntrySize);
}

std::string blockBytes(const TMapBlock& b) {
    std::string s(MapBlockSize, '\0');
    encodeMapBlock(b, reinterpret_cast<uint8_t*>(s.data()));
    return s;
}

// Every statics entry of the package outside `special` must be `rest`.
void expectStaticsTable(const std::string& package, const TDiffHeader& h,
                        const std::map<std::pair<int, int>, TDiffStaticsEntry>& special, TDiffStaticsEntry rest) {
    for (int x = 0; x < BlocksX; ++x)
        for (int y = 0; y < BlocksY; ++y) {
            auto it = special.find({x, y});
            const TDiffStaticsEntry want = it == special.end() ? rest : it->second;
            const TDiffStaticsEntry got = staticsEntry(package, h, x, y);
            ASSERT_EQ(got, want) << "block (" << x << ", " << y << ")";
        }
}

void expectMapTable(const std::string& package, const TDiffHeader& h, const std::map<std::pair<int, int>, int32_t>& set) {
    for (int x = 0; x < BlocksX; ++x)
        for (int y = 0; y < BlocksY; ++y) {
            auto it = set.find({x, y});
            ASSERT_EQ(mapEntry(package, h, x, y), it == set.end() ? -1 : it->second)
                << "block (" << x << ", " << y << ")";
        }
}

TEST(GenerateDiff, BothPartsLayOutHeaderStaticsDataStaticsIndexMapDataMapIndex) {
    DiffWorld w;
    const Scenario s(/*sameEntryOtherBytes=*/true);
    s.writeOriginal(w.paths);
    s.writeModified(w.paths);

    const GenerateDiffResult r = GenerateDiff(w.paths, w.file("patch.tq2"), {true, true});
    EXPECT_EQ(r.packagePath, w.file("patch.tq2"));
    const uint32_t origCrc = StaticsCrc(*s.orig.index);
    EXPECT_EQ(r.origIndexCrc, origCrc);
    EXPECT_EQ(r.crcText, CrcValueText(origCrc));

    const std::string p = test::readBytes(r.packagePath);
    const TDiffHeader h = test::readHeader(r.packagePath);
    const std::string statics = s.packageStatics();
    EXPECT_EQ(h.DiffVersion, 2);
    EXPECT_EQ(h.StaticsIndexPos, int32_t(1024 + statics.size()));
    EXPECT_EQ(uint32_t(h.OrigIndexCrc), origCrc);
    EXPECT_EQ(uint32_t(h.ModIndexCrc), StaticsCrc(*s.mod.index));
    EXPECT_EQ(h.OrigStaticsSize, int32_t(s.orig.statics.size()));
    EXPECT_EQ(h.ModStaticsSize, int32_t(s.mod.statics.size()));
    EXPECT_EQ(h.MapIndexPos, int32_t(h.StaticsIndexPos + DiffStaticsIndexSize(ClassicWorld) + 3 * MapBlockSize));
    EXPECT_EQ(uint32_t(h.ModMapSum), MapFileSum(w.paths.modMap));
    EXPECT_EQ(p.substr(32, 992), std::string(992, '\0'));
    ASSERT_EQ(p.size(), size_t(h.MapIndexPos) + DiffMapIndexSize(ClassicWorld));

    // Statics: reordered D and new E are written; A (same entry, other bytes), C (Length 0),
    // F (same records elsewhere) and G are unchanged; B and every empty block are (-1, 0).
    EXPECT_EQ(p.substr(1024, statics.size()), statics);
    expectStaticsTable(p, h,
                       {{{2, 2}, {1024, 14}}, {{3, 3}, {1038, 7}}, {{0, 0}, {-1, -1}}, {{1, 0}, {-1, -1}},
                        {{5, 5}, {-1, -1}}, {{767, 511}, {-1, -1}}},
                       {-1, 0});

    // Map: the three changed blocks in x-major order, the header-only change included.
    const size_t mapData = size_t(h.StaticsIndexPos) + DiffStaticsIndexSize(ClassicWorld);
    EXPECT_EQ(p.substr(mapData, MapBlockSize), blockBytes(s.modMap.at({0, 0})));
    EXPECT_EQ(p.substr(mapData + MapBlockSize, MapBlockSize), blockBytes(s.modMap.at({2, 0})));
    EXPECT_EQ(p.substr(mapData + 2 * MapBlockSize, MapBlockSize), blockBytes(s.modMap.at({767, 511})));
    expectMapTable(p, h,
                   {{{0, 0}, int32_t(mapData)},
                    {{2, 0}, int32_t(mapData + MapBlockSize)},
                    {{767, 511}, int32_t(mapData + 2 * MapBlockSize)}});
}

TEST(GenerateDiff, OnePartLeavesTheOtherOutAndItsFilesUnread) {
    {
        DiffWorld w;
        const Scenario s;
        s.writeOriginal(w.paths, /*withMap=*/false);
        s.writeModified(w.paths, /*withMap=*/false);  // the maps do not exist at all
        const GenerateDiffResult r = GenerateDiff(w.paths, w.file("statics"), {true, false});
        EXPECT_EQ(r.packagePath, w.file("statics.tq2"));
        const TDiffHeader h = test::readHeader(r.packagePath);
        EXPECT_EQ(h.MapIndexPos, -1);
        EXPECT_EQ(h.ModMapSum, 0);
        EXPECT_EQ(h.StaticsIndexPos, int32_t(1024 + s.packageStatics().size()));
        EXPECT_EQ(std::filesystem::file_size(r.packagePath), size_t(h.StaticsIndexPos) + DiffStaticsIndexSize(ClassicWorld))
            << "the package ends with the statics index";
    }
    {
        DiffWorld w;
        const Scenario s;
        test::makeMap(w.paths.origMap, s.origMap);
        test::makeMap(w.paths.modMap, s.modMap);  // no statics files at all
        const GenerateDiffResult r = GenerateDiff(w.paths, w.file("map.TQ2"), {false, true});
        EXPECT_EQ(r.packagePath, w.file("map.TQ2"));
        EXPECT_EQ(r.crcText, "The original statics file has a CRC value of 00 00 00 00.");
        const std::string p = test::readBytes(r.packagePath);
        const TDiffHeader h = test::readHeader(r.packagePath);
        EXPECT_EQ(h, (TDiffHeader{2, -1, 0, 0, 0, 0, 1024 + 3 * MapBlockSize, h.ModMapSum}));
        EXPECT_EQ(p.substr(1024, MapBlockSize), blockBytes(s.modMap.at({0, 0}))) << "map data starts at 1024";
        EXPECT_EQ(p.size(), size_t(h.MapIndexPos) + DiffMapIndexSize(ClassicWorld));
    }
}

TEST(GenerateDiff, NothingChangedStillHoldsBothFullTables) {
    DiffWorld w;
    const Scenario s;
    s.writeOriginal(w.paths);
    s.orig.write(w.paths.modStaIdx, w.paths.modStatics);
    test::makeMap(w.paths.modMap, s.origMap);

    const GenerateDiffResult r = GenerateDiff(w.paths, w.file("same.tq2"), {});
    const std::string p = test::readBytes(r.packagePath);
    ASSERT_EQ(p.size(), 4719616u);
    const TDiffHeader h = test::readHeader(r.packagePath);
    EXPECT_EQ(h.StaticsIndexPos, 1024);
    EXPECT_EQ(h.MapIndexPos, 1024 + int32_t(DiffStaticsIndexSize(ClassicWorld)));
    // Blocks with statics are unchanged; blocks empty in the modified index are (-1, 0),
    // also where the original was empty too.
    std::map<std::pair<int, int>, TDiffStaticsEntry> unchanged;
    for (auto xy : {std::pair{0, 0}, {0, 1}, {1, 0}, {2, 2}, {5, 5}, {767, 511}}) unchanged[xy] = {-1, -1};
    expectStaticsTable(p, h, unchanged, {-1, 0});
    expectMapTable(p, h, {});
}

TEST(GenerateDiff, ReportsTheStepsAsTheWindowShowsThem) {
    DiffWorld w;
    const Scenario s;
    s.writeOriginal(w.paths);
    s.writeModified(w.paths);
    test::ProgressLog log;
    GenerateDiff(w.paths, w.file("p.tq2"), {}, log.progress());

    std::vector<std::string> want;
    auto bar = [&](int v) { want.push_back("b:" + std::to_string(v)); };
    auto columns = [&] { for (int x = 0; x < BlocksX; ++x) bar(x * 100 / BlocksX); };
    auto load = [&] { bar(0); columns(); bar(100); };
    want.push_back("m:Generating Diff (Statics)");
    load();
    load();
    columns();
    want.push_back("m:Generating Diff (Statics index)");
    columns();
    for (int v = 0; v <= 100; ++v) bar(v);  // the modified map's checksum
    bar(100);
    want.push_back("m:Generating Diff (Map)");
    columns();
    want.push_back("m:Generating Diff (Map index)");
    columns();
    EXPECT_EQ(log.events, want);
    EXPECT_GE(log.pumps, 6 * BlocksX);
}

// The map's checksum is taken in the same pass as the comparison. A world of an odd number
// of blocks per column ends each column in half a 64-bit word: a change there must count in
// the checksum and in the package, in both forms.
TEST(GenerateDiff, MapOfOddColumnsIsComparedAndSummedToItsLastWord) {
    DiffWorld w;
    const WorldGeometry world(4, 181, 181);
    const size_t column = size_t(world.blocksHigh) * MapBlockSize;
    std::string orig(size_t(world.blocksWide) * column, '\0');
    for (size_t i = 0; i < orig.size(); ++i) orig[i] = char((i * 2654435761u) >> 13);
    std::string mod = orig;
    // The last byte of the first column, of a column in the middle, and of the file.
    const std::vector<std::pair<int, int>> changed = {{0, 180}, {90, 180}, {180, 180}};
    for (auto [x, y] : changed) mod[size_t(x) * column + size_t(y + 1) * MapBlockSize - 1] ^= char(0x5a);
    DiffPaths paths;
    paths.origMap = w.file("orig/map4.mul");
    paths.modMap = w.file("mod/map4.mul");
    paths.facet = 4;
    test::writeBytes(paths.origMap, orig);
    test::writeBytes(paths.modMap, mod);
    uint32_t sum = 0;
    for (size_t i = 0; i < mod.size(); i += 4) sum ^= le::u32(u8(mod) + i);

    for (bool compact : {false, true}) {
        SCOPED_TRACE(compact ? "compact" : "full form");
        const GenerateDiffResult r =
            GenerateDiff(paths, w.file(compact ? "c.tq2" : "f.tq2"), {false, true, compact});
        const TDiffHeader h = test::readHeader(r.packagePath);
        EXPECT_EQ(uint32_t(h.ModMapSum), sum);
        EXPECT_EQ(r.fullSize - DiffHeaderSize - DiffMapIndexSize(world), changed.size() * MapBlockSize);
        const DiffPackageSummary summary = SummarizeDiffPackage(r.packagePath);
        std::vector<int> blocks;
        for (auto [x, y] : changed) blocks.push_back(world.blockNumber(x, y));
        EXPECT_EQ(summary.mapBlocks, blocks);
    }
}

// Each index is read once for its checksum and again for the comparison: a package whose
// header names the checksum of an index other than the one compared would be refused by
// the players it was made for, or worse pass where it should not. So is an index that
// another program changes in between.
TEST(GenerateDiff, AnIndexChangedWhileReadWritesNoPackage) {
    DiffWorld w;
    const Scenario s;
    s.writeOriginal(w.paths);
    s.writeModified(w.paths);
    for (const std::string& index : {w.paths.origStaIdx, w.paths.modStaIdx}) {
        const std::string target = w.file("changed.tq2");
        test::IndexRewrittenBetweenReads writer(index);
        try {
            ScopedFileSystem guard(writer);
            GenerateDiff(w.paths, target, {});
            ADD_FAILURE() << index << ": generated";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "The file changed while it was being read; nothing was written") << index;
            EXPECT_EQ(e.path(), index);
        }
        EXPECT_EQ(writer.opens, 2) << index;
        EXPECT_FALSE(std::filesystem::exists(target)) << index;
        EXPECT_TRUE(test::onlyFilesAre(w.dir.path(), {"mod", "orig"})) << index;
    }
}

TEST(GenerateDiff, AFailureLeavesTheChosenNameUntouched) {
    DiffWorld w;
    const Scenario s;
    s.writeOriginal(w.paths);
    s.writeModified(w.paths);
    const std::string target = w.file("out/patch.tq2");
    std::filesystem::create_directory(w.dir.path() / "out");
    test::writeBytes(target, "an older package");

    test::FaultyFileSystem faulty;
    {
        ScopedFileSystem guard(faulty);
        GenerateDiff(w.paths, target, {});
    }
    const int writes = faulty.writes;
    ASSERT_GT(writes, 1);
    struct Fault { const char* what; int write, rename; const char* message; };
    const Fault faults[] = {
        {"first write", 1, 0, "Disk full"},
        {"header rewrite", writes, 0, "Disk full"},
        {"rename", 0, 1, "File access denied"},
    };
    for (const Fault& f : faults) {
        test::writeBytes(target, "an older package");
        faulty.reset();
        faulty.failWriteAt = f.write;
        faulty.failRenameAt = f.rename;
        ScopedFileSystem guard(faulty);
        try {
            GenerateDiff(w.paths, target, {});
            ADD_FAILURE() << f.what << ": no error";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), f.message) << f.what;
        }
        EXPECT_EQ(test::readBytes(target), "an older package") << f.what;
        EXPECT_TRUE(test::onlyFilesAre(w.dir.path() / "out", {"patch.tq2"})) << f.what << ": temporary file left";
    }

    EXPECT_THROW(GenerateDiff(w.paths, target, {false, false}), Error);
    EXPECT_EQ(test::readBytes(target), "an older package");
}

} // namespace
} // namespace tq
