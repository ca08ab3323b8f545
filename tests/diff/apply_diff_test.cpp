#include "core/bytes.h"
#include "support/classic_world.h"
#include "core/error.h"
#include "diff_scenario.h"
#include "support/faulty_file_system.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

using test::DiffWorld;
using test::PackageBuilder;
using test::Scenario;

// The player's files before applying: copies of the originals, as a fresh install has them.
void installOriginals(const DiffWorld& w, const Scenario& s, bool withMap = true) {
    s.orig.write(w.paths.modStaIdx, w.paths.modStatics);
    if (withMap) test::makeMap(w.paths.modMap, s.origMap);
}

struct Snapshot {
    std::string staidx, statics, map;
    static Snapshot of(const DiffPaths& p) {
        Snapshot s{test::readBytes(p.modStaIdx), test::readBytes(p.modStatics), {}};
        if (std::filesystem::exists(p.modMap)) s.map = test::readBytes(p.modMap);
        return s;
    }
    bool operator==(const Snapshot&) const = default;
};

// Every block's statics as in the modified world, each run stored once, in x-major order.
void expectStaticsEqualModified(const std::string& staidxPath, const std::string& staticsPath, const Scenario& s) {
    auto index = newStaticIndex();
    LoadStaticIndex(staidxPath, *index);
    const std::string statics = test::readBytes(staticsPath);
    auto run = [](const std::string& bytes, const TStaticIndexRec& e) {
        return e.Start == -1 ? std::string() : bytes.substr(size_t(e.Start), size_t(e.Length));
    };
    int64_t next = 0;
    for (int x = 0; x < BlocksX; ++x)
        for (int y = 0; y < BlocksY; ++y) {
            const TStaticIndexRec& e = index->at(x, y);
            ASSERT_TRUE(run(statics, e) == run(s.mod.statics, s.mod.index->at(x, y)))
                << "block (" << x << ", " << y << ")";
            if (e.Start != -1) {
                ASSERT_EQ(e.Start, next) << "block (" << x << ", " << y << ")";
                next += e.Length;
            }
        }
    EXPECT_EQ(int64_t(statics.size()), next);
}

void expectWorldEqualsModified(const DiffWorld& w, const Scenario& s) {
    expectStaticsEqualModified(w.paths.modStaIdx, w.paths.modStatics, s);
    test::TempDir mapDir;
    test::makeMap(mapDir.file("map0.mul"), s.modMap);
    EXPECT_TRUE(test::readBytes(w.paths.modMap) == test::readBytes(mapDir.file("map0.mul")));
}

TEST(ApplyDiff, RoundTripGivesTheModifiedWorldBlockForBlock) {
    DiffWorld w;
    const Scenario s;
    s.writeOriginal(w.paths);
    s.writeModified(w.paths);
    const std::string package = GenerateDiff(w.paths, w.file("patch.tq2"), {}).packagePath;

    installOriginals(w, s);
    ApplyDiff(w.paths, package);
    expectWorldEqualsModified(w, s);
    EXPECT_TRUE(test::onlyFilesAre(w.dir.path() / "mod", {"staidx0.mul", "statics0.mul", "map0.mul"}));

    // The same package from a file named in upper case applies too.
    std::filesystem::rename(package, w.file("PATCH.TQ2"));
    installOriginals(w, s);
    ApplyDiff(w.paths, w.file("PATCH.TQ2"));
    expectWorldEqualsModified(w, s);
}

TEST(ApplyDiff, NewIndexEntriesFollowTheApplyTable) {
    DiffWorld w;
    test::StaticsWorld orig;
    orig.put(0, 0, {test::rec(1)}, 11);         // unchanged, copied
    orig.put(0, 1, {}, 12);                     // unchanged, Length 0
    orig.index->at(0, 2) = {-1, 21, 13};        // unchanged, Start -1 but Length 21
    orig.put(0, 3, {test::rec(2)}, 14);         // emptied by the package
    orig.put(0, 4, {test::rec(3)}, 15);         // replaced from the package
    orig.write(w.paths.origStaIdx, w.paths.origStatics);
    orig.write(w.paths.modStaIdx, w.paths.modStatics);

    PackageBuilder b;
    b.withMap = false;
    b.header.OrigIndexCrc = int32_t(StaticsCrc(*orig.index));
    b.statics[blockNumber(0, 3)] = {-1, 0};
    b.statics[blockNumber(0, 4)] = b.addRecords({test::rec(4), test::rec(5)});
    b.staticsRest = {-1, 0};
    for (int y = 0; y < 3; ++y) b.statics[blockNumber(0, y)] = {-1, -1};
    test::writeBytes(w.file("p.tq2"), b.bytes());

    ApplyDiff(w.paths, w.file("p.tq2"));
    auto index = newStaticIndex();
    LoadStaticIndex(w.paths.modStaIdx, *index);
    struct Want { int y; TStaticIndexRec entry; };
    const Want wants[] = {
        {0, {0, 7, 11}},     // copied from the original
        {1, {-1, -1, 12}},   // nothing to copy
        {2, {7, 0, 13}},     // appended with no records: Start set, Length 0
        {3, {-1, -1, 14}},   // empty in the modified world
        {4, {7, 14, -1}},    // from the package: Extra -1
        {5, {-1, -1, 0}},
    };
    for (const Want& want : wants) EXPECT_EQ(index->at(0, want.y), want.entry) << "block (0, " << want.y << ")";
    EXPECT_EQ(test::readBytes(w.paths.modStatics), test::recordBytes({test::rec(1), test::rec(4), test::rec(5)}));
}

