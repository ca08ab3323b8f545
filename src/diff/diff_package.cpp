#include "diff/diff_package.h"

#include "core/bytes.h"
#include "core/error.h"
#include "core/facets.h"
#include "core/file_system.h"
#include "diff/buffered_io.h"
#include "diff/compact_package.h"

#include <bit>
#include <cstring>
#include <limits>

namespace tq {

namespace {

constexpr int HeaderFields = 11;  // version 2 writes the first 8; the last 3 stay zero

std::string blockText(int bx, int by) {
    return "(" + std::to_string(bx) + ", " + std::to_string(by) + ")";
}

[[noreturn]] void invalid(const std::string& what) { throw Error("Invalid TQD file: " + what); }

// Package positions are 32-bit; refuse to write past what a reader could address.
int32_t packagePosition(uint64_t position) {
    if (position > uint64_t(std::numeric_limits<int32_t>::max()))
        throw Error("The TQD file would grow past 2 GB; generate the statics and the map separately");
    return int32_t(position);
}

uint32_t xorWords(const uint8_t* bytes, size_t n) {
    // n is a multiple of 8. Both halves of the 64-bit sum fold into the 32-bit one.
    uint64_t a = 0, b = 0, c = 0, d = 0;
    size_t i = 0;
    if constexpr (std::endian::native == std::endian::little) {
        for (; i + 32 <= n; i += 32) {
            uint64_t w[4];
            std::memcpy(w, bytes + i, 32);
            a ^= w[0];
            b ^= w[1];
            c ^= w[2];
            d ^= w[3];
        }
        for (; i + 8 <= n; i += 8) {
            uint64_t w;
            std::memcpy(&w, bytes + i, 8);
            a ^= w;
        }
        const uint64_t all = a ^ b ^ c ^ d;
        return uint32_t(all) ^ uint32_t(all >> 32);
    } else {
        uint32_t sum = 0;
        for (; i + 4 <= n; i += 4) sum ^= le::u32(bytes + i);
        return sum;
    }
}

// Decodes count records into the block. A TStaticBlock keeps its slots past Count zero,
// so only the slots it used before need clearing: a pass over thousands of blocks does not
// wipe 14 KB each time.
void fillBlock(const uint8_t* bytes, int count, TStaticBlock& block) {
    for (int i = 0; i < count; ++i) decodeStaticRec(bytes + i * StaticRecSize, block.Records[size_t(i)]);
    for (int i = count; i < block.Count; ++i) block.Records[size_t(i)] = TStaticRec{};
    block.Count = uint16_t(count);
}

} // namespace

void encodeDiffHeader(const TDiffHeader& h, uint8_t* bytes) {
    std::memset(bytes, 0, DiffHeaderSize);
    const int32_t fields[HeaderFields] = {h.DiffVersion, h.StaticsIndexPos, h.OrigIndexCrc, h.OrigStaticsSize,
                                          h.ModIndexCrc, h.ModStaticsSize,  h.MapIndexPos,  h.ModMapSum,
                                          h.Facet,       h.BlocksWide,      h.BlocksHigh};
    for (int i = 0; i < HeaderFields; ++i) le::put32(bytes + 4 * i, uint32_t(fields[i]));
}

void decodeDiffHeader(const uint8_t* bytes, TDiffHeader& h) {
    h.DiffVersion = le::i32(bytes);
    h.StaticsIndexPos = le::i32(bytes + 4);
    h.OrigIndexCrc = le::i32(bytes + 8);
    h.OrigStaticsSize = le::i32(bytes + 12);
    h.ModIndexCrc = le::i32(bytes + 16);
    h.ModStaticsSize = le::i32(bytes + 20);
    h.MapIndexPos = le::i32(bytes + 24);
    h.ModMapSum = le::i32(bytes + 28);
    h.Facet = le::i32(bytes + 32);
    h.BlocksWide = le::i32(bytes + 36);
    h.BlocksHigh = le::i32(bytes + 40);
}

int32_t DiffVersionFor(const WorldGeometry& world) {
    return world.isClassic() ? ClassicDiffVersion : SizedDiffVersion;
}

WorldGeometry DiffHeaderWorld(const TDiffHeader& h) {
    if (h.DiffVersion == ClassicDiffVersion) return WorldGeometry();
    return WorldGeometry(h.Facet, h.BlocksWide, h.BlocksHigh);
}

TDiffHeader NewDiffHeader(const WorldGeometry& world, bool compact) {
    TDiffHeader h;
    h.DiffVersion = compact ? CompactDiffVersion : DiffVersionFor(world);
    if (h.DiffVersion != ClassicDiffVersion) {
        h.Facet = world.facet;
        h.BlocksWide = world.blocksWide;
        h.BlocksHigh = world.blocksHigh;
    }
    return h;
}

void encodeDiffStaticsEntry(const TDiffStaticsEntry& entry, uint8_t* bytes) {
    le::put32(bytes, uint32_t(entry.Pos));
    le::put32(bytes + 4, uint32_t(entry.Length));
}

void decodeDiffStaticsEntry(const uint8_t* bytes, TDiffStaticsEntry& entry) {
    entry.Pos = le::i32(bytes);
    entry.Length = le::i32(bytes + 4);
}

uint32_t StaticsCrc(const StaticIndexBuffer& index, const Progress& progress) {
    const WorldGeometry& world = index.world();
    uint32_t sum = 0;
    for (int x = 0; x < world.blocksWide; ++x) {
        const TStaticIndexRec* column = index[size_t(x)];
        for (int y = 0; y < world.blocksHigh; ++y)
            sum ^= uint32_t(column[y].Start) ^ uint32_t(column[y].Length) ^ uint32_t(column[y].Extra);
        progress.pumpEvents();
    }
    return sum;
}

uint32_t MapBytesSum(const uint8_t* bytes, size_t n) {
    // A column of an odd number of blocks ends in half a 64-bit pair; that last 32-bit word
    // is taken on its own.
    const size_t whole = n & ~size_t(7);
    uint32_t sum = xorWords(bytes, whole);
    for (size_t i = whole; i + 4 <= n; i += 4) sum ^= le::u32(bytes + i);
    return sum;
}

uint32_t MapFileSum(const std::string& mapPath, const Progress& progress) {
    return MapFileSum(mapPath, WorldGeometry(), progress);
}

uint32_t MapFileSum(const std::string& mapPath, const WorldGeometry& world, const Progress& progress) {
    progress.report(0);
    auto file = openMapFile(mapPath, OpenMode::Read, world.facet);
    // Columns are read whole.
    std::vector<uint8_t> column(world.mapColumnBytes());
    uint32_t sum = 0;
    int shown = 0;
    for (int x = 0; x < world.blocksWide; ++x) {
        file->read(column.data(), column.size());
        sum ^= MapBytesSum(column.data(), column.size());
        // The percentage of blocks done; it moves at most once per column.
        const int percent = int(int64_t(x + 1) * world.blocksHigh * 100 / world.blockCount());
        if (percent != shown) {
            shown = percent;
            progress.report(percent);
        }
        progress.pumpEvents();
    }
    file->close();
    progress.report(100);
    return sum;
}

bool SameIndexEntry(const TStaticIndexRec& a, const TStaticIndexRec& b) {
    return a.Start == b.Start && a.Length == b.Length;
}

bool SameBlockStatics(const TStaticBlock& a, const TStaticBlock& b) {
    if (a.Count != b.Count) return false;
    // Slots past Count are zero in every filled block, so only the used ones can differ.
    for (int i = 0; i < a.Count; ++i)
        if (!(a.Records[size_t(i)] == b.Records[size_t(i)])) return false;
    return true;
}

bool SameMapBlock(const TMapBlock& a, const TMapBlock& b) { return a == b; }

bool SameMapBlock(const uint8_t* a, const uint8_t* b) { return std::memcmp(a, b, MapBlockSize) == 0; }

void AppendPackageStatics(AppendWriter& package, TDiffStaticsEntry& entry, const TStaticBlock& block) {
    if (block.Count > StaticBlockCapacity) throw Error(tooManyStaticsMessage(block.Count));
    uint8_t bytes[StaticBlockMaxBytes];
    for (int i = 0; i < block.Count; ++i) encodeStaticRec(block.Records[size_t(i)], bytes + i * StaticRecSize);
    const int32_t pos = packagePosition(package.position());
    const size_t n = size_t(block.Count) * StaticRecSize;
    packagePosition(package.position() + n);
    package.append(bytes, n);
    entry.Pos = pos;
    entry.Length = int32_t(n);
}

void ReadPackageStatics(WindowedReader& package, const TDiffStaticsEntry& entry, TStaticBlock& block) {
    fillBlock(nullptr, 0, block);
    if (entry.Pos < 0 || entry.Length < 0) throw Error(msg::ReadBeyondEnd, package.name());
    if (entry.Length % StaticRecSize != 0) throw Error(LengthNotMultipleMessage, package.name());
    if (uint32_t(entry.Length) > StaticBlockMaxBytes)
        throw Error(tooManyStaticsMessage(entry.Length / StaticRecSize), package.name());
    uint8_t bytes[StaticBlockMaxBytes];
    package.read(uint64_t(entry.Pos), bytes, size_t(entry.Length));
    fillBlock(bytes, entry.Length / StaticRecSize, block);
}

void AppendPackageMapBlock(AppendWriter& package, TDiffMapEntry& entry, const TMapBlock& block) {
    uint8_t bytes[MapBlockSize];
    encodeMapBlock(block, bytes);
    const int32_t pos = packagePosition(package.position());
    packagePosition(package.position() + MapBlockSize);
    package.append(bytes, MapBlockSize);
    entry = pos;
}

void ReadPackageMapBlock(WindowedReader& package, int32_t position, TMapBlock& block) {
    if (position < 0) throw Error(msg::ReadBeyondEnd, package.name());
    uint8_t bytes[MapBlockSize];
    package.read(uint64_t(position), bytes, MapBlockSize);
    decodeMapBlock(bytes, block);
}

void ReadBlockStatics(WindowedReader& statics, const TStaticIndexRec& entry, TStaticBlock& block) {
    fillBlock(nullptr, 0, block);
    if (entry.Start == -1) return;
    const int count = int(CheckIndexEntry(entry));
    uint8_t bytes[StaticBlockMaxBytes];
    statics.read(uint64_t(entry.Start), bytes, size_t(entry.Length));
    fillBlock(bytes, count, block);
}

void CheckDiffHeader(const TDiffHeader& h, uint64_t packageSize) {
    if (packageSize < uint64_t(DiffHeaderSize))
        invalid("it is shorter than its " + std::to_string(DiffHeaderSize) + "-byte header");
    if (h.DiffVersion != ClassicDiffVersion && h.DiffVersion != SizedDiffVersion && h.DiffVersion != CompactDiffVersion)
        invalid("version " + std::to_string(h.DiffVersion) + " is not supported (this program reads versions " +
                std::to_string(ClassicDiffVersion) + ", " + std::to_string(SizedDiffVersion) + " and " +
                std::to_string(CompactDiffVersion) + ")");
    if (h.DiffVersion != ClassicDiffVersion) {
        bool known = isFacet(h.Facet);
        if (known) {
            known = false;
            for (const WorldGeometry& size : facetSizes(h.Facet))
                known = known || (size.blocksWide == h.BlocksWide && size.blocksHigh == h.BlocksHigh);
        }
        if (!known)
            invalid("it was made for a world of " + std::to_string(h.BlocksWide) + " \u00d7 " +
                    std::to_string(h.BlocksHigh) + " blocks on facet " + std::to_string(h.Facet) +
                    ", which is not one of the client's worlds");
    }
    const WorldGeometry world = DiffHeaderWorld(h);
    if (h.StaticsIndexPos == -1 && h.MapIndexPos == -1)
        invalid("it holds neither statics nor map (it was cut short while being generated)");
    auto tableFits = [&](int32_t pos, uint64_t tableSize) {
        return pos >= DiffHeaderSize && uint64_t(pos) <= packageSize && tableSize <= packageSize - uint64_t(pos);
    };
    if (h.DiffVersion == CompactDiffVersion) {
        // A compact part is checked in full when it is read; here only that it starts inside.
        if (h.StaticsIndexPos != -1 && !tableFits(h.StaticsIndexPos, CompactPartHeadSize))
            invalid("its statics part does not lie inside the file");
        if (h.MapIndexPos != -1 && !tableFits(h.MapIndexPos, CompactPartHeadSize))
            invalid("its map part does not lie inside the file");
        return;
    }
    if (h.StaticsIndexPos != -1 && !tableFits(h.StaticsIndexPos, DiffStaticsIndexSize(world)))
        invalid("its statics index does not lie inside the file");
    if (h.MapIndexPos != -1 && !tableFits(h.MapIndexPos, DiffMapIndexSize(world)))
        invalid("its map index does not lie inside the file");
}

void CheckDiffStaticsEntries(const uint8_t* entryBytes, int first, int count, uint64_t packageSize,
                             const WorldGeometry& world) {
    for (int n = first; n < first + count; ++n) {
        TDiffStaticsEntry e;
        decodeDiffStaticsEntry(entryBytes + size_t(n - first) * DiffStaticsEntrySize, e);
        if (e.unchanged() || e.emptied()) continue;
        const std::string block = "the statics entry of block " + blockText(n / world.blocksHigh, n % world.blocksHigh);
        if (e.Length < 0 || e.Length % StaticRecSize != 0)
            invalid(block + " has a length of " + std::to_string(e.Length) +
                    " bytes, which is not a whole number of statics");
        if (uint32_t(e.Length) > StaticBlockMaxBytes)
            invalid(block + " holds " + std::to_string(e.Length / StaticRecSize) + " statics; a block can hold at most " +
                    std::to_string(StaticBlockCapacity));
        if (e.Pos < DiffHeaderSize || uint64_t(e.Pos) + uint64_t(e.Length) > packageSize)
            invalid(block + " points outside the file");
    }
}

void CheckDiffMapEntries(const uint8_t* entryBytes, int first, int count, uint64_t packageSize,
                         const WorldGeometry& world) {
    for (int n = first; n < first + count; ++n) {
        const int32_t pos = le::i32(entryBytes + size_t(n - first) * DiffMapEntrySize);
        if (pos == -1) continue;
        if (pos < DiffHeaderSize || uint64_t(pos) + MapBlockSize > packageSize)
            invalid("the map entry of block " + blockText(n / world.blocksHigh, n % world.blocksHigh) +
                    " points outside the file");
    }
}

void CheckDiffStaticsTable(const uint8_t* tableBytes, uint64_t packageSize, const WorldGeometry& world) {
    CheckDiffStaticsEntries(tableBytes, 0, world.blockCount(), packageSize, world);
}

void CheckDiffMapTable(const uint8_t* tableBytes, uint64_t packageSize, const WorldGeometry& world) {
    CheckDiffMapEntries(tableBytes, 0, world.blockCount(), packageSize, world);
}

} // namespace tq
