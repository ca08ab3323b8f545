#include "core/facets.h"
#include "diff_scenario.h"
#include "support/run_cli.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

using test::DiffWorld;
using test::runCli;
using test::Scenario;

std::vector<std::string> pathArgs(const DiffPaths& p) {
    return {"--orig-staidx", p.origStaIdx, "--orig-statics", p.origStatics, "--orig-map", p.origMap,
            "--mod-staidx",  p.modStaIdx,  "--mod-statics",  p.modStatics,  "--mod-map",  p.modMap};
}

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(DiffCli, CrcAndMapSumPrintSpacedHex) {
    test::TempDir dir;
    auto index = newStaticIndex();
    index->at(10, 20) = {int32_t(0x5A9CC20D), 0, 0};
    index->at(11, 20) = {7, 7, 0};
    SaveStaticIndex(dir.file("staidx0.mul"), *index);
    auto r = runCli({"crc", dir.file("staidx0.mul")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "0D C2 9C 5A\n");

    test::makeMap(dir.file("map0.mul"), {{{3, 4}, test::mapBlock(7)}});
    r = runCli({"mapsum", dir.file("map0.mul")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, IntToSpacedHex(int32_t(MapFileSum(dir.file("map0.mul"))), 4) + "\n");

    r = runCli({"crc", dir.file("missing.mul")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: " + dir.file("missing.mul") + ": File not found\n");
}

TEST(DiffCli, OperatorGeneratesAndPlayerApplies) {
    DiffWorld w;
    const Scenario s;
    s.writeOriginal(w.paths, false);
    s.writeModified(w.paths, false);
    auto r = runCli(concat({"diff", "generate"}, concat(pathArgs(w.paths), {"--no-map", "--out", w.file("patch")})));
    ASSERT_EQ(r.status, 0) << r.err;
    const uint64_t size = DiffHeaderSize + s.packageStatics().size() + DiffStaticsIndexSize(ClassicWorld);
    EXPECT_EQ(r.out, CrcValueText(StaticsCrc(*s.orig.index)) + "\nPackage size: " + groupedNumber(size) +
                         " bytes (the full form)\n");
    ASSERT_TRUE(std::filesystem::exists(w.file("patch.tq2"))) << "a name without extension gets .tq2";

    s.orig.write(w.paths.modStaIdx, w.paths.modStatics);
    r = runCli(concat({"diff", "apply"}, concat(pathArgs(w.paths), {w.file("patch.tq2")})));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Applied a version 2 package\n");
    test::TempDir ref;
    s.mod.write(ref.file("staidx0.mul"), ref.file("statics0.mul"));
    for (auto [x, y] : {std::pair{0, 0}, {0, 1}, {1, 0}, {2, 2}, {3, 3}, {5, 5}, {767, 511}})
        EXPECT_EQ(test::blockStatics(w.paths.modStaIdx, w.paths.modStatics, x, y),
                  test::blockStatics(ref.file("staidx0.mul"), ref.file("statics0.mul"), x, y));
    EXPECT_EQ(test::blockStatics(w.paths.modStaIdx, w.paths.modStatics, 2, 2),
              (std::vector<TStaticRec>{test::rec(0x0402), test::rec(0x0401)}));
    EXPECT_TRUE(test::blockStatics(w.paths.modStaIdx, w.paths.modStatics, 0, 1).empty());
}

TEST(DiffCli, CompactPackageGeneratedDescribedAndApplied) {
    DiffWorld w;
    const Scenario s;
    s.writeOriginal(w.paths);
    s.writeModified(w.paths);
    const std::string crc = CrcValueText(StaticsCrc(*s.orig.index));
    auto r = runCli(concat({"diff", "generate"}, concat(pathArgs(w.paths), {"--out", w.file("full.tq2")})));
    ASSERT_EQ(r.status, 0) << r.err;
    r = runCli(concat({"diff", "generate"}, concat(pathArgs(w.paths), {"--compact", "--out", w.file("small")})));
    ASSERT_EQ(r.status, 0) << r.err;
    const uint64_t full = std::filesystem::file_size(w.file("full.tq2"));
    const uint64_t small = std::filesystem::file_size(w.file("small.tq2"));
    EXPECT_EQ(r.out, crc + "\n" + PackageSizeText(small, full) + "\n");
    EXPECT_NE(r.out.find("% of the full form (" + groupedNumber(full) + " bytes)"), std::string::npos) << r.out;

    r = runCli({"diff", "info", w.file("small.tq2"), "--blocks"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Package: version 4 (compact), for a world of 768 \u00d7 512 blocks (facet 0)\n", 0), 0u)
        << r.out;
    EXPECT_NE(r.out.find("Statics blocks changed: 3 (1 of them left empty)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  map (767, 511)\n"), std::string::npos) << r.out;
    r = runCli({"diff", "info", w.file("full.tq2")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("Package: version 2,", 0), 0u) << r.out;
    EXPECT_EQ(r.out.find("  map"), std::string::npos) << "no block list without --blocks";

    // Both forms give the player the same files.
    std::string fromFull[3];
    for (const char* package : {"full.tq2", "small.tq2"}) {
        s.orig.write(w.paths.modStaIdx, w.paths.modStatics);
        test::makeMap(w.paths.modMap, s.origMap);
        r = runCli(concat({"diff", "apply"}, concat(pathArgs(w.paths), {w.file(package)})));
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string got[3] = {test::readBytes(w.paths.modStaIdx), test::readBytes(w.paths.modStatics),
                                    test::readBytes(w.paths.modMap)};
        if (package == std::string("full.tq2")) {
            EXPECT_EQ(r.out, "Applied a version 2 package\n");
            for (int i = 0; i < 3; ++i) fromFull[i] = got[i];
        } else {
            EXPECT_EQ(r.out, "Applied a version 4 (compact) package\n");
            for (int i = 0; i < 3; ++i) EXPECT_TRUE(got[i] == fromFull[i]) << i;
        }
    }

    test::writeBytes(w.file("bad.tq2"), test::readBytes(w.file("small.tq2")).substr(0, size_t(small - 3)));
    r = runCli({"diff", "info", w.file("bad.tq2")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("error: " + w.file("bad.tq2") + ": Invalid TQD file: ", 0), 0u) << r.err;
    EXPECT_EQ(runCli({"diff", "info"}).status, 2);
}

TEST(DiffCli, RefusalsAndUsageErrors) {
    DiffWorld w;
    const Scenario s;
    s.writeOriginal(w.paths, false);
    s.writeModified(w.paths, false);
    auto r = runCli(concat({"diff", "generate"}, concat(pathArgs(w.paths), {"--no-map", "--out", w.file("p.tq2")})));
    ASSERT_EQ(r.status, 0) << r.err;

    // A player whose original statics differ: exit 1 with the CRC message, nothing written.
    test::StaticsWorld other = s.orig;
    other.index->at(1, 1) = {0, 7, 0};
    other.write(w.paths.origStaIdx, w.paths.origStatics);
    s.orig.write(w.paths.modStaIdx, w.paths.modStatics);
    const std::string staidx = test::readBytes(w.paths.modStaIdx), statics = test::readBytes(w.paths.modStatics);
    r = runCli(concat({"diff", "apply"}, concat(pathArgs(w.paths), {w.file("p.tq2")})));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("error: The CRC value of your orginal statics file (", 0), 0u) << r.err;
    EXPECT_TRUE(test::readBytes(w.paths.modStaIdx) == staidx);
    EXPECT_TRUE(test::readBytes(w.paths.modStatics) == statics);

    std::filesystem::copy_file(w.file("p.tq2"), w.file("p.tqd"));
    r = runCli(concat({"diff", "apply"}, concat(pathArgs(w.paths), {w.file("p.tqd")})));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: You can't apply this file! If you want to apply a .tqd file, please use Terraquill 5.\n");

    const std::vector<std::vector<std::string>> usage = {
        concat({"diff", "generate"}, concat(pathArgs(w.paths), {"--no-map", "--no-statics", "--out", w.file("x")})),
        concat({"diff", "generate"}, pathArgs(w.paths)),
        concat({"diff", "apply"}, pathArgs(w.paths)),
        {"diff", "merge"},
        {"diff"},
        {"crc"},
    };
    for (const auto& args : usage) {
        r = runCli(args);
        EXPECT_EQ(r.status, 2) << args.back() << ": " << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(w.file("x.tq2")));
}

} // namespace
} // namespace tq