TEST(ApplyDiff, CrcMismatchChangesNothing) {
    DiffWorld w;
    const Scenario s;
    s.writeOriginal(w.paths);
    s.writeModified(w.paths);
    const std::string package = GenerateDiff(w.paths, w.file("patch.tq2"), {}).packagePath;
    installOriginals(w, s);

    // The player's original differs from the one the package was made from.
    test::StaticsWorld other = s.orig;
    other.index->at(100, 100).Extra = 0x01020304;
    other.write(w.paths.origStaIdx, w.paths.origStatics);
    const uint32_t expected = StaticsCrc(*s.orig.index), actual = expected ^ 0x01020304;

    const Snapshot before = Snapshot::of(w.paths);
    try {
        ApplyDiff(w.paths, package);
        FAIL() << "applied";
    } catch (const DiffCrcError& e) {
        EXPECT_EQ(std::string(e.what()),
                  "The CRC value of your orginal statics file (" + IntToSpacedHex(int32_t(actual), 4) +
                      ") does not match the one used to generate this TQD file (" +
                      IntToSpacedHex(int32_t(expected), 4) +
                      "). To apply this TQD you need to get the correct original files!");
    }
    EXPECT_TRUE(Snapshot::of(w.paths) == before) << "statics, index and map unchanged";
    EXPECT_TRUE(test::onlyFilesAre(w.dir.path() / "mod", {"staidx0.mul", "statics0.mul", "map0.mul"}));
}

TEST(ApplyDiff, RefusesAPackageNotNamedTq2BeforeReadingIt) {
    DiffWorld w;
    for (const char* name : {"patch.tqd", "patch", "patch.tq2.old"}) {
        try {
            ApplyDiff(w.paths, w.file(name));  // the file does not even exist
            ADD_FAILURE() << name;
        } catch (const DiffPackageNameError& e) {
            EXPECT_STREQ(e.what(),
                         "You can't apply this file! If you want to apply a .tqd file, please use Terraquill 5.");
        }
    }
}

