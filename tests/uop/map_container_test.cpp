#include "core/uop/map_container.h"

#include "core/error.h"
#include "core/facets.h"
#include "core/map_file.h"
#include "core/uop/container.h"
#include "core/uop/map_convert.h"
#include "mapedit/map_cell_rect.h"

#include "support/error_of.h"
#include "support/temp_dir.h"
#include "uop/uop_fixture.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>

namespace tq::uop {
namespace {

using test::putU32;
using test::rawU32;
using test::rawU64;
using test::readBytes;
using test::writeBytes;

const WorldGeometry Facet4(4, 181, 181);

TMapBlock sampleBlock(int b) {
    TMapBlock block;
    for (auto& cell : block.Cells) cell = TMapCell{uint16_t(b % 0x3000 + 1), int8_t(b % 40 - 10)};
    return block;
}

TEST(MapContainer, ReadsTheForeignSampleAsTheMapItHolds) {
    test::TempDir dir;
    const std::string path = test::foreignSample(dir);
    EXPECT_EQ(MapFileWorld(path), Facet4);
    EXPECT_EQ(mapFileLength(path), Facet4.mapBytes());
    auto map = openMapFile(path, OpenMode::Read);
    EXPECT_EQ(map->size(), 6421156u);
    TMapBlock block;
    for (int x = 0; x < Facet4.blocksWide; ++x)
        for (int y = 0; y < Facet4.blocksHigh; ++y) {
            ReadMapBlock(*map, Facet4, x, y, block);
            ASSERT_EQ(block, sampleBlock(Facet4.blockNumber(x, y))) << x << "," << y;
        }
    EXPECT_EQ(test::staleChecksums(path), "");
    // Past the map's end, as with the .mul: "Read beyond end of file".
    map->seek(map->size() - 2);
    uint8_t bytes[3];
    EXPECT_EQ(test::errorOf([&] { map->read(bytes, 3); }), "Read beyond end of file");
    EXPECT_EQ(map->readSome(bytes, 3), 2u);
}

// The same writes on the sample and on its .mul: equal maps after, every checksum right,
// the container as long as before.
TEST(MapContainer, InPlaceWritesKeepEveryEntryChecksumRight) {
    test::TempDir dir;
    const std::string uopPath = test::foreignSample(dir), mulPath = dir.file("map4.mul");
    convertMap(uopPath, mulPath);
    const uint64_t length = std::filesystem::file_size(uopPath);
    const std::string untouched = readBytes(uopPath);
    for (const std::string& path : {uopPath, mulPath}) {
        auto map = openMapFile(path, OpenMode::ReadWrite);
        TMapBlock block = sampleBlock(5);
        block.Header = {1, 2, 3, 4};
        block.Cells[63] = TMapCell{0xABCD, -7};
        WriteMapBlock(*map, Facet4, 0, 0, block);
        // Block 4095 is the last of entry 0, 4096 the first of entry 1; a 2 x 1 block
        // region across the two writes both entries in one go.
        WriteMapBlock(*map, Facet4, 4095 / 181, 4095 % 181, block);
        WriteMapCell(*map, Facet4, 1447, 1447, TMapCell{0x1234, 99});
        std::vector<uint8_t> cells(16 * 8 * MapCellSize, 0x5A);
        const CellRect across{(4095 / 181) * 8, (4095 % 181) * 8, (4095 / 181) * 8 + 7, (4095 % 181) * 8 + 15};
        WriteMapCellBytes(*map, across, cells, Facet4);
        map->close();
    }
    EXPECT_EQ(std::filesystem::file_size(uopPath), length);
    EXPECT_EQ(test::staleChecksums(uopPath), "");
    const std::string back = dir.file("back/map4.mul");
    std::filesystem::create_directories(dir.file("back"));
    convertMap(uopPath, back);
    EXPECT_TRUE(readBytes(back) == readBytes(mulPath));
    EXPECT_FALSE(readBytes(uopPath) == untouched);
}

// The map editor keeps its map open while another window writes the same container.
TEST(MapContainer, TwoOpenWritersKeepTheChecksumsRight) {
    test::TempDir dir;
    const std::string path = test::foreignSample(dir);
    auto editor = openMapFile(path, OpenMode::ReadWrite);
    WriteMapCell(*editor, Facet4, 0, 0, TMapCell{1, 1});
    {
        auto other = openMapFile(path, OpenMode::ReadWrite);
        WriteMapCell(*other, Facet4, 8, 8, TMapCell{2, 2});
        other->close();
    }
    WriteMapCell(*editor, Facet4, 16, 16, TMapCell{3, 3});
    editor->close();
    EXPECT_EQ(test::staleChecksums(path), "");
}

TEST(MapContainer, WritesPastTheMapAndIntoCompressedEntriesAreRefusedWithoutWriting) {
    test::TempDir dir;
    const std::string path = test::foreignSample(dir);
    {
        auto map = openMapFile(path, OpenMode::ReadWrite);
        const std::string before = readBytes(path);
        map->seek(map->size() - 1);
        uint8_t two[2] = {1, 2};
        EXPECT_EQ(test::errorOf([&] { map->write(two, 2); }), "Read beyond end of file");
        EXPECT_TRUE(readBytes(path) == before);
    }
    // Entry 0 packed with zlib in place of its stored bytes (the rest of its room unused).
    std::string b = readBytes(path);
    auto file = openFile(path, OpenMode::Read);
    const Container c = Container::read(*file, path);
    file->close();
    const Entry e0 = *c.find(mapEntryName(4, 0));
    std::vector<uint8_t> plain(b.begin() + long(e0.dataOffset()), b.begin() + long(e0.dataOffset() + e0.storedSize));
    uLongf packedSize = compressBound(uLong(plain.size()));
    std::vector<uint8_t> packed(packedSize);
    ASSERT_EQ(compress(packed.data(), &packedSize, plain.data(), uLong(plain.size())), Z_OK);
    std::copy(packed.begin(), packed.begin() + long(packedSize), b.begin() + long(e0.dataOffset()));
    putU32(b, e0.slotOffset + 12, uint32_t(packedSize));
    b[e0.slotOffset + 32] = 1;
    writeBytes(path, b);

    TMapBlock block;
    ReadMapBlock(path, Facet4, 3, 7, block);
    EXPECT_EQ(block, sampleBlock(Facet4.blockNumber(3, 7)));
    EXPECT_EQ(test::errorOf([&] { WriteMapBlock(path, Facet4, 3, 7, TMapBlock{}); }),
              path + ": map entry build/map4legacymul/00000000.dat is compressed; it cannot be written in place");
    EXPECT_TRUE(readBytes(path) == b);
    // Entries of other blocks are still written.
    WriteMapBlock(path, Facet4, 180, 180, TMapBlock{});
    ReadMapBlock(path, Facet4, 180, 180, block);
    EXPECT_EQ(block, TMapBlock{});
}

TEST(MapContainer, AMapWithEntriesMissingOrMisSizedIsRefused) {
    test::TempDir dir;
    const std::string path = dir.file("map2LegacyMUL.uop");
    struct Case {
        std::vector<uint32_t> ids;
        std::vector<uint64_t> sizes;
        std::string message;
    };
    const uint64_t full = mapEntryBytes();
    const Case cases[] = {
        {{1, 2}, {full, 100}, ": the container holds no map: it has no entry build/map2legacymul/00000000.dat"},
        {{0, 2}, {full, 100},
         ": the container has build/map2legacymul/00000002.dat but no build/map2legacymul/00000001.dat"},
        {{0, 1}, {full - 196, 100},
         ": map entry build/map2legacymul/00000000.dat is 802,620 bytes; map entries hold 802,816 bytes (the last one "
         "up to that)"},
        {{0}, {full + 1},
         ": map entry build/map2legacymul/00000000.dat is 802,817 bytes; map entries hold 802,816 bytes (the last one "
         "up to that)"},
    };
    for (const Case& k : cases) {
        NewEntries e;
        e.count = k.ids.size();
        e.name = [&](size_t i) { return mapEntryName(2, k.ids[i]); };
        e.bytes = [&](size_t i, std::vector<uint8_t>& out) { out.assign(size_t(k.sizes[i]), 0); };
        writeContainer(path, e);
        EXPECT_EQ(test::errorOf([&] { openMapFile(path, OpenMode::Read); }), path + k.message);
        EXPECT_EQ(test::errorOf([&] { MapFileWorld(path); }), path + k.message);
    }
}

TEST(MapContainer, TheFacetOfTheEntriesComesFromTheNameOrTheContainer) {
    test::TempDir dir;
    const std::string sample = test::foreignSample(dir);
    const std::string renamed = dir.file("world.uop");
    std::filesystem::copy_file(sample, renamed);
    EXPECT_EQ(mapFileLength(renamed), Facet4.mapBytes());
    EXPECT_EQ(MapFileWorld(renamed, 4), Facet4);
    // Named for facet 2, the container holds none of facet 2's entries.
    const std::string misnamed = dir.file("map2LegacyMUL.uop");
    std::filesystem::copy_file(sample, misnamed);
    EXPECT_EQ(test::errorOf([&] { MapFileWorld(misnamed); }),
              misnamed + ": the container holds no map: it has no entry build/map2legacymul/00000000.dat");
}

TEST(MapConvert, RefusesTwoOfAKindAndKeepsTheDestinationOnFailure) {
    test::TempDir dir;
    const std::string sample = test::foreignSample(dir);
    EXPECT_EQ(test::errorOf([&] { convertMap(sample, dir.file("copy.uop")); }),
              "Convert goes from a map{N}.mul to a map{N}LegacyMUL.uop or back: " + sample + " and " +
                  dir.file("copy.uop") + " are both containers");
    writeBytes(dir.file("map2.mul"), "old");
    EXPECT_NE(test::errorOf([&] { convertMap(sample, dir.file("map2.mul")); }).find("facet"), std::string::npos);
    EXPECT_EQ(readBytes(dir.file("map2.mul")), "old");
}

TEST(MapConvert, TheConvertedMapIsOfferedUnderTheOtherName) {
    EXPECT_EQ(convertedMapName("/w/map2.mul"), "/w/map2LegacyMUL.uop");
    EXPECT_EQ(convertedMapName("/w/Map0LegacyMUL.UOP"), "/w/Map0.mul");
    EXPECT_EQ(convertedMapName("other.uop"), "other.mul");
    EXPECT_EQ(convertedMapName("land"), "landLegacyMUL.uop");
}

} // namespace
} // namespace tq::uop
