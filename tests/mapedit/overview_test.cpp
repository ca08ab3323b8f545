#include "core/bytes.h"
#include "core/error.h"
#include "core/file_system.h"
#include "core/static_index.h"
#include "mapedit/overview.h"
#include "support/error_of.h"
#include "support/faulty_file_system.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tq {
namespace {

// A world of 2 x 2 blocks (16 x 16 cells): small enough to state every expected pixel.
constexpr WorldGeometry Tiny(0, 2, 2);

constexpr uint16_t Red = 31 << 10, Green = 31 << 5, Blue = 31, Grey = 16 << 10 | 16 << 5 | 16;
constexpr uint16_t White = 0x7FFF, DarkGrey = 10 << 10 | 10 << 5 | 10;
constexpr Rgb8 RedRgb{255, 0, 0}, GreenRgb{0, 255, 0}, BlueRgb{0, 0, 255}, WhiteRgb{255, 255, 255};
constexpr Rgb8 GreyRgb{132, 132, 132}, DarkGreyRgb{82, 82, 82}, Black{0, 0, 0};

// Land tiles 1..4 red, green, blue, grey; statics 0x10 white, 0x11 dark grey.
RadarColours tinyColours() {
    std::vector<uint16_t> entries(RadarStaticBase + 0x12, 0);
    entries[1] = Red, entries[2] = Green, entries[3] = Blue, entries[4] = Grey;
    entries[RadarStaticBase + 0x10] = White;
    entries[RadarStaticBase + 0x11] = DarkGrey;
    return RadarColours(entries);
}

struct TinyWorld {
    test::TempDir dir;
    std::vector<uint8_t> map = std::vector<uint8_t>(size_t(Tiny.mapBytes()), 0);
    StaticIndexBuffer index{Tiny};
    std::vector<uint8_t> heap;