TEST(ApplyDiff, RefusesHostilePackagesBeforeWritingAnything) {
    DiffWorld w;
    const Scenario s;
    s.writeOriginal(w.paths, false);
    installOriginals(w, s, false);
    test::writeBytes(w.paths.origMap, "tiny");
    test::writeBytes(w.paths.modMap, "tiny");
    const Snapshot before = Snapshot::of(w.paths);

    // A valid package with one statics run and one map block, then broken one way at a time.
    auto valid = [&] {
        PackageBuilder b;
        b.header.OrigIndexCrc = int32_t(StaticsCrc(*s.orig.index));
        b.statics[blockNumber(9, 9)] = b.addRecords({test::rec(1), test::rec(2)});
        b.map[blockNumber(9, 9)] = b.addMapBlock(test::mapBlock(1));
        return b;
    };
    const int64_t size = int64_t(valid().bytes().size());
    const int32_t bigPos = int32_t(size - 10);
    struct Case { const char* what; std::function<void(PackageBuilder&)> breakIt; const char* fragment; };
    const Case cases[] = {
        {"version", [](PackageBuilder& b) { b.header.DiffVersion = 5; }, "version 5"},
        {"world of a version 3 package", [](PackageBuilder& b) {
             b.header.DiffVersion = 3;
             b.header.Facet = 4;
             b.header.BlocksWide = b.header.BlocksHigh = 100;
         }, "a world of 100 \u00d7 100 blocks on facet 4, which is not one of the client's worlds"},
        {"no parts", [](PackageBuilder& b) { b.withStatics = b.withMap = false; }, "neither statics nor map"},
        {"statics entry (-1, 7)", [](PackageBuilder& b) { b.statics[5] = {-1, 7}; }, "block (0, 5) points outside"},
        {"statics entry in the header", [](PackageBuilder& b) { b.statics[5] = {1000, 7}; }, "points outside"},
        {"statics entry past the end", [=](PackageBuilder& b) { b.statics[5] = {bigPos, 14}; }, "points outside"},
        {"statics length 10", [](PackageBuilder& b) { b.statics[5] = {1024, 10}; }, "not a whole number"},
        {"statics length -7", [](PackageBuilder& b) { b.statics[5] = {1024, -7}; }, "not a whole number"},
        {"2049 statics", [](PackageBuilder& b) { b.statics[5] = {1024, 2049 * 7}; }, "at most 2048"},
        {"map entry in the header", [](PackageBuilder& b) { b.map[6] = 20; }, "map entry of block (0, 6)"},
        {"map entry past the end", [=](PackageBuilder& b) { b.map[6] = bigPos - 100; }, "map entry"},
        {"map entry -2", [](PackageBuilder& b) { b.map[6] = -2; }, "map entry"},
    };
    auto expectRefused = [&](const std::string& what, const std::string& bytes, const std::string& fragment) {
        test::writeBytes(w.file("bad.tq2"), bytes);
        try {
            ApplyDiff(w.paths, w.file("bad.tq2"));
            ADD_FAILURE() << what << ": applied";
        } catch (const Error& e) {
            const std::string m = e.what();
            EXPECT_EQ(m.rfind("Invalid TQD file", 0), 0u) << what << ": " << m;
            EXPECT_NE(m.find(fragment), std::string::npos) << what << ": " << m;
        }
        EXPECT_TRUE(Snapshot::of(w.paths) == before) << what;
    };
    for (const Case& c : cases) {
        PackageBuilder b = valid();
        c.breakIt(b);
        expectRefused(c.what, b.bytes(), c.fragment);
    }

    // Header positions are patched after the tables are laid out.
    auto patched = [&](int offset, int32_t value) {
        std::string bytes = valid().bytes();
        le::put32(reinterpret_cast<uint8_t*>(bytes.data()) + offset, uint32_t(value));
        return bytes;
    };
    expectRefused("statics index in the header", patched(4, 16), "statics index");
    expectRefused("statics index past the end", patched(4, int32_t(size - DiffStaticsIndexSize(ClassicWorld) + 1)), "statics index");
    expectRefused("map index past the end", patched(24, int32_t(size - 4)), "map index");
    expectRefused("map index negative", patched(24, -100), "map index");
    expectRefused("shorter than the header", valid().bytes().substr(0, 1000), "header");
    expectRefused("cut short in the map index", valid().bytes().substr(0, size_t(size - 1)), "map index");
}

TEST(ApplyDiff, AFailedStaticsPartLeavesTheOldStaticsAndIndexWhole) {
    DiffWorld w;
    const Scenario s;
    s.writeOriginal(w.paths, false);
    s.writeModified(w.paths, false);
    const std::string package = GenerateDiff(w.paths, w.file("p.tq2"), {true, false}).packagePath;
    // The player's modified files hold something else, which must survive a failure.
    test::StaticsWorld old;
    old.put(7, 7, {test::rec(0x0BAD)});
    old.write(w.paths.modStaIdx, w.paths.modStatics);
    const Snapshot before = Snapshot::of(w.paths);

    test::FaultyFileSystem faulty;
    struct Fault { const char* what; int write, rename, shortRead; };
    const Fault faults[] = {
        {"statics write", 1, 0, 0},
        {"index write", 2, 0, 0},
        {"statics rename", 0, 1, 0},
        {"original statics read", 0, 0, 4},
    };
    for (const Fault& f : faults) {
        faulty.reset();
        faulty.failWriteAt = f.write;
        faulty.failRenameAt = f.rename;
        faulty.shortReadAt = f.shortRead;
        {
            ScopedFileSystem guard(faulty);
            EXPECT_THROW(ApplyDiff(w.paths, package), Error) << f.what;
        }
        EXPECT_TRUE(faulty.faulted) << f.what;
        EXPECT_TRUE(Snapshot::of(w.paths) == before) << f.what;
        EXPECT_TRUE(test::onlyFilesAre(w.dir.path() / "mod", {"staidx0.mul", "statics0.mul"})) << f.what;
    }

    // Original and modified statics in one file: the original stays readable until copied.
    DiffPaths same = w.paths;
    same.modStaIdx = same.origStaIdx;
    same.modStatics = same.origStatics;
    ApplyDiff(same, package);
    expectStaticsEqualModified(same.modStaIdx, same.modStatics, s);
}

