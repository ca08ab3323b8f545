#include "core/uop/container.h"

#include "core/error.h"
#include "core/file_system.h"
#include "core/uop/lookup3.h"

#include "support/error_of.h"
#include "support/temp_dir.h"
#include "uop/uop_fixture.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

namespace tq::uop {
namespace {

using test::putU32;
using test::putU64;
using test::rawU32;
using test::rawU64;
using test::readBytes;
using test::writeBytes;

constexpr size_t TableBytes = TableHeaderSize + TableCapacity * SlotSize;  // 3412

size_t slotAt(size_t table, int slot) { return table + TableHeaderSize + size_t(slot) * SlotSize; }

Container readContainer(const std::string& path) {
    auto file = openFile(path, OpenMode::Read);
    return Container::read(*file, path);
}

TEST(UopWriter, TablesOfOneHundredSlotsEachFollowedByItsEntries) {
    test::TempDir dir;
    const std::string path = dir.file("c.uop");
    test::writeSmallContainer(path, 250, 5);
    const std::string b = readBytes(path);
    EXPECT_EQ(rawU32(b, 0), Magic);
    EXPECT_EQ(rawU32(b, 4), 5u);
    EXPECT_EQ(rawU32(b, 8), Signature);
    EXPECT_EQ(rawU64(b, 12), 0x200u);
    EXPECT_EQ(rawU32(b, 20), 100u);
    EXPECT_EQ(rawU32(b, 24), 250u);
    EXPECT_EQ(b.substr(0x28, 0x200 - 0x28), std::string(0x200 - 0x28, '\0'));

    size_t table = 0x200;
    for (size_t t = 0; t < 3; ++t) {
        const size_t count = t < 2 ? 100 : 50;
        ASSERT_EQ(rawU32(b, table), count) << "table " << t;
        size_t data = table + TableBytes;  // the entries follow their table, in order
        for (size_t s = 0; s < 100; ++s) {
            const size_t slot = slotAt(table, int(s));
            if (s >= count) {
                EXPECT_EQ(b.substr(slot, SlotSize), std::string(SlotSize, '\0'));
                continue;
            }
            const size_t i = t * 100 + s;
            EXPECT_EQ(rawU64(b, slot), data);
            EXPECT_EQ(rawU32(b, slot + 8), 0u);  // no entry header
            EXPECT_EQ(rawU32(b, slot + 12), 5u);
            EXPECT_EQ(rawU32(b, slot + 16), 5u);
            EXPECT_EQ(rawU64(b, slot + 20), nameHash("e/" + std::to_string(i)));
            EXPECT_EQ(rawU32(b, slot + 28), uint32_t(::adler32(1, reinterpret_cast<const Bytef*>(b.data() + data), 5)));
            EXPECT_EQ(b[slot + 32], 0);
            EXPECT_EQ(uint8_t(b[data]), uint8_t(i * 7));
            data += 5;
        }
        const uint64_t next = rawU64(b, table + 4);
        EXPECT_EQ(next, t < 2 ? data : 0u);
        if (t == 2) {
            EXPECT_EQ(data, b.size());
        }
        table = size_t(next);
    }

    const Container c = readContainer(path);
    EXPECT_EQ(c.entries().size(), 250u);
    auto file = openFile(path, OpenMode::Read);
    const Entry* e = c.find("E/249");
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(c.readEntry(*file, *e), (std::vector<uint8_t>{uint8_t(249 * 7), uint8_t(249 * 7 + 1),
                                                           uint8_t(249 * 7 + 2), uint8_t(249 * 7 + 3),
                                                           uint8_t(249 * 7 + 4)}));
    EXPECT_EQ(c.find("e/250"), nullptr);
}

TEST(UopWriter, AnEmptyContainerHasOneEmptyTable) {
    test::TempDir dir;
    test::writeSmallContainer(dir.file("c.uop"), 0);
    const std::string b = readBytes(dir.file("c.uop"));
    EXPECT_EQ(b.size(), 0x200 + TableBytes);
    EXPECT_TRUE(readContainer(dir.file("c.uop")).entries().empty());
}

TEST(UopWriter, AFailedWriteLeavesTheOldContainerWhole) {
    test::TempDir dir;
    const std::string path = dir.file("c.uop");
    test::writeSmallContainer(path, 3);
    const std::string before = readBytes(path);
    NewEntries e;
    e.count = 150;
    e.name = [](size_t i) { return "x/" + std::to_string(i); };
    e.bytes = [](size_t i, std::vector<uint8_t>& out) {
        if (i == 120) throw Error("Disk full");
        out.assign(10, 1);
    };
    EXPECT_EQ(test::errorOf([&] { writeContainer(path, e); }), "Disk full");
    EXPECT_EQ(readBytes(path), before);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"c.uop"});
}

