#include "core/error.h"
#include "support/classic_world.h"
#include "core/file_system.h"
#include "core/map_file.h"

#include "support/error_of.h"
#include "support/read_only_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tq {
namespace {

using test::errorOf;
using test::TempDir;

// Bytes that differ from block to block and from byte to byte.
std::string patterned(size_t n, unsigned seed) {
    std::string bytes(n, '\0');
    uint32_t s = seed;
    for (char& c : bytes) {
        s = s * 1103515245u + 12345u;
        c = char(s >> 24);
    }
    return bytes;
}

TEST(MapFile, Offsets) {
    EXPECT_EQ(mapBlockOffset(1, 0), 100352u);
    EXPECT_EQ(mapBlockOffset(0, 1), 196u);
    EXPECT_EQ(mapBlockOffset(767, 511), 77070140u);
    EXPECT_EQ(mapBlockOffset(767, 511) + MapBlockSize, MapFileSize);
    // Cell (13, 10): block (1, 1), local (5, 2), element 21.
    EXPECT_EQ(mapCellOffset(13, 10), 100615u);
    EXPECT_EQ(mapCellOffset(13, 10), mapBlockOffset(1, 1) + 4 + 21 * 3);
    EXPECT_EQ(mapCellOffset(6143, 4095), MapFileSize - 3);
}

TEST(MapFile, LastBlockOfAFullSizeFile) {
    TempDir dir;
    const std::string path = dir.file("map0.mul");
    const std::string last = patterned(MapBlockSize, 1);
    {
        // Sparse: only the last block holds data.
        test::writeBytes(path, "");
        std::filesystem::resize_file(path, MapFileSize - MapBlockSize);
        auto f = openFile(path, OpenMode::Append);
        f->write(last.data(), last.size());
    }
    ASSERT_EQ(std::filesystem::file_size(path), 77070336u);

    TMapBlock block;
    ReadMapBlock(path, 767, 511, block);
    uint8_t bytes[MapBlockSize];
    encodeMapBlock(block, bytes);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), MapBlockSize), last);
    EXPECT_EQ(block.Header[0], uint8_t(last[0]));
    EXPECT_EQ(block.Cells[63].TileId, uint8_t(last[193]) | (uint8_t(last[194]) << 8));
    EXPECT_EQ(block.Cells[63].Altitude, int8_t(last[195]));
}

TEST(MapFile, CellsAreWhereBlocksSayTheyAre) {
    TempDir dir;
    const std::string path = dir.file("map0.mul");
    const std::string original = patterned(2 * MapColumnBytes, 2);
    test::writeBytes(path, original);

    auto f = openFile(path, OpenMode::ReadWrite);
    WriteMapCell(*f, 13, 10, {0x1234, -7});
    EXPECT_EQ(ReadMapCell(*f, 13, 10), (TMapCell{0x1234, -7}));
    f->close();
    const std::string bytes = test::readBytes(path);
    EXPECT_EQ(bytes.substr(100615, 3), std::string("\x34\x12\xf9", 3));
    EXPECT_EQ(bytes.substr(0, 100615), original.substr(0, 100615));
    EXPECT_EQ(bytes.substr(100618), original.substr(100618));

    TMapBlock block;
    ReadMapBlock(path, 1, 1, block);
    EXPECT_EQ(block.Cells[21], (TMapCell{0x1234, -7}));
}

TEST(MapFile, BlocksReadAndWrittenBackLeaveTheFileEqual) {
    TempDir dir;
    const std::string path = dir.file("map0.mul");
    const std::string original = patterned(2 * MapColumnBytes, 3);
    test::writeBytes(path, original);
    TMapBlock block;
    for (int y = 0; y < BlocksY; ++y) {
        ReadMapBlock(path, 1, y, block);
        WriteMapBlock(path, 1, y, block);
    }
    EXPECT_EQ(test::readBytes(path), original);

    // Another block's bytes land exactly at (1, 3), header included.
    ReadMapBlock(path, 0, 7, block);
    WriteMapBlock(path, 1, 3, block);
    const std::string bytes = test::readBytes(path);
    EXPECT_EQ(bytes.substr(mapBlockOffset(1, 3), 196), original.substr(mapBlockOffset(0, 7), 196));
    EXPECT_EQ(bytes.size(), original.size());
}

TEST(MapFile, OutsideTheWorldTouchesNoFile) {
    TempDir dir;
    const std::string missing = dir.file("map0.mul");
    TMapBlock block;
    block.Header[1] = 5;
    block.Cells[3] = {7, 7};
    for (auto [x, y] : {std::pair{768, 0}, {0, 512}, {-1, 0}, {0, -1}, {65535, 65535}}) {
        TMapBlock read = block;
        ReadMapBlock(missing, x, y, read);
        EXPECT_EQ(read, TMapBlock{}) << x << "," << y;
        WriteMapBlock(missing, x, y, block);
    }
    EXPECT_FALSE(fileExists(missing));
}

TEST(MapFile, ShortAndMissingFiles) {
    TempDir dir;
    const std::string path = dir.file("map0.mul");
    const std::string original = patterned(300, 4);
    test::writeBytes(path, original);
    TMapBlock block;
    EXPECT_EQ(errorOf([&] { ReadMapBlock(path, 0, 1, block); }), "Read beyond end of file");
    EXPECT_EQ(errorOf([&] { WriteMapBlock(path, 0, 1, block); }), "Read beyond end of file");
    EXPECT_EQ(errorOf([&] { WriteMapBlock(path, 5, 0, block); }), "Read beyond end of file");
    EXPECT_EQ(test::readBytes(path), original) << "a short map is never grown";

    auto f = openFile(path, OpenMode::ReadWrite);
    EXPECT_EQ(errorOf([&] { WriteMapCell(*f, 13, 10, {1, 1}); }), "Read beyond end of file");
    f->close();
    EXPECT_EQ(test::readBytes(path), original);

    EXPECT_EQ(errorOf([&] { ReadMapBlock(dir.file("none.mul"), 0, 0, block); }), "File not found");
    EXPECT_EQ(errorOf([&] { WriteMapBlock(dir.file("none.mul"), 0, 0, block); }), "File not found");
    EXPECT_FALSE(fileExists(dir.file("none.mul")));
}

TEST(MapFile, ReadOnlyMapIsReadNotWritten) {
    TempDir dir;
    const std::string path = dir.file("map0.mul");
    const std::string original = patterned(MapColumnBytes, 5);
    test::writeBytes(path, original);
    test::ReadOnlyFile readOnly(path);
    if (!readOnly.effective()) GTEST_SKIP() << "cannot make a file read-only for this user here";
    TMapBlock block;
    ReadMapBlock(path, 0, 2, block);
    EXPECT_EQ(errorOf([&] { WriteMapBlock(path, 0, 2, block); }), "File access denied");
}

} // namespace
} // namespace tq
