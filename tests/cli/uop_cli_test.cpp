#include "core/file_system.h"
#include "core/uop/container.h"
#include "core/uop/map_container.h"
#include "core/world.h"

#include "support/run_cli.h"
#include "support/temp_dir.h"
#include "uop/uop_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>

// Every command that takes a map, on a map{N}LegacyMUL.uop and on the map{N}.mul of the same
// bytes: the same output, the same resulting map, and a container whose checksums still hold.
namespace tq {
namespace {

namespace fs = std::filesystem;
using test::readBytes;
using test::runCli;

struct UopCase {
    const char* name;
    WorldGeometry world;
};
void PrintTo(const UopCase& c, std::ostream* out) { *out << c.name; }

std::string n(int v) { return std::to_string(v); }

// `text` with every `from` replaced by `to`.
std::string replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

class UopWorld : public ::testing::TestWithParam<UopCase> {
protected:
    test::TempDir dir;
    WorldGeometry world = GetParam().world;
    std::string f = n(world.facet);
    std::string origin = dir.file("orig"), work = dir.file("work"), uwork = dir.file("uwork");
    std::string mul(const std::string& folder) const { return folder + "/map" + f + ".mul"; }
    std::string uop(const std::string& folder) const { return folder + "/map" + f + "LegacyMUL.uop"; }
    std::string staidx(const std::string& folder) const { return folder + "/staidx" + f + ".mul"; }
    std::string statics(const std::string& folder) const { return folder + "/statics" + f + ".mul"; }

    void SetUp() override {
        const auto r = runCli({"mkworld", origin, "--items", "100", "--facet", f});
        ASSERT_EQ(r.status, 0) << r.err;
        const auto c = runCli({"convert", mul(origin), uop(origin)});
        ASSERT_EQ(c.status, 0) << c.err;
        EXPECT_EQ(c.out, "Converted " + mul(origin) + " to " + uop(origin) + " (" + world.describe() + ")\n");
        fs::copy(origin, work, fs::copy_options::recursive);
        fs::copy(origin, uwork, fs::copy_options::recursive);
        fs::remove(uop(work));
        fs::remove(mul(uwork));
    }

    // The map a container holds, as a .mul beside the test's files.
    std::string unpacked(const std::string& container) {
        const std::string out = dir.file("unpacked/map" + f + ".mul");
        fs::create_directories(dir.file("unpacked"));
        fs::remove(out);
        const auto r = runCli({"convert", container, out});
        EXPECT_EQ(r.status, 0) << r.err;
        return readBytes(out);
    }