TEST(UopReader, SkipsEmptySlotsAndReadsEntriesAfterAnEntryHeader) {
    test::TempDir dir;
    const std::string path = dir.file("c.uop");
    test::writeSmallContainer(path, 3, 8);
    std::string b = readBytes(path);
    // Slot 1 emptied; slot 2's entry gets a 4-byte header: its data is its last 4 bytes.
    putU64(b, slotAt(0x200, 1), 0);
    const size_t s2 = slotAt(0x200, 2);
    putU32(b, s2 + 8, 4);
    putU32(b, s2 + 12, 4);
    putU32(b, s2 + 16, 4);
    putU32(b, s2 + 28, uint32_t(::adler32(1, reinterpret_cast<const Bytef*>(b.data() + rawU64(b, s2) + 4), 4)));
    writeBytes(path, b);
    const Container c = readContainer(path);
    EXPECT_EQ(c.entries().size(), 2u);
    EXPECT_EQ(c.find("e/1"), nullptr);
    auto file = openFile(path, OpenMode::Read);
    EXPECT_EQ(c.readEntry(*file, *c.find("e/2")), (std::vector<uint8_t>{18, 19, 20, 21}));
    EXPECT_EQ(test::staleChecksums(path), "");
}

TEST(UopReader, InflatesZlibEntriesAndRefusesOtherCompression) {
    test::TempDir dir;
    const std::string path = dir.file("art.uop");
    std::vector<uint8_t> plain(3000);
    for (size_t i = 0; i < plain.size(); ++i) plain[i] = uint8_t(i % 13);
    uLongf packedSize = compressBound(uLong(plain.size()));
    std::vector<uint8_t> packed(packedSize);
    ASSERT_EQ(compress(packed.data(), &packedSize, plain.data(), uLong(plain.size())), Z_OK);
    packed.resize(packedSize);
    NewEntries e;
    e.count = 3;
    e.name = [](size_t i) { return "e/" + std::to_string(i); };
    e.bytes = [&](size_t, std::vector<uint8_t>& out) { out = packed; };
    writeContainer(path, e);
    std::string b = readBytes(path);
    for (int s = 0; s < 3; ++s) {
        putU32(b, slotAt(0x200, s) + 16, uint32_t(plain.size()));
        b[slotAt(0x200, s) + 32] = char(s == 0 ? 1 : 3);
    }
    b[rawU64(b, slotAt(0x200, 2)) + 5] ^= 0x55;  // damage entry 2's zlib data
    b[slotAt(0x200, 2) + 32] = 1;
    writeBytes(path, b);

    const Container c = readContainer(path);
    auto file = openFile(path, OpenMode::Read);
    EXPECT_EQ(c.readEntry(*file, *c.find("e/0")), plain);
    const std::string hash1 = "table 0, slot 1 (hash 0x" + [] {
        char t[20];
        std::snprintf(t, sizeof t, "%016llX", static_cast<unsigned long long>(nameHash("e/1")));
        return std::string(t);
    }() + ")";
    EXPECT_EQ(test::errorOf([&] { c.readEntry(*file, *c.find("e/1")); }),
              path + ": entry " + hash1 + " uses compression 3, which this program cannot read (only none and zlib)");
    EXPECT_EQ(test::errorOf([&] { c.readEntry(*file, *c.find("e/1"), "e/1"); }),
              path + ": entry e/1 uses compression 3, which this program cannot read (only none and zlib)");
    EXPECT_NE(test::errorOf([&] { c.readEntry(*file, *c.find("e/2"), "e/2"); })
                  .find(path + ": entry e/2 cannot be unpacked"),
              std::string::npos);
}

TEST(UopChecksum, PatchingOneByteAtATimeMatchesTheWholeSum) {
    std::mt19937 random(7);
    std::vector<uint8_t> bytes(5000);
    for (auto& v : bytes) v = uint8_t(random());
    uint32_t sum = adler32(bytes.data(), bytes.size());
    for (size_t at : {size_t(0), size_t(1), size_t(2500), size_t(4998), size_t(4999)})
        for (uint8_t value : {uint8_t(0), uint8_t(255), uint8_t(random())}) {
            sum = adler32Patch(sum, bytes.size(), at, bytes[at], value);
            bytes[at] = value;
            ASSERT_EQ(sum, adler32(bytes.data(), bytes.size())) << at << " " << int(value);
        }
}

// Containers damaged on purpose: each is refused, naming the file and the problem.
struct Hostile {
    const char* name;
    void (*damage)(std::string& b);
    const char* problem;  // what the message says after "<path>: "
};

// Two tables: table 0 at 0x200 with 100 entries of 4 bytes, table 1 at 4324 with one.
constexpr size_t T0 = 0x200, T1 = 0x200 + TableBytes + 400, FileEnd = T1 + TableBytes + 4;

