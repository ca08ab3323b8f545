#include "core/bytes.h"
#include "core/error.h"
#include "mapedit/client_files.h"
#include "mapedit/tile_image.h"
#include "support/faulty_file_system.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

namespace tq {
namespace {

using test::TempDir;
using test::writeBytes;

// Builds the four client files: entries not set are (-1, 0).
class ClientFiles {
public:
    void texture(int id, int size, uint16_t seed) {
        std::string data;
        for (int i = 0; i < size * size; ++i) append16(data, uint16_t((i * 7 + seed) & 0x7FFF));
        texEntries_[id] = {int32_t(texmaps_.size()), int32_t(data.size())};
        texmaps_ += data;
    }
    // A diamond whose stored pixel k is `seed + k`, then 24 bytes nobody uses.
    void landArt(int id, uint16_t seed) {
        std::string data;
        for (int k = 0; k < 1012; ++k) append16(data, uint16_t(seed + k));
        data += std::string(24, '\x7F');
        artEntries_[id] = {int32_t(art_.size()), 2048};
        art_ += data;
    }
    void texEntry(int id, int32_t offset, int32_t length) { texEntries_[id] = {offset, length}; }
    void artEntry(int id, int32_t offset, int32_t length) { artEntries_[id] = {offset, length}; }

    void write(const std::filesystem::path& folder, int entries = 4097,
               std::array<const char*, 4> names = {"texidx.mul", "texmaps.mul", "artidx.mul", "art.mul"}) const {
        writeBytes((folder / names[0]).string(), index(texEntries_, entries));
        writeBytes((folder / names[1]).string(), texmaps_);
        writeBytes((folder / names[2]).string(), index(artEntries_, entries));
        writeBytes((folder / names[3]).string(), art_);
    }

private:
    static void append16(std::string& s, uint16_t v) {
        s += char(v & 0xFF);
        s += char(v >> 8);
    }
    static std::string index(const std::map<int, std::pair<int32_t, int32_t>>& entries, int count) {
        std::string bytes(size_t(count) * 12, '\0');
        for (int id = 0; id < count; ++id) {
            auto it = entries.find(id);
            const auto e = it == entries.end() ? std::pair<int32_t, int32_t>{-1, 0} : it->second;
            auto* p = reinterpret_cast<uint8_t*>(bytes.data()) + size_t(id) * 12;
            le::put32(p, uint32_t(e.first));
            le::put32(p + 4, uint32_t(e.second));
            le::put32(p + 8, 0xABCD);
        }
        return bytes;
    }
    std::map<int, std::pair<int32_t, int32_t>> texEntries_, artEntries_;
    std::string texmaps_, art_;
};

// The unfolding as the copying of each stored pixel, in storage order, to its own
// position, the one to its right and the one below, on a 46 x 46 work area.
TileImage referenceUnfold(uint16_t seed) {
    uint16_t work[46][46] = {};
    int k = 0;
    for (int r = 0; r < 44; ++r) {
        const int length = r < 22 ? 2 * (r + 1) : 2 * (44 - r);
        for (int i = 0; i < length; ++i, ++k) {
            const int x = std::max(0, 2 * r - 43) + i, y = 2 * r + 1 - x;
            const uint16_t v = uint16_t(seed + k);
            work[y][x] = v;
            work[y][x + 1] = v;
            work[y + 1][x] = v;
        }
    }
    TileImage image(45, 45);
    for (int y = 0; y < 45; ++y)
        for (int x = 0; x < 45; ++x) image.pixel(x, y) = work[y][x];
    return image;
}

class TileImages : public ::testing::Test {
protected:
    std::string folder() const { return dir.path().string(); }
    TempDir dir;
    ClientFiles files;
};

TEST_F(TileImages, TexturesKeepTheStoredPixels) {
    files.texture(3, 64, 100);
    files.texture(4, 128, 200);
    files.write(dir.path());
    for (auto [id, size, seed] : {std::tuple{3, 64, 100}, std::tuple{4, 128, 200}}) {
        const auto image = LoadTextureImage(folder(), uint16_t(id));
        ASSERT_TRUE(image) << id;
        ASSERT_EQ(image->Width, size);
        ASSERT_EQ(image->Height, size);
        for (int y = 0; y < size; y += 7)
            for (int x = 0; x < size; x += 5)
                EXPECT_EQ(image->pixel(x, y), uint16_t(((y * size + x) * 7 + seed) & 0x7FFF)) << x << "," << y;
        EXPECT_EQ(LoadTileImage(folder(), uint16_t(id)), *image);
    }
}

TEST_F(TileImages, LandArtUnfoldsTheDiamond) {
    files.landArt(9, 1);
    files.write(dir.path());
    const auto image = LoadLandArtImage(folder(), 9);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->Width, 45);
    ASSERT_EQ(image->Height, 45);
    EXPECT_EQ(*image, referenceUnfold(1));
    // Stored pixel k has the value k + 1.
    struct Case { int x, y, pixel; };
    const Case cases[] = {
        {0, 0, -1},                     // stays black
        {0, 1, 0},      {0, 2, 0},      // first stored pixel, and the position below it
        {1, 0, 1},      {2, 0, 1},      // top row: from the left
        {0, 43, 462},   {43, 0, 505},   // first and last of row 21
        {1, 44, 506},                   // first of row 22
        {43, 44, 1010}, {44, 43, 1011}, {44, 44, 1011},  // row 43, the last
    };
    for (const Case& c : cases) EXPECT_EQ(image->pixel(c.x, c.y), uint16_t(c.pixel + 1)) << c.x << "," << c.y;
}

TEST_F(TileImages, FallsThroughTextureThenArtThenBlack) {
    files.texEntry(5, 0, 8190);
    files.texEntry(6, 0, 0);
    files.texture(7, 64, 1);
    files.landArt(5, 10);
    files.landArt(6, 20);
    files.landArt(7, 30);  // never drawn: 7 and 8 have no art
    files.landArt(8, 40);
    files.texture(4096, 64, 1);
    files.landArt(4096, 50);
    files.write(dir.path());
    EXPECT_EQ(LoadTileImage(folder(), 5), referenceUnfold(10));
    EXPECT_EQ(LoadTileImage(folder(), 6), referenceUnfold(20));
    EXPECT_EQ(LoadTileImage(folder(), 7).Width, 64);
    EXPECT_FALSE(LoadLandArtImage(folder(), 7));
    EXPECT_EQ(LoadTileImage(folder(), 8), TileImage(1, 1));
    EXPECT_EQ(LoadTileImage(folder(), 4096), TileImage(1, 1));
    EXPECT_EQ(LoadTileImage(folder(), 100), TileImage(1, 1));
    EXPECT_EQ(TileImage(1, 1).Pixels, std::vector<uint16_t>{0});
}

TEST_F(TileImages, MissingArtIsNotRead) {
    files.artEntry(12, -1, 2048);
    files.artEntry(13, 0, 2047);
    files.write(dir.path());
    std::filesystem::remove(dir.path() / "art.mul");  // any read of it would fail
    EXPECT_EQ(LoadTileImage(folder(), 12), TileImage(1, 1));
    EXPECT_EQ(LoadTileImage(folder(), 13), TileImage(1, 1));
}

TEST_F(TileImages, FailingPathCheckOpensNothing) {
    files.texture(3, 64, 1);
    files.write(dir.path());
    test::FaultyFileSystem fs;
    ScopedFileSystem guard(fs);
    int checks = 0;
    const PathCheck no = [&] { ++checks; return false; };
    EXPECT_EQ(LoadTileImage(folder(), 3, no), TileImage(1, 1));
    EXPECT_EQ(checks, 2);
    EXPECT_FALSE(LoadLandArtImage(folder(), 8, no));  // refused before the check
    EXPECT_EQ(checks, 2);
    EXPECT_EQ(fs.opens, 0);
}

TEST_F(TileImages, DamagedIndexEntriesNeverReadOutsideAFile) {
    files.texEntry(20, 0x7FFFFFF0, 8192);  // points past the end of texmaps.mul
    files.texEntry(21, -5, 8192);          // no place in the file: no texture
    files.landArt(21, 3);
    files.artEntry(22, 0x7FFFFF00, 2048);
    files.write(dir.path(), 30);  // the indexes end after id 29
    auto failsWith = [&](uint16_t id, const char* message) {
        try {
            LoadTileImage(folder(), id);
            ADD_FAILURE() << "loaded " << id;
        } catch (const Error& e) {
            EXPECT_EQ(std::string(e.what()), message) << id;
        }
    };
    failsWith(20, msg::ReadBeyondEnd);
    EXPECT_EQ(LoadTileImage(folder(), 21), referenceUnfold(3));
    failsWith(22, msg::ReadBeyondEnd);
    failsWith(30, msg::ReadBeyondEnd);  // entry past the end of the index
    failsWith(4095, msg::ReadBeyondEnd);
    EXPECT_EQ(LoadTileImage(folder(), 4096), TileImage(1, 1));
}

TEST_F(TileImages, FilesFoundWhateverTheCaseOfTheirNames) {
    files.texture(3, 64, 9);
    files.landArt(5, 2);
    files.write(dir.path(), 4097, {"TexIdx.mul", "TEXMAPS.MUL", "ArtIdx.mul", "ART.MUL"});
    EXPECT_TRUE(clientFilesPresent(folder()));
    EXPECT_EQ(LoadTileImage(folder(), 3).Width, 64);
    EXPECT_EQ(LoadTileImage(folder(), 5), referenceUnfold(2));
    EXPECT_EQ(findClientFile(folder(), "art.mul"), (dir.path() / "ART.MUL").string());

    std::filesystem::remove(dir.path() / "ART.MUL");
    EXPECT_FALSE(clientFilesPresent(folder()));
    EXPECT_FALSE(clientFilesPresent(""));
    try {
        LoadTileImage(folder(), 5);
        ADD_FAILURE() << "loaded without art.mul";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()), msg::FileNotFound);
    }
}

// The loader keeps its files open: many loads, one opening of each file.
TEST_F(TileImages, LoaderOpensEachFileOnce) {
    for (int id = 0; id < 20; ++id) {
        files.texture(id, 64, uint16_t(id));
        files.landArt(id + 20, uint16_t(id));
    }
    files.write(dir.path());
    test::FaultyFileSystem fs;
    ScopedFileSystem guard(fs);
    TileImageLoader loader(folder());
    for (int round = 0; round < 3; ++round)
        for (int id = 0; id < 40; ++id) EXPECT_EQ(loader.tile(uint16_t(id)), LoadTileImage(folder(), uint16_t(id))) << id;
    const int freeOpens = fs.opens;
    fs.reset();
    for (int id = 0; id < 40; ++id) loader.tile(uint16_t(id));
    EXPECT_EQ(fs.opens, 0);
    EXPECT_GT(freeOpens, 4);
}

} // namespace
} // namespace tq
