#include "core/error.h"
#include "core/file_system.h"
#include "core/uop/container.h"
#include "mapedit/client_files.h"
#include "mapedit/tile_image.h"
#include "tools/synthetic_world.h"

#include "support/error_of.h"
#include "support/temp_dir.h"
#include "uop/uop_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>

// Land art from artLegacyMUL.uop, as today's clients ship it: the same pictures as from
// art.mul and artidx.mul holding the same bytes.
namespace tq {
namespace {

namespace fs = std::filesystem;

class UopArt : public ::testing::Test {
protected:
    test::TempDir dir;
    std::string mul = dir.file("mul"), uop = dir.file("uop");
    void SetUp() override {
        fs::create_directories(mul);
        fs::create_directories(uop);
        makeSyntheticWorld(mul, 10, 3, {}, WorldGeometry(2, 288, 200));
        makeSyntheticWorld(uop, 10, 3, {}, WorldGeometry(2, 288, 200), true);
    }
};

TEST_F(UopArt, EveryTileLooksAsItDoesFromArtMul) {
    ASSERT_FALSE(fs::exists(uop + "/art.mul"));
    EXPECT_TRUE(clientFilesPresent(uop));
    EXPECT_TRUE(artFromContainer(uop));
    EXPECT_FALSE(artFromContainer(mul));
    TileImageLoader fromMul(mul), fromUop(uop);
    int art = 0;
    for (int id = 0; id < TileImageIdLimit; ++id) {
        const auto a = fromMul.landArt(uint16_t(id));
        ASSERT_EQ(fromUop.landArt(uint16_t(id)), a) << id;
        ASSERT_EQ(fromUop.tile(uint16_t(id)), fromMul.tile(uint16_t(id))) << id;
        if (a) ++art;
    }
    EXPECT_GT(art, 100);
    EXPECT_EQ(LoadLandArtImage(uop, 3), LoadLandArtImage(mul, 3));
}

TEST_F(UopArt, ArtMulWinsWhenBothAreThereAndDamageIsReported) {
    // Beside art.mul and artidx.mul the container is not read, however damaged.
    test::writeBytes(mul + "/" + ArtContainerName, "junk");
    EXPECT_FALSE(artFromContainer(mul));
    EXPECT_TRUE(TileImageLoader(mul).landArt(3).has_value());

    // An entry of an unknown compression is an error naming the container and the entry;
    // an entry of another length is no picture, as in art.mul.
    const std::string path = uop + "/" + ArtContainerName;
    std::string b = test::readBytes(path);
    auto file = openFile(path, OpenMode::Read);
    const uop::Container c = uop::Container::read(*file, path);
    file->close();
    const uop::Entry* e3 = c.find(artEntryName(3));
    const uop::Entry* e4 = c.find(artEntryName(4));
    ASSERT_TRUE(e3 && e4);
    b[e3->slotOffset + 32] = 3;
    test::putU32(b, e4->slotOffset + 12, 2000);
    test::putU32(b, e4->slotOffset + 16, 2000);
    test::writeBytes(path, b);
    TileImageLoader loader(uop);
    // The loader names the container the platform's way (a backslash before it on Windows).
    const std::string named = (std::filesystem::path(uop) / ArtContainerName).string();
    EXPECT_EQ(test::errorOf([&] { loader.landArt(3); }),
              named + ": entry build/artlegacymul/00000003.tga uses compression 3, which this program cannot read "
                     "(only none and zlib)");
    EXPECT_FALSE(loader.landArt(4).has_value());
    EXPECT_FALSE(loader.landArt(4095).has_value());
}

} // namespace
} // namespace tq