const Hostile HostileCases[] = {
    {"NotAContainer", [](std::string& b) { b[0] = 'X'; }, "not a UOP container: it does not start with MYP"},
    {"ShorterThanAHeader", [](std::string& b) { b.resize(20); },
     "not a UOP container: it is shorter than a container header"},
    {"NoFirstTable", [](std::string& b) { putU64(b, 12, 0); }, "the container header gives no first table (offset 0)"},
    {"FirstTableInTheHeader", [](std::string& b) { putU64(b, 12, 8); }, "table 0 at 8 lies inside the container header"},
    {"NoCapacity", [](std::string& b) { putU32(b, 20, 0); }, "the container's table capacity is 0"},
    {"HugeCapacity", [](std::string& b) { putU32(b, 20, 0x7FFFFFFF); },
     "the container's tables of 2,147,483,647 entries are larger than the file (7,740 bytes)"},
    {"NegativeCapacity", [](std::string& b) { putU32(b, 20, uint32_t(-5)); }, "the container's table capacity is -5"},
    {"TableLoopsToItself", [](std::string& b) { putU64(b, T1 + 4, T1); }, "the tables loop: table 2 at 4,324 was met before"},
    {"TableLoopsToTheFirst", [](std::string& b) { putU64(b, T1 + 4, T0); }, "the tables loop: table 2 at 512 was met before"},
    {"NextTablePastTheEnd", [](std::string& b) { putU64(b, T0 + 4, FileEnd + 100); },
     "table 1 at 7,840 runs past the end of the file (7,740 bytes)"},
    {"NextTableCutShort", [](std::string& b) { b.resize(FileEnd - 10); },
     "table 1 at 4,324 runs past the end of the file (7,730 bytes)"},
    {"CountAboveCapacity", [](std::string& b) { putU32(b, T0, 101); },
     "table 0 at 512 counts 101 entries; it has room for 100"},
    {"NegativeCount", [](std::string& b) { putU32(b, T1, uint32_t(-1)); },
     "table 1 at 4,324 counts -1 entries; it has room for 100"},
    {"EntryPastTheEnd", [](std::string& b) { putU64(b, slotAt(T1, 0), FileEnd + 1); }, "runs past the end of the file"},
    {"EntryRunsPastTheEnd",
     [](std::string& b) {
         putU32(b, slotAt(T1, 0) + 12, 1000);
         putU32(b, slotAt(T1, 0) + 16, 1000);
     },
     "runs past the end of the file (7,740 bytes)"},
    {"HugeOffset", [](std::string& b) { putU64(b, slotAt(T1, 0), ~uint64_t(0) - 2); }, "runs past the end of the file"},
    {"NegativeSize", [](std::string& b) { putU32(b, slotAt(T0, 3) + 12, uint32_t(-4)); }, "has a negative size"},
    {"StoredSizesDiffer", [](std::string& b) { putU32(b, slotAt(T0, 3) + 16, 8); },
     "is stored uncompressed but its sizes differ (4 and 8 bytes)"},
    {"ImplausibleUnpackedSize",
     [](std::string& b) {
         b[slotAt(T0, 3) + 32] = 1;
         putU32(b, slotAt(T0, 3) + 16, 0x7FFFFFFF);
     },
     "claims to unpack 4 bytes into 2,147,483,647"},
    {"OverlappingEntries", [](std::string& b) { putU64(b, slotAt(T0, 5), rawU64(b, slotAt(T0, 4)) + 2); }, "overlap"},
    {"EntryOverATable", [](std::string& b) { putU64(b, slotAt(T0, 5), T1 + 8); }, "overlap"},
    {"EntryOverTheHeader", [](std::string& b) { putU64(b, slotAt(T0, 5), 0x20); }, "overlap"},
    {"DuplicateHashes", [](std::string& b) { putU64(b, slotAt(T1, 0) + 20, rawU64(b, slotAt(T0, 7) + 20)); },
     "have the same name hash"},
};

void PrintTo(const Hostile& h, std::ostream* out) { *out << h.name; }

class HostileContainer : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileContainer, IsRefusedNamingTheFileAndTheProblem) {
    test::TempDir dir;
    const std::string path = dir.file("map0LegacyMUL.uop");
    test::writeSmallContainer(path, 101);
    std::string b = readBytes(path);
    ASSERT_EQ(b.size(), FileEnd);
    ASSERT_EQ(rawU64(b, T0 + 4), T1);
    GetParam().damage(b);
    writeBytes(path, b);
    const std::string message = test::errorOf([&] { readContainer(path); });
    EXPECT_EQ(message.rfind(path + ": ", 0), 0u) << message;
    EXPECT_NE(message.find(GetParam().problem), std::string::npos) << message;
    EXPECT_EQ(readBytes(path), b) << "reading wrote";
}

INSTANTIATE_TEST_SUITE_P(Tables, HostileContainer, ::testing::ValuesIn(HostileCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace tq::uop
