#include "core/bytes.h"
#include "support/classic_world.h"
#include "core/world.h"
#include "mapedit/region_copy.h"
#include "support/png_decode.h"
#include "support/run_cli.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace tq {
namespace {

using test::readBytes;
using test::runCli;
using test::writeBytes;

TEST(CopyRegionCli, CopiesAndRefusesMismatchedSizes) {
    test::TempDir dir;
    const std::string src = dir.file("a-map0.mul"), dst = dir.file("map0.mul");
    std::string source(2 * MapColumnBytes, '\0');
    for (size_t i = 0; i < source.size(); ++i) source[i] = char(i * 7);
    writeBytes(src, source);
    writeBytes(dst, std::string(2 * MapColumnBytes, '\0'));

    auto r = runCli({"copy-region", "--src", src, "--dst", dst, "0", "0", "9", "9", "0", "0", "9", "8"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, std::string("error: ") + BoundariesWrongMessage + "\n");
    EXPECT_EQ(readBytes(dst), std::string(2 * MapColumnBytes, '\0'));

    r = runCli({"copy-region", "--src", src, "--dst", dst, "0", "0", "7", "7", "8", "0", "15", "7"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Copied 64 cells\n");
    const std::string after = readBytes(dst);
    EXPECT_EQ(after.substr(size_t(mapBlockOffset(1, 0)), MapBlockSize),
              std::string(4, '\0') + source.substr(MapBlockHeaderSize, MapBlockCellBytes));

    r = runCli({"copy-region", "--src", src, "--dst", dst, "0", "0", "7"});
    EXPECT_EQ(r.status, 2);
}

TEST(TileImageCli, WritesAPng) {
    test::TempDir dir;
    // Tile 1 has a 64 x 64 texture; nothing has art.
    std::string texidx(4096 * 12, '\xFF'), artidx(4096 * 12, '\xFF');
    le::put32(reinterpret_cast<uint8_t*>(texidx.data()) + 12, 0);
    le::put32(reinterpret_cast<uint8_t*>(texidx.data()) + 16, 8192);
    writeBytes(dir.file("TEXIDX.MUL"), texidx);
    writeBytes(dir.file("texmaps.mul"), std::string(8192, '\x1F'));
    writeBytes(dir.file("artidx.mul"), artidx);
    writeBytes(dir.file("Art.mul"), "");
    const std::string out = dir.file("tile.png");

    for (auto [id, size] : {std::pair{"1", 64}, std::pair{"2", 1}}) {
        const auto r = runCli({"tile-image", "--client-dir", dir.path().string(), id, "--out", out});
        ASSERT_EQ(r.status, 0) << r.err;
        const std::string png = readBytes(out);
        ASSERT_GT(png.size(), 24u);
        EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1A\n");
        // IHDR: big-endian width and height at bytes 16 and 20.
        auto be32 = [&](size_t at) {
            return uint32_t(uint8_t(png[at])) << 24 | uint32_t(uint8_t(png[at + 1])) << 16 |
                   uint32_t(uint8_t(png[at + 2])) << 8 | uint32_t(uint8_t(png[at + 3]));
        };
        EXPECT_EQ(be32(16), uint32_t(size)) << id;
        EXPECT_EQ(be32(20), uint32_t(size)) << id;
    }

    std::filesystem::remove(dir.file("Art.mul"));
    const auto r = runCli({"tile-image", "--client-dir", dir.path().string(), "1", "--out", out});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "error: art.mul not found in " + dir.path().string() + "\n");
}

// The PNG shows each stored pixel, 5 bits a channel widened to 8 and rounded (31 is 255),
// decoded by a reader apart from the tool's writer; both builds, Linux and Windows, write
// it with the same encoder, so this runs on each.
TEST(TileImageCli, ThePngHoldsEveryPixelTheEditorDraws) {
    test::TempDir dir;
    std::string texidx(4096 * 12, '\xFF'), artidx(4096 * 12, '\xFF');
    // Tile 1: a 64 x 64 texture running through every 5-bit level of each channel.
    le::put32(reinterpret_cast<uint8_t*>(texidx.data()) + 12, 0);
    le::put32(reinterpret_cast<uint8_t*>(texidx.data()) + 16, 8192);
    std::string texmaps;
    auto stored = [](int x, int y) { return uint16_t((x % 32) << 10 | (y % 32) << 5 | ((x + y) % 32) | 0x8000); };
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const uint16_t v = stored(x, y);
            texmaps += char(v & 0xFF);
            texmaps += char(v >> 8);
        }
    writeBytes(dir.file("texidx.mul"), texidx);
    writeBytes(dir.file("texmaps.mul"), texmaps);
    writeBytes(dir.file("artidx.mul"), artidx);
    writeBytes(dir.file("art.mul"), "");
    const std::string out = dir.file("tile.png");
    const auto r = runCli({"tile-image", "--client-dir", dir.path().string(), "1", "--out", out});
    ASSERT_EQ(r.status, 0) << r.err;

    const auto png = test::decodePng(readBytes(out));
    ASSERT_TRUE(png.ok);
    ASSERT_EQ(png.width, 64);
    ASSERT_EQ(png.height, 64);
    auto widen = [](int v) { return uint32_t(v * 255 + 15) / 31; };
    int wrong = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const uint16_t v = stored(x, y);
            const uint32_t want = widen((v >> 10) & 31) << 16 | widen((v >> 5) & 31) << 8 | widen(v & 31);
            if (png.pixel(x, y) != want && ++wrong <= 5)
                ADD_FAILURE() << "pixel (" << x << ", " << y << "): " << std::hex << png.pixel(x, y) << ", not " << want;
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(widen(31), 255u);
    EXPECT_EQ(widen(16), 132u);

    // A tile with no picture is one black pixel.
    ASSERT_EQ(runCli({"tile-image", "--client-dir", dir.path().string(), "2", "--out", out}).status, 0);
    const auto black = test::decodePng(readBytes(out));
    ASSERT_TRUE(black.ok);
    EXPECT_EQ(black.width, 1);
    EXPECT_EQ(black.height, 1);
    EXPECT_EQ(black.pixel(0, 0), 0u);
}

} // namespace
} // namespace tq