    TinyWorld() {
        index.fill({-1, -1, 0});
        for (int x = 0; x < 16; ++x)
            for (int y = 0; y < 16; ++y) cell(x, y, x >= 8 && y < 8 ? 2 : 1);  // block (1, 0) green
        cell(15, 15, 3);
    }
    void cell(int x, int y, uint16_t tile, int8_t z = 0) {
        uint8_t* p = map.data() + Tiny.mapCellOffset(x, y);
        le::put16(p, tile);
        p[2] = uint8_t(z);
    }
    // The statics of one block, in the order given.
    void statics(int bx, int by, const std::vector<TStaticRec>& records) {
        index.at(bx, by) = {int32_t(heap.size()), int32_t(records.size() * StaticRecSize), 0};
        for (const TStaticRec& r : records) {
            uint8_t bytes[StaticRecSize];
            encodeStaticRec(r, bytes);
            heap.insert(heap.end(), bytes, bytes + StaticRecSize);
        }
    }
    OverviewPicture render(const OverviewOptions& options = {}, const CellRect& area = {0, 0, 15, 15},
                           const RadarColours& colours = tinyColours(), bool withStatics = true) {
        const std::string path = dir.file("map.mul");
        test::writeBytes(path, std::string(map.begin(), map.end()));
        auto file = openFile(path, OpenMode::Read);
        const OverviewStatics s{&index, &heap, "staidx", "statics"};
        return renderOverview(*file, Tiny, colours, area, options, withStatics ? &s : nullptr);
    }
};

void expectPixels(const OverviewPicture& p, const std::vector<std::tuple<int, int, Rgb8>>& expected) {
    for (const auto& [x, y, colour] : expected) {
        const Rgb8 got = p.pixel(x, y);
        EXPECT_EQ(got, colour) << "pixel (" << x << ", " << y << ") is " << int(got.r) << "," << int(got.g) << ","
                               << int(got.b);
    }
}

TEST(Overview, OnePixelPerCellInTheRadarColours) {
    TinyWorld w;
    const OverviewPicture p = w.render();
    ASSERT_EQ(p.width, 16);
    ASSERT_EQ(p.height, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const Rgb8 expected = x == 15 && y == 15 ? BlueRgb : (x >= 8 && y < 8 ? GreenRgb : RedRgb);
            ASSERT_EQ(p.pixel(x, y), expected) << x << ", " << y;
        }
    EXPECT_EQ(p.cellsWithoutColour, 0u);
}

TEST(Overview, TheHighestStaticOfACellCoversTheLand) {
    TinyWorld w;
    w.cell(5, 5, 1, 40);  // land above the static: the static still shows
    w.statics(0, 0,
              {
                  {0x10, 2, 3, 5, 0}, {0x11, 2, 3, 5, 0},   // same height: the later one
                  {0x10, 4, 4, 20, 0}, {0x11, 4, 4, 0, 0},  // the higher, though earlier
                  {0x10, 5, 5, -10, 0},
                  {0x10, 9, 1, 0, 0},  // no cell of the block: ignored
              });
    w.statics(1, 1, {{0x11, 7, 7, -128, 0}});  // cell (15, 15)
    const OverviewPicture p = w.render();
    expectPixels(p, {{2, 3, DarkGreyRgb}, {4, 4, WhiteRgb}, {5, 5, WhiteRgb}, {15, 15, DarkGreyRgb},
                     {1, 1, RedRgb}, {3, 3, RedRgb}});
    // Without the statics, the land.
    expectPixels(w.render({}, {0, 0, 15, 15}, tinyColours(), false), {{2, 3, RedRgb}, {4, 4, RedRgb}, {15, 15, BlueRgb}});
}

TEST(Overview, ScaleAveragesTheCellsOfEachPixelAndTheEdgePixelsHoldWhatIsLeft) {
    TinyWorld w;
    // 16 cells at scale 3: pixels 0..4 of three cells, pixel 5 of the last cell alone.
    const OverviewPicture p = w.render({3});
    ASSERT_EQ(p.width, 6);
    ASSERT_EQ(p.height, 6);
    expectPixels(p, {
                        {0, 0, RedRgb},
                        {2, 0, {170, 85, 0}},  // cells 6, 7 red and 8 green, three rows each
                        {5, 0, GreenRgb},      // cell column 15, rows 0..2
                        {5, 5, BlueRgb},       // the corner cell (15, 15) alone
                        {4, 5, RedRgb},
                    });
    // Cells 6..8 x 6..8: 2 green of 9, at (8, 6) and (8, 7).
    EXPECT_EQ(p.pixel(2, 2), (Rgb8{198, 57, 0}));
    // One pixel for the whole map: 64 green cells, 1 blue, 191 red.
    const OverviewPicture one = w.render({16});
    ASSERT_EQ(one.width, 1);
    EXPECT_EQ(one.pixel(0, 0), (Rgb8{190, 64, 1}));
}

TEST(Overview, AreaDrawsOnlyItsCells) {
    TinyWorld w;
    const OverviewPicture p = w.render({1}, {7, 6, 9, 8});
    ASSERT_EQ(p.width, 3);
    ASSERT_EQ(p.height, 3);
    expectPixels(p, {{0, 0, RedRgb}, {1, 0, GreenRgb}, {2, 1, GreenRgb}, {1, 2, RedRgb}, {0, 2, RedRgb}});
}

TEST(Overview, ShadeLightensWithAltitudeAndDarkensBelowZero) {
    TinyWorld w;
    w.cell(0, 0, 4, 64);
    w.cell(1, 0, 4, -64);
    w.cell(2, 0, 4, -128);
    w.cell(3, 0, 1, 127);  // 255 stays 255
    w.cell(4, 0, 4, 0);
    const OverviewPicture p = w.render({1, true});
    expectPixels(p, {{0, 0, {198, 198, 198}}, {1, 0, {66, 66, 66}}, {2, 0, Black}, {3, 0, RedRgb}, {4, 0, GreyRgb}});
}

TEST(Overview, TilesPastTheEndOfTheColoursAreBlackAndCounted) {
    TinyWorld w;
    w.cell(0, 0, 0x4000);  // no land tile id: never has a colour
    w.statics(0, 1, {{0x12, 0, 0, 0, 0}, {0x10, 1, 0, 0, 0}});
    // Land colours for tiles 0..2 only; no static colours.
    const RadarColours shortColours(std::vector<uint16_t>{0, Red, Green});
    const OverviewPicture p = w.render({}, {0, 0, 15, 15}, shortColours);
    expectPixels(p, {{0, 0, Black}, {15, 15, Black}, {0, 8, Black}, {1, 8, Black}, {1, 1, RedRgb}});
    EXPECT_EQ(p.cellsWithoutColour, 4u);
    EXPECT_EQ(missingColoursWarning("/x/radarcol.mul", 3, 4),
              "radarcol.mul holds 3 colours: 4 cells have a tile or static past its end, drawn black");
    // The full table: static 0x12 still lies past its end, and 0x4000 is no land tile.
    EXPECT_EQ(w.render().cellsWithoutColour, 2u);
}

TEST(Overview, ABrokenIndexEntryIsRefusedNamingTheIndex) {
    TinyWorld w;
    w.statics(1, 0, {{0x10, 0, 0, 0, 0}});
    w.index.at(1, 0).Length = 14;  // two records, one in the file
    try {
        w.render();
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_STREQ(e.what(), msg::ReadBeyondEnd);
        EXPECT_EQ(e.path(), "staidx");
    }
}

TEST(Overview, ReadsEachBlockColumnOfTheAreaOnce) {
    TinyWorld w;
    const std::string path = w.dir.file("map.mul");
    test::writeBytes(path, std::string(w.map.begin(), w.map.end()));
    test::FaultyFileSystem counting;
    ScopedFileSystem guard(counting);
    auto file = openFile(path, OpenMode::Read);
    renderOverview(*file, Tiny, tinyColours(), {0, 0, 15, 15}, {2});
    EXPECT_EQ(counting.reads, 2);
}

TEST(Overview, OnePixelForAWholeFacetZero) {
    // 7168 x 4096 white cells in one pixel: sums past 32 bits must not wrap.
    const WorldGeometry world(0, 896, 512);
    test::TempDir dir;
    const std::string path = dir.file("map0.mul");
    test::writeBytes(path, "");
    std::filesystem::resize_file(path, world.mapBytes());  // sparse: tile 0 everywhere
    auto file = openFile(path, OpenMode::Read);
    const OverviewPicture p =
        renderOverview(*file, world, RadarColours(std::vector<uint16_t>{White}), {0, 0, 7167, 4095}, {8192});
    ASSERT_EQ(p.width, 1);
    ASSERT_EQ(p.height, 1);
    EXPECT_EQ(p.pixel(0, 0), WhiteRgb);
}

TEST(Overview, AreaAndPixelArithmeticAtTheMapsEdges) {
    const WorldGeometry world(4, 181, 181);  // 1448 x 1448 cells
    struct Case {
        CellRect requested;
        CellRect area;
        std::string noteOrError;
    };
    const std::string outside = " is outside the map: X must be 0..1447 and Y 0..1447";
    const Case cases[] = {
        {{0, 0, 1447, 1447}, {0, 0, 1447, 1447}, ""},
        {{1447, 1447, 1447, 1447}, {1447, 1447, 1447, 1447}, ""},
        {{1440, 0, 1500, 7}, {1440, 0, 1447, 7},
         "The area reaches past the map's edge: drawn from (1440, 0) to (1447, 7)"},
        {{0, 1000, 3, 99999}, {0, 1000, 3, 1447},
         "The area reaches past the map's edge: drawn from (0, 1000) to (3, 1447)"},
        {{1448, 0, 1449, 5}, {}, "error: The area's first corner (1448, 0)" + outside},
        {{-1, 0, 5, 5}, {}, "error: The area's first corner (-1, 0)" + outside},
        {{0, 1448, 5, 1500}, {}, "error: The area's first corner (0, 1448)" + outside},
        {{10, 10, 9, 20}, {}, "error: The area's second corner (9, 20) must not lie left of or above its first (10, 10)"},
        {{10, 10, 20, 9}, {}, "error: The area's second corner (20, 9) must not lie left of or above its first (10, 10)"},
    };
    for (const Case& c : cases) {
        std::string note;
        try {
            const CellRect area = overviewArea(world, c.requested, &note);
            EXPECT_EQ(note, c.noteOrError);
            EXPECT_EQ(std::tie(area.x0, area.y0, area.x1, area.y1), std::tie(c.area.x0, c.area.y0, c.area.x1, c.area.y1))
                << c.noteOrError;
        } catch (const Error& e) {
            EXPECT_EQ("error: " + std::string(e.what()), c.noteOrError);
        }
    }
    struct Pixels {
        int cells, scale, pixels;
    };
    for (const Pixels& c : std::initializer_list<Pixels>{
             {1448, 1, 1448}, {1448, 4, 362}, {1448, 5, 290}, {7168, 7, 1024}, {1, 7, 1}, {8, 8, 1}, {9, 8, 2},
             {1448, 1 << 30, 1}, {1448, 2147483647, 1}})
        EXPECT_EQ(overviewPixels(c.cells, c.scale), c.pixels) << c.cells << " / " << c.scale;
    EXPECT_EQ(test::errorOf([] { requireOverviewScale(0); }),
              "The scale is the number of cells along a pixel's side: 1 or more, not 0");
    EXPECT_EQ(test::errorOf([] { requireOverviewScale(1); }), "<no error>");
}

TEST(Overview, DifferingBlocksAreTintedRed) {
    TinyWorld w;
    OverviewPicture p = w.render({3});
    const std::vector<bool> differs{false, false, false, true};  // block (1, 1)
    EXPECT_EQ(markDifferingBlocks(p, Tiny, differs), 1u);
    // Cells 8..15 are pixels 2..5 (pixel 2 holds cells 6..8).
    expectPixels(p, {{0, 0, RedRgb}, {1, 1, RedRgb}, {2, 1, {170, 85, 0}}, {5, 5, {255, 0, 85}}, {3, 3, RedRgb}});
    EXPECT_EQ(p.pixel(2, 2), (Rgb8{255, 19, 0}));
    EXPECT_EQ(p.pixel(4, 2), (Rgb8{255, 56, 0}));  // 6 green cells of 9, tinted
}

} // namespace
} // namespace tq