    void expectSameMap() {
        EXPECT_TRUE(unpacked(uop(uwork)) == readBytes(mul(work))) << "the maps differ";
        EXPECT_EQ(test::staleChecksums(uop(uwork)), "");
        EXPECT_EQ(fs::file_size(uop(uwork)), fs::file_size(uop(origin))) << "the container's length changed";
    }
};

TEST_P(UopWorld, ConversionRoundTripsByteForByte) {
    EXPECT_EQ(readBytes(uop(origin)).size(), 0x200 + ((world.mapBytes() + 0xC4000 - 1) / 0xC4000 + 99) / 100 * 3412 +
                                                 world.mapBytes());
    // .mul -> .uop -> .mul, and a container of ours -> .mul -> .uop.
    EXPECT_TRUE(unpacked(uop(origin)) == readBytes(mul(origin)));
    const std::string again = dir.file("again/map" + f + "LegacyMUL.uop");
    fs::create_directories(dir.file("again"));
    ASSERT_EQ(runCli({"convert", dir.file("unpacked/map" + f + ".mul"), again}).status, 0);
    EXPECT_TRUE(readBytes(again) == readBytes(uop(origin)));
    // mkworld --uop writes that same container and no .mul map.
    const std::string made = dir.file("made");
    const auto r = runCli({"mkworld", made, "--items", "100", "--facet", f, "--uop"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("map" + f + "LegacyMUL.uop: " + n(int(fs::file_size(uop(origin)))) + " bytes"),
              std::string::npos)
        << r.out;
    EXPECT_FALSE(fs::exists(mul(made)));
    EXPECT_TRUE(readBytes(uop(made)) == readBytes(uop(origin)));
}

TEST_P(UopWorld, InfoAndMapsumSayWhatTheyDoForTheMul) {
    for (const char* command : {"info", "mapsum"}) {
        const auto m = runCli({command, mul(work)});
        const auto u = runCli({command, uop(uwork)});
        ASSERT_EQ(m.status, 0) << m.err;
        EXPECT_EQ(u.status, 0) << u.err;
        EXPECT_EQ(u.out, replaced(m.out, mul(work), uop(uwork))) << command;
    }
    const auto folder = runCli({"info", uwork});
    // The folder's listing joins the names with the system's separator.
    EXPECT_NE(folder.out.find("map" + f + "LegacyMUL.uop: map, facet " + f + ", " + world.blocksText()),
              std::string::npos)
        << folder.out;
}

TEST_P(UopWorld, FillCopyAndDiffsGiveTheSameMap) {
    const std::string right = n(world.cellsWide() - 1), bottom = n(world.cellsHigh() - 1);
    // Across the east edge and across entry boundaries (entries hold 4096 blocks: whole
    // columns of 512 or 200 blocks and part of the next).
    const std::string x0 = n(world.cellsWide() - 40), y0 = n(world.cellsHigh() - 30);
    for (const std::string& folder : {work, uwork}) {
        const std::string map = folder == work ? mul(work) : uop(uwork);
        const auto fill = runCli({"fill", "--staidx", staidx(folder), "--statics", statics(folder), "--map", map,
                                  "--left", x0, "--top", y0, "--right", right, "--bottom", bottom, "--tile", "00 A8",
                                  "--alt", "5"});
        ASSERT_EQ(fill.status, 0) << fill.err;
        EXPECT_NE(fill.out.find("Map filled: 1200 cells"), std::string::npos) << fill.out;
        const auto band = runCli({"fill", "--staidx", staidx(folder), "--statics", statics(folder), "--map", map,
                                  "--no-statics", "--left", "0", "--top", "0", "--right", "200", "--bottom", "2",
                                  "--tile", "00 03", "--alt", "-3"});
        ASSERT_EQ(band.status, 0) << band.err;
        // A copy from the .mul original and one from the container original.
        for (const std::string& source : {mul(origin), uop(origin)}) {
            const auto copy = runCli({"copy-region", "--src", source, "--dst", map, "0", "0", "90", "9",
                                      n(world.cellsWide() - 91), "100", right, "109"});
            ASSERT_EQ(copy.status, 0) << copy.err;
        }
    }
    expectSameMap();

    // Packages generated from containers are those generated from the .mul files.
    auto generate = [&](const std::string& origMap, const std::string& modFolder, const std::string& modMap,
                        const std::string& out) {
        return runCli({"diff", "generate", "--orig-staidx", staidx(origin), "--orig-statics", statics(origin),
                       "--orig-map", origMap, "--mod-staidx", staidx(modFolder), "--mod-statics", statics(modFolder),
                       "--mod-map", modMap, "--out", out});
    };
    const auto gm = generate(mul(origin), work, mul(work), dir.file("m.tq2"));
    const auto gu = generate(uop(origin), uwork, uop(uwork), dir.file("u.tq2"));
    ASSERT_EQ(gm.status, 0) << gm.err;
    ASSERT_EQ(gu.status, 0) << gu.err;
    EXPECT_EQ(gu.out, replaced(replaced(replaced(gm.out, mul(work), uop(uwork)), mul(origin), uop(origin)),
                               dir.file("m.tq2"), dir.file("u.tq2")));
    EXPECT_TRUE(readBytes(dir.file("u.tq2")) == readBytes(dir.file("m.tq2")));

    // A player's container, patched, holds the operator's map.
    const std::string player = dir.file("player");
    fs::copy(origin, player, fs::copy_options::recursive);
    fs::remove(mul(player));
    const auto apply = runCli({"diff", "apply", "--orig-staidx", staidx(origin), "--orig-statics", statics(origin),
                               "--orig-map", uop(origin), "--mod-staidx", staidx(player), "--mod-statics",
                               statics(player), "--mod-map", uop(player), dir.file("m.tq2")});
    ASSERT_EQ(apply.status, 0) << apply.err;
    EXPECT_TRUE(unpacked(uop(player)) == readBytes(mul(work)));
    EXPECT_EQ(test::staleChecksums(uop(player)), "");
}

TEST_P(UopWorld, ADamagedContainerIsRefusedAndNothingIsWritten) {
    std::string bytes = readBytes(uop(uwork));
    test::putU64(bytes, 0x200 + 4, 0x200);  // the first table's next table is itself
    test::writeBytes(uop(uwork), bytes);
    const std::string staidxBefore = readBytes(staidx(uwork));
    const auto fill = runCli({"fill", "--staidx", staidx(uwork), "--statics", statics(uwork), "--map", uop(uwork),
                              "--left", "0", "--top", "0", "--right", "10", "--bottom", "10", "--tile", "00 A8"});
    EXPECT_EQ(fill.status, 1);
    EXPECT_EQ(fill.err, "error: " + uop(uwork) + ": the tables loop: table 1 at 512 was met before\n");
    EXPECT_TRUE(readBytes(uop(uwork)) == bytes);
    EXPECT_TRUE(readBytes(staidx(uwork)) == staidxBefore);
    const auto sum = runCli({"mapsum", uop(uwork)});
    EXPECT_EQ(sum.status, 1);
    EXPECT_EQ(sum.err, fill.err);
}

INSTANTIATE_TEST_SUITE_P(Facets, UopWorld,
                         ::testing::Values(UopCase{"Facet0", WorldGeometry(0, 768, 512)},
                                           UopCase{"Facet2", WorldGeometry(2, 288, 200)}),
                         [](const auto& info) { return std::string(info.param.name); });

// Today's full facet 0: 112 entries in two tables, and both round trips.
TEST(UopConvert, AFullSizeFacet0MapRoundTrips) {
    test::TempDir dir;
    const auto r = runCli({"mkworld", dir.file("w"), "--items", "10", "--size", "896x512"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string mul = dir.file("w/map0.mul"), uop = dir.file("w/map0LegacyMUL.uop");
    ASSERT_EQ(runCli({"convert", mul, uop}).status, 0);
    {
        auto file = openFile(uop, OpenMode::Read);
        const auto c = uop::Container::read(*file, uop);
        EXPECT_EQ(c.entries().size(), 112u);
        for (uint32_t id = 0; id < 112; ++id) {
            const uop::Entry* e = c.find(uop::mapEntryName(0, id));
            ASSERT_NE(e, nullptr) << id;
            EXPECT_EQ(e->unpackedSize, 0xC4000u);
            EXPECT_EQ(e->table, int(id / 100));
        }
    }
    fs::create_directories(dir.file("back"));
    ASSERT_EQ(runCli({"convert", uop, dir.file("back/map0.mul")}).status, 0);
    EXPECT_TRUE(readBytes(dir.file("back/map0.mul")) == readBytes(mul));
    ASSERT_EQ(runCli({"convert", dir.file("back/map0.mul"), dir.file("back/map0LegacyMUL.uop")}).status, 0);
    EXPECT_TRUE(readBytes(dir.file("back/map0LegacyMUL.uop")) == readBytes(uop));
}

} // namespace
} // namespace tq