TEST(ApplyDiff, ApplyingAgainCompletesAMapInterruptedByAFailure) {
    DiffWorld w;
    const Scenario s;
    s.writeOriginal(w.paths);
    s.writeModified(w.paths);
    const std::string package = GenerateDiff(w.paths, w.file("p.tq2"), {}).packagePath;
    installOriginals(w, s);

    test::FaultyFileSystem faulty;
    faulty.failWriteAt = 2 + 300;  // statics and index, then 300 map columns
    {
        ScopedFileSystem guard(faulty);
        try {
            ApplyDiff(w.paths, package);
            FAIL() << "applied";
        } catch (const Error& e) {
            EXPECT_STREQ(e.what(), "Disk full");
        }
    }
    ApplyDiff(w.paths, package);
    expectWorldEqualsModified(w, s);
}

TEST(ApplyDiff, ReportsTheStepsAsTheWindowShowsThem) {
    DiffWorld w;
    const Scenario s;
    s.writeOriginal(w.paths);
    s.writeModified(w.paths);
    const std::string package = GenerateDiff(w.paths, w.file("p.tq2"), {}).packagePath;
    installOriginals(w, s);
    test::ProgressLog log;
    ApplyDiff(w.paths, package, log.progress());

    std::vector<std::string> want;
    auto bar = [&](int v) { want.push_back("b:" + std::to_string(v)); };
    auto columns = [&] { for (int x = 0; x < BlocksX; ++x) bar(x * 100 / BlocksX); };
    bar(0);
    columns();
    bar(100);
    want.push_back("m:Applying Diff (Reading statics index)");
    columns();
    want.push_back("m:Applying Diff (Creating statics)");
    columns();
    for (int x = 0; x < BlocksX; ++x) bar(90 + x * 10 / BlocksX);
    want.push_back("m:Applying Diff (Reading map index)");
    columns();
    want.push_back("m:Applying Diff (Creating map)");
    columns();
    EXPECT_EQ(log.events, want);
}

// The original index is read twice, for its checksum and then for the copy: should another
// program change it in between, the checksum no longer vouches for what was copied, and
// nothing may be replaced.
TEST(ApplyDiff, AnOriginalIndexChangedWhileReadIsRefusedAndNothingReplaced) {
    DiffWorld w;
    const Scenario s;
    s.writeOriginal(w.paths);
    s.writeModified(w.paths);
    const std::string package = GenerateDiff(w.paths, w.file("p.tq2"), {true, false}).packagePath;
    installOriginals(w, s);
    const Snapshot before = Snapshot::of(w.paths);

    test::IndexRewrittenBetweenReads writer(w.paths.origStaIdx);
    try {
        ScopedFileSystem guard(writer);
        ApplyDiff(w.paths, package);
        ADD_FAILURE() << "applied";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), "The file changed while it was being read; nothing was written");
        EXPECT_EQ(e.path(), w.paths.origStaIdx);
    }
    EXPECT_EQ(writer.opens, 2);
    EXPECT_TRUE(Snapshot::of(w.paths) == before);
    EXPECT_TRUE(test::onlyFilesAre(w.dir.path() / "mod", {"map0.mul", "staidx0.mul", "statics0.mul"}));
}

TEST(ApplyDiff, MissingOrShortMapsFailBeforeTheStaticsAreReplaced) {
    DiffWorld w;
    const Scenario s;
    s.writeOriginal(w.paths);
    s.writeModified(w.paths);
    const std::string package = GenerateDiff(w.paths, w.file("p.tq2"), {}).packagePath;
    installOriginals(w, s, false);
    std::filesystem::remove(w.paths.modMap);
    const std::string staidx = test::readBytes(w.paths.modStaIdx);

    EXPECT_THROW(ApplyDiff(w.paths, package), Error);  // the modified map must exist
    test::writeBytes(w.paths.modMap, std::string(1000, '\0'));
    EXPECT_THROW(ApplyDiff(w.paths, package), Error);
    EXPECT_TRUE(test::readBytes(w.paths.modStaIdx) == staidx);
    EXPECT_EQ(test::readBytes(w.paths.modMap), std::string(1000, '\0'));
}

} // namespace
} // namespace tq
