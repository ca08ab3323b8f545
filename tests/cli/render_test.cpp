#include "core/bytes.h"
#include "core/radar_colours.h"
#include "core/static_index.h"
#include "core/world.h"
#include "support/png_decode.h"
#include "support/run_cli.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tq {
namespace {

using test::runCli;
namespace fs = std::filesystem;

// Facet 4 (1448 x 1448 cells): water everywhere, a 16 x 16 square of grass at (100, 200) and
// one white static on the grass at (105, 210).
constexpr WorldGeometry Facet4(4, 181, 181);
constexpr uint32_t Water = 0x0000FF, Grass = 0x00FF00, White = 0xFFFFFF;

bool onGrass(int x, int y) { return x >= 100 && x <= 115 && y >= 200 && y <= 215; }
uint32_t expectedPixel(int x, int y) {
    if (x == 105 && y == 210) return White;
    return onGrass(x, y) ? Grass : Water;
}

struct RenderWorld {
    test::TempDir dir;
    std::string map = dir.file("map4.mul"), staidx = dir.file("staidx4.mul"), statics = dir.file("statics4.mul"),
                radarcol = dir.file("radarcol.mul");
    RenderWorld() {
        std::string bytes(size_t(Facet4.mapBytes()), '\0');
        for (int x = 100; x <= 115; ++x)
            for (int y = 200; y <= 215; ++y) bytes[size_t(Facet4.mapCellOffset(x, y))] = 1;  // tile 1
        test::writeBytes(map, bytes);
        std::string index(size_t(Facet4.staticIndexBytes()), '\xFF');
        uint8_t entry[StaticIndexRecSize];
        encodeIndexRec({0, StaticRecSize, 0}, entry);
        index.replace(size_t(Facet4.staticIndexOffset(13, 26)), StaticIndexRecSize,
                      reinterpret_cast<const char*>(entry), StaticIndexRecSize);
        test::writeBytes(staidx, index);
        uint8_t rec[StaticRecSize];
        encodeStaticRec({0x20, 1, 2, 10, 0}, rec);  // cell (105, 210)
        test::writeBytes(statics, std::string(reinterpret_cast<const char*>(rec), StaticRecSize));
        writeColours(RadarStaticBase + 0x21);
    }
    // Tile 0 blue, tile 1 green, static 0x20 white; the table cut after `entries` entries.
    void writeColours(uint32_t entries, bool oddByte = false) {
        std::string table(size_t(RadarStaticBase + 0x21) * 2, '\0');
        auto put = [&](uint32_t i, uint16_t v) { le::put16(reinterpret_cast<uint8_t*>(table.data()) + i * 2, v); };
        put(0, 31), put(1, 31 << 5), put(RadarStaticBase + 0x20, 0x7FFF);
        table.resize(entries * 2 + (oddByte ? 1 : 0));
        test::writeBytes(radarcol, table);
    }
    test::DecodedPng png(const std::string& name) const {
        const test::DecodedPng decoded = test::decodePng(test::readBytes(dir.file(name)));
        EXPECT_TRUE(decoded.ok) << name;
        return decoded;
    }
};

TEST(RenderCommand, DrawsEveryCellOfTheWorldWithTheTopStatic) {
    RenderWorld w;
    const auto r = runCli({"render", "--map", w.map, "--staidx", w.staidx, "--statics", w.statics, "--radarcol",
                           w.radarcol, "--out", w.dir.file("world.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Overview of facet 4, 1448 × 1448, cells (0, 0) to (1447, 1447) at scale 1: 1448 x 1448 "
                     "picture written to " + w.dir.file("world.png") + "\n");
    EXPECT_EQ(r.err, "");
    const auto png = w.png("world.png");
    ASSERT_EQ(png.width, 1448);
    ASSERT_EQ(png.height, 1448);
    int wrong = 0;
    for (int y = 0; y < 1448; ++y)
        for (int x = 0; x < 1448; ++x)
            if (png.pixel(x, y) != expectedPixel(x, y) && ++wrong < 5) ADD_FAILURE() << "pixel " << x << ", " << y;
    EXPECT_EQ(wrong, 0);

    // Without the statics, the grass under the static.
    ASSERT_EQ(runCli({"render", "--map", w.map, "--radarcol", w.radarcol, "--out", w.dir.file("land.png")}).status, 0);
    EXPECT_EQ(w.png("land.png").pixel(105, 210), Grass);
    EXPECT_EQ(w.dir.entries(), (std::vector<std::string>{"land.png", "map4.mul", "radarcol.mul", "staidx4.mul",
                                                         "statics4.mul", "world.png"}));
}

TEST(RenderCommand, ScaleAndAreaClampedAtTheMapsEdge) {
    RenderWorld w;
    const auto r = runCli({"render", "--map", w.map, "--staidx", w.staidx, "--statics", w.statics, "--radarcol",
                           w.radarcol, "--out", w.dir.file("part.png"), "--scale", "8", "--area", "96", "192", "2000",
                           "2000"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "The area reaches past the map's edge: drawn from (96, 192) to (1447, 1447)\n"
                     "Overview of facet 4, 1448 × 1448, cells (96, 192) to (1447, 1447) at scale 8: 169 x 157 "
                     "picture written to " + w.dir.file("part.png") + "\n");
    const auto png = w.png("part.png");
    ASSERT_EQ(png.width, 169);   // 1352 cells
    ASSERT_EQ(png.height, 157);  // 1256 cells
    EXPECT_EQ(png.pixel(0, 0), Water);        // cells 96..103 x 192..199
    EXPECT_EQ(png.pixel(1, 1), Grass);        // 104..111 x 200..207
    EXPECT_EQ(png.pixel(1, 2), 0x04FF04u);    // 63 grass cells and the white static
    EXPECT_EQ(png.pixel(0, 1), 0x008080u);    // 100..103 of 96..103 grass: half and half
    EXPECT_EQ(png.pixel(168, 156), Water);    // the last cells of the map
}

TEST(RenderCommand, ColoursMissingFromAShortRadarcolAreBlackWithAWarning) {
    RenderWorld w;
    w.writeColours(1, true);  // tile 0 only, and half an entry
    const auto r = runCli({"render", "--map", w.map, "--staidx", w.staidx, "--statics", w.statics, "--radarcol",
                           w.radarcol, "--out", w.dir.file("w.png"), "--area", "96", "196", "119", "219"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "warning: radarcol.mul holds 1 colour: 256 cells have a tile or static past its end, drawn "
                     "black\n");
    const auto png = w.png("w.png");
    EXPECT_EQ(png.pixel(0, 0), Water);
    EXPECT_EQ(png.pixel(4, 4), 0u);   // (100, 200)
    EXPECT_EQ(png.pixel(9, 14), 0u);  // the static at (105, 210)
    EXPECT_EQ(png.pixel(19, 19), 0u);  // (115, 215)
    EXPECT_EQ(png.pixel(20, 19), Water);
}

TEST(RenderCommand, AUopMapGivesTheSamePicture) {
    RenderWorld w;
    const std::string uop = w.dir.file("map4LegacyMUL.uop");
    ASSERT_EQ(runCli({"convert", w.map, uop}).status, 0);
    for (const auto& [map, out] : {std::pair{w.map, "mul.png"}, std::pair{uop, "uop.png"}}) {
        const auto r = runCli({"render", "--map", map, "--radarcol", w.radarcol, "--out", w.dir.file(out), "--scale",
                               "3", "--shade"});
        ASSERT_EQ(r.status, 0) << r.err;
    }
    const auto a = w.png("mul.png"), b = w.png("uop.png");
    EXPECT_EQ(a.width, 483);
    EXPECT_TRUE(a.rgb == b.rgb);
}

TEST(RenderCommand, DiffMarksTheBlocksThatDiffer) {
    RenderWorld w;
    const std::string modified = w.dir.file("modified/map4.mul");
    std::filesystem::create_directories(w.dir.path() / "modified");
    std::string bytes = test::readBytes(w.map);
    bytes[size_t(Facet4.mapCellOffset(1200, 1200)) + 2] = 5;  // an altitude
    bytes[size_t(Facet4.mapBlockOffset(3, 3))] ^= 1;          // a block header: not shown, not marked
    test::writeBytes(modified, bytes);
    const auto r = runCli({"render", "--diff", w.map, modified, "--radarcol", w.radarcol, "--out", w.dir.file("d.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\n1 block differs between the two maps in the area, marked red\n"), std::string::npos)
        << r.out;
    const auto png = w.png("d.png");
    for (const auto& [x, y, colour] : std::initializer_list<std::tuple<int, int, uint32_t>>{
             {1200, 1200, 0xFF0055}, {1207, 1207, 0xFF0055}, {1199, 1200, Water}, {1208, 1200, Water}, {24, 24, Water}})
        EXPECT_EQ(png.pixel(x, y), colour) << x << ", " << y;

    // Maps of two worlds are not compared.
    const std::string other = w.dir.file("other/map4.mul");
    std::filesystem::create_directories(w.dir.path() / "other");
    test::writeBytes(other, std::string(size_t(WorldGeometry(4, 181, 181).mapBytes()) / 2, '\0'));
    const auto bad = runCli({"render", "--diff", w.map, other, "--radarcol", w.radarcol, "--out", w.dir.file("e.png")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_FALSE(std::filesystem::exists(w.dir.path() / "e.png"));
}

TEST(RenderCommand, PackageMarksTheBlocksItChanges) {
    RenderWorld w;
    const fs::path mod = w.dir.path() / "mod";
    fs::create_directories(mod);
    const std::string modMap = (mod / "map4.mul").string(), modStaidx = (mod / "staidx4.mul").string(),
                      modStatics = (mod / "statics4.mul").string();
    // The operator's changes: a cell of block (150, 150), a new static in block (20, 20).
    std::string map = test::readBytes(w.map);
    map[size_t(Facet4.mapCellOffset(1200, 1200))] = 1;
    test::writeBytes(modMap, map);
    std::string index = test::readBytes(w.staidx), heap = test::readBytes(w.statics);
    uint8_t entry[StaticIndexRecSize], rec[StaticRecSize];
    encodeIndexRec({int32_t(heap.size()), StaticRecSize, 0}, entry);
    index.replace(size_t(Facet4.staticIndexOffset(20, 20)), StaticIndexRecSize, reinterpret_cast<const char*>(entry),
                  StaticIndexRecSize);
    encodeStaticRec({0x20, 0, 0, 0, 0}, rec);
    heap.append(reinterpret_cast<const char*>(rec), StaticRecSize);
    test::writeBytes(modStaidx, index);
    test::writeBytes(modStatics, heap);
    const std::string package = w.dir.file("p.tq2");
    const auto g = runCli({"diff", "generate", "--orig-staidx", w.staidx, "--orig-statics", w.statics, "--orig-map",
                           w.map, "--mod-staidx", modStaidx, "--mod-statics", modStatics, "--mod-map", modMap, "--out",
                           package});
    ASSERT_EQ(g.status, 0) << g.err;
    // The compact form names the same blocks.
    const std::string compact = w.dir.file("c.tq2");
    const auto c = runCli({"diff", "generate", "--compact", "--orig-staidx", w.staidx, "--orig-statics", w.statics,
                           "--orig-map", w.map, "--mod-staidx", modStaidx, "--mod-statics", modStatics, "--mod-map",
                           modMap, "--out", compact});
    ASSERT_EQ(c.status, 0) << c.err;

    // Drawn on the original map: the blocks the package will change. Block (13, 26) keeps
    // its static, so it is not emptied.
    for (const std::string& form : {package, compact}) {
        SCOPED_TRACE(form);
        const auto r = runCli({"render", "--package", form, "--map", w.map, "--radarcol", w.radarcol, "--out",
                               w.dir.file("p.png"), "--scale", "8"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("\n2 blocks of the area changed by the package, marked red\n"), std::string::npos)
            << r.out;
        const auto png = w.png("p.png");
        for (const auto& [x, y, colour] : std::initializer_list<std::tuple<int, int, uint32_t>>{
                 {150, 150, 0xFF0055}, {20, 20, 0xFF0055}, {21, 20, Water}, {149, 150, Water}})
            EXPECT_EQ(png.pixel(x, y), colour) << x << ", " << y;
    }

    // A package that empties a block: counted when the index drawn has statics there.
    const std::string emptying = w.dir.file("e.tq2");
    ASSERT_EQ(runCli({"diff", "generate", "--orig-staidx", modStaidx, "--orig-statics", modStatics, "--orig-map",
                      modMap, "--mod-staidx", w.staidx, "--mod-statics", w.statics, "--mod-map", modMap, "--no-map",
                      "--out", emptying})
                  .status,
              0);
    const auto e = runCli({"render", "--package", emptying, "--map", modMap, "--staidx", modStaidx, "--statics",
                           modStatics, "--radarcol", w.radarcol, "--out", w.dir.file("e.png"), "--scale", "8"});
    ASSERT_EQ(e.status, 0) << e.err;
    EXPECT_NE(e.out.find("\n1 block of the area changed by the package, marked red\n"), std::string::npos) << e.out;
    EXPECT_EQ(w.png("e.png").pixel(20, 20), 0xFF0155u);  // water and one white static, tinted

    // A package is refused when it is damaged or made for another world.
    test::writeBytes(w.dir.file("bad.tq2"), "short");
    const auto bad = runCli({"render", "--package", w.dir.file("bad.tq2"), "--map", w.map, "--radarcol", w.radarcol,
                             "--out", w.dir.file("b.png")});
    EXPECT_EQ(bad.status, 1);
    EXPECT_NE(bad.err.find("Invalid TQD file"), std::string::npos) << bad.err;
    const std::string facet3 = w.dir.file("map3.mul");
    test::writeBytes(facet3, "");
    fs::resize_file(facet3, WorldGeometry(3, 320, 256).mapBytes());
    const auto other = runCli({"render", "--package", package, "--map", facet3, "--radarcol", w.radarcol, "--out",
                               w.dir.file("o.png")});
    EXPECT_EQ(other.status, 1);
    EXPECT_NE(other.err.find("This package was made for a world of 181 × 181 blocks"), std::string::npos) << other.err;
    EXPECT_FALSE(fs::exists(w.dir.path() / "o.png"));
}

TEST(RenderCommand, RefusesBadCommandLinesAndBrokenFiles) {
    RenderWorld w;
    const std::string out = w.dir.file("x.png");
    struct Case {
        std::vector<std::string> args;
        int status;
        std::string errStart;
    };
    const std::vector<Case> cases{
        {{"--map", w.map, "--out", out}, 2, "error: missing option --radarcol"},
        {{"--map", w.map, "--radarcol", w.radarcol}, 2, "error: missing option --out"},
        {{"--map", w.map, "--radarcol", w.radarcol, "--out", out, "--area", "1", "2", "3"}, 2,
         "error: option --area needs 4 values"},
        {{"--map", w.map, "--radarcol", w.radarcol, "--out", out, "--staidx", w.staidx}, 2,
         "error: --staidx and --statics go together"},
        {{"--diff", w.map, w.map, "--map", w.map, "--radarcol", w.radarcol, "--out", out}, 2,
         "error: --diff names both maps: leave out --map"},
        {{"--diff", w.map, w.map, "--package", w.map, "--radarcol", w.radarcol, "--out", out}, 2,
         "error: --diff and --package are two ways to say what changed: give one"},
        {{"--map", w.map, "--radarcol", w.radarcol, "--out", out, "--scale", "0"}, 1,
         "error: The scale is the number of cells along a pixel's side: 1 or more, not 0\n"},
        {{"--map", w.map, "--radarcol", w.radarcol, "--out", out, "--area", "0", "0", "x", "5"}, 1,
         "error: 'x' is not a valid integer value\n"},
        {{"--map", w.map, "--radarcol", w.radarcol, "--out", out, "--area", "1448", "0", "1500", "5"}, 1,
         "error: The area's first corner (1448, 0) is outside the map: X must be 0..1447 and Y 0..1447\n"},
        {{"--map", w.map, "--radarcol", w.dir.file("none.mul"), "--out", out}, 1,
         "error: " + w.dir.file("none.mul") + ": File not found\n"},
        {{"--map", w.dir.file("map9.mul"), "--radarcol", w.radarcol, "--out", out}, 1, "error: "},
        {{"--map", w.map, "--staidx", w.staidx, "--statics", w.dir.file("statics0.mul"), "--radarcol", w.radarcol,
          "--out", out},
         1, "error: "},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"render"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const auto r = runCli(args);
        EXPECT_EQ(r.status, c.status) << c.errStart << r.err;
        EXPECT_EQ(r.err.substr(0, c.errStart.size()), c.errStart);
        EXPECT_FALSE(std::filesystem::exists(out)) << c.errStart;
    }
    // An index entry running past the end of the statics names the index.
    test::writeBytes(w.statics, "");
    const auto broken = runCli({"render", "--map", w.map, "--staidx", w.staidx, "--statics", w.statics, "--radarcol",
                                w.radarcol, "--out", out});
    EXPECT_EQ(broken.status, 1);
    EXPECT_EQ(broken.err, "error: " + w.staidx + ": Read beyond end of file\n");
    EXPECT_FALSE(std::filesystem::exists(out));
}

} // namespace
} // namespace tq
