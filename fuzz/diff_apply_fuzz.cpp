// Applying a diff package (header, both tables, data) to a small world held in memory.
//
// The input is a recipe rather than a raw package, so that short inputs reach every part
// of a 4.7 MB package:
//   byte 0      flags: 1 statics part, 2 map part, 4 use the true CRC of the original
//               index, 8 take the index positions from the header bytes as they are,
//               16 cut the package short, 32 take the version from the header bytes,
//               64 write the same change as a compact package (version 4), 128 with
//               flag 64: let its parts' sizes lie (the header's OrigStaticsSize and
//               ModStaticsSize bytes, added to each part's packed and unpacked sizes)
//   bytes 1-32  the eight header fields (little-endian)
//   then        n (1 byte) statics entries of 12 bytes: block, Pos, Length
//   then        m (1 byte) map entries of 8 bytes: block, position
//   then        2 bytes: how many bytes to cut off the end (flag 16)
//   the rest    package data, placed right after the 1024-byte header
// Missing bytes count as zero.
//
// Promises checked: a refused package changes none of the modified files and leaves no
// temporary file; an applied one gives every block the records and map bytes the package
// and the originals say, with an index that fits its statics. An applied compact package
// gives byte for byte the files its full-form equivalent gives.
#include "core/bytes.h"
#include "support/classic_world.h"
#include "core/error.h"
#include "core/file_system.h"
#include "core/map_file.h"
#include "diff/diff.h"
#include "diff/compact_package.h"
#include "diff/diff_package.h"
#include "support/fuzz_check.h"
#include "support/memory_file_system.h"
#include "support/small_world.h"

#include <zstd.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace tq;

namespace {

struct Input {
    const uint8_t* data;
    size_t size, pos = 0;
    uint8_t u8() { return pos < size ? data[pos++] : 0; }
    uint32_t u32() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= uint32_t(u8()) << (8 * i);
        return v;
    }
    std::string rest() { return pos < size ? std::string(reinterpret_cast<const char*>(data + pos), size - pos) : ""; }
};

const DiffPaths Paths{"/o/staidx0.mul", "/o/statics0.mul", "/o/map0.mul",
                      "/m/staidx0.mul", "/m/statics0.mul", "/m/map0.mul"};
const std::string Package = "/p/patch.tq2";

TMapBlock patternBlock(uint8_t seed) {
    TMapBlock b;
    b.Header = {seed, 1, 2, 3};
    for (int i = 0; i < CellsPerBlock; ++i) b.Cells[size_t(i)] = {uint16_t(seed * 100 + i), int8_t(i)};
    return b;
}

void varint(std::string& out, uint64_t v) {
    while (v >= 0x80) {
        out += char(uint8_t(v | 0x80));
        v >>= 7;
    }
    out += char(uint8_t(v));
}

// One compact part: the three fields (each plus its lie) and a checksummed frame.
std::string compactPart(int blocks, const std::string& plain, uint32_t packedLie, uint32_t unpackedLie) {
    std::string frame(ZSTD_compressBound(plain.size()), '\0');
    ZSTD_CCtx* ctx = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(ctx, ZSTD_c_checksumFlag, 1);
    frame.resize(ZSTD_compress2(ctx, frame.data(), frame.size(), plain.data(), plain.size()));
    ZSTD_freeCCtx(ctx);
    std::string head(CompactPartHeadSize, '\0');
    auto* h = reinterpret_cast<uint8_t*>(head.data());
    le::put32(h, uint32_t(blocks));
    le::put32(h + 4, uint32_t(frame.size()) + packedLie);
    le::put32(h + 8, uint32_t(plain.size()) + unpackedLie);
    return head + frame;
}

// The package's change in the compact form: the named entries in order, each with the bytes
// the full form's entry points at (as far as they lie in the payload).
std::string compactStatics(const std::map<int, TDiffStaticsEntry>& entries, const std::string& payload,
                           uint32_t packedLie, uint32_t unpackedLie) {
    std::string table, data;
    int previous = -1;
    for (const auto& [n, e] : entries) {
        varint(table, uint64_t(n - previous) << 1);
        previous = n;
        if (e.unchanged()) {
            varint(table, 0);
        } else if (e.emptied()) {
            varint(table, 1);
        } else {
            varint(table, uint64_t(uint32_t(e.Length)) / StaticRecSize + 2);
            const int64_t at = int64_t(e.Pos) - DiffHeaderSize;
            if (at >= 0 && e.Length >= 0 && uint64_t(at) + uint64_t(e.Length) <= payload.size())
                data += payload.substr(size_t(at), size_t(e.Length));
        }
    }
    return compactPart(int(entries.size()), table + data, packedLie, unpackedLie);
}

std::string compactMap(const std::map<int, int32_t>& entries, const std::string& payload, uint32_t packedLie,
                       uint32_t unpackedLie) {
    std::string table, data;
    int previous = -1;
    int blocks = 0;
    for (const auto& [n, pos] : entries) {
        if (pos == -1) continue;  // the full form's "unchanged": not named
        varint(table, uint64_t(n - previous) << 1);
        previous = n;
        ++blocks;
        const int64_t at = int64_t(pos) - DiffHeaderSize;
        if (at >= 0 && uint64_t(at) + MapBlockSize <= payload.size()) data += payload.substr(size_t(at), MapBlockSize);
    }
    return compactPart(blocks, table + data, packedLie, unpackedLie);
}

TMapBlock mapBlockAt(const fuzz::MemoryFileSystem& fs, const std::string& path, int x, int y) {
    uint8_t bytes[MapBlockSize];
    fuzz::readNode(*fs.node(path), mapBlockOffset(x, y), bytes, sizeof bytes);
    TMapBlock b;
    decodeMapBlock(bytes, b);
    return b;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::MemoryFileSystem fs;
    const auto& world = fuzz::SmallWorld::get();

    Input in{data, size};
    const uint8_t flags = in.u8();
    const bool withStatics = flags & 1, withMap = flags & 2;
    TDiffHeader h;
    int32_t fields[8];
    for (int32_t& f : fields) f = int32_t(in.u32());
    h = {fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6], fields[7]};
    std::map<int, TDiffStaticsEntry> staticsEntries;
    for (int n = in.u8(); n > 0; --n) {
        const int block = int(in.u32() % BlockCount);
        staticsEntries[block] = {int32_t(in.u32()), int32_t(in.u32())};
    }
    std::map<int, int32_t> mapEntries;
    for (int n = in.u8(); n > 0; --n) {
        const int block = int(in.u32() % BlockCount);
        mapEntries[block] = int32_t(in.u32());
    }
    const size_t cut = size_t(in.u8()) | (size_t(in.u8()) << 8);
    const std::string payload = in.rest();

    // The package.
    std::string tables;
    const uint64_t tablesAt = DiffHeaderSize + payload.size();
    if (!(flags & 8)) {
        h.StaticsIndexPos = withStatics ? int32_t(tablesAt) : -1;
        h.MapIndexPos = withMap ? int32_t(tablesAt + (withStatics ? DiffStaticsIndexSize(ClassicWorld) : 0)) : -1;
    }
    if (!(flags & 32)) h.DiffVersion = ClassicDiffVersion;
    if (flags & 4) h.OrigIndexCrc = int32_t(StaticsCrc(*world.index));
    if (withStatics) {
        std::string t(DiffStaticsIndexSize(ClassicWorld), '\xFF');
        for (const auto& [n, e] : staticsEntries)
            encodeDiffStaticsEntry(e, reinterpret_cast<uint8_t*>(t.data()) + size_t(n) * DiffStaticsEntrySize);
        tables += t;
    }
    if (withMap) {
        std::string t(DiffMapIndexSize(ClassicWorld), '\xFF');
        for (const auto& [n, pos] : mapEntries)
            le::put32(reinterpret_cast<uint8_t*>(t.data()) + size_t(n) * DiffMapEntrySize, uint32_t(pos));
        tables += t;
    }
    std::string package(DiffHeaderSize, '\0');
    encodeDiffHeader(h, reinterpret_cast<uint8_t*>(package.data()));
    package += payload;
    package += tables;
    const bool compact = flags & 64;
    // The full form of a compact package's change: what its unnamed blocks imply spelled out.
    std::string fullEquivalent;
    // Entries the compact part cannot carry as they stand (a length of no whole records, a
    // run outside the payload) make a compact package that is no such full form.
    bool hasFullEquivalent = true;
    if (compact) {
        const uint32_t packedLie = (flags & 128) ? uint32_t(h.OrigStaticsSize) : 0;
        const uint32_t unpackedLie = (flags & 128) ? uint32_t(h.ModStaticsSize) : 0;
        TDiffHeader c = NewDiffHeader(ClassicWorld, true);
        c.OrigIndexCrc = h.OrigIndexCrc;
        c.StaticsIndexPos = c.MapIndexPos = -1;
        std::string body;
        if (withStatics) {
            c.StaticsIndexPos = int32_t(DiffHeaderSize + body.size());
            body += compactStatics(staticsEntries, payload, packedLie, unpackedLie);
        }
        if (withMap) {
            c.MapIndexPos = int32_t(DiffHeaderSize + body.size());
            body += compactMap(mapEntries, payload, packedLie, unpackedLie);
        }
        if (flags & 8) {
            c.StaticsIndexPos = h.StaticsIndexPos;
            c.MapIndexPos = h.MapIndexPos;
        }
        std::string head(DiffHeaderSize, '\0');
        encodeDiffHeader(c, reinterpret_cast<uint8_t*>(head.data()));
        // The full form: the payload with tables in which every block the compact part
        // leaves out is what the original index implies for it.
        TDiffHeader f = h;
        f.DiffVersion = ClassicDiffVersion;
        f.StaticsIndexPos = withStatics ? int32_t(tablesAt) : -1;
        f.MapIndexPos = withMap ? int32_t(tablesAt + (withStatics ? DiffStaticsIndexSize(ClassicWorld) : 0)) : -1;
        std::string full(DiffHeaderSize, '\0');
        encodeDiffHeader(f, reinterpret_cast<uint8_t*>(full.data()));
        full += payload;
        if (withStatics) {
            std::string t(DiffStaticsIndexSize(ClassicWorld), '\xFF');
            auto* bytes = reinterpret_cast<uint8_t*>(t.data());
            for (int n = 0; n < BlockCount; ++n) {
                const auto named = staticsEntries.find(n);
                TDiffStaticsEntry e = named != staticsEntries.end()
                                          ? named->second
                                          : ResolveCompactEntry(CompactImplied, world.index->entries[size_t(n)]);
                // A compact part keeps no positions: an empty run of records may lie anywhere
                // in the file, as the full form's check wants it.
                if (e.Pos >= 0 && e.Length == 0) e.Pos = DiffHeaderSize;
                if (!e.unchanged() && !e.emptied() &&
                    (e.Length < 0 || e.Length % StaticRecSize != 0 || e.Pos < DiffHeaderSize ||
                     uint64_t(e.Pos) + uint64_t(e.Length) > DiffHeaderSize + payload.size()))
                    hasFullEquivalent = false;
                encodeDiffStaticsEntry(e, bytes + size_t(n) * DiffStaticsEntrySize);
            }
            full += t;
        }
        if (withMap) full += tables.substr(withStatics ? DiffStaticsIndexSize(ClassicWorld) : 0);
        fullEquivalent = full;
        package = head + body;
    }
    if (flags & 16) package.resize(package.size() - std::min(cut, package.size()));

    // The world: originals with statics and two map blocks; modified files that differ.
    fs.clear();
    struct Clear {
        fuzz::MemoryFileSystem& fs;
        ~Clear() { fs.clear(); }  // every input frees what it took
    } clear{fs};
    fs.putCopy(Paths.origStaIdx, world.indexNode);
    fs.putCopy(Paths.origStatics, world.staticsNode);
    fs.putZeros(Paths.origMap, MapFileSize);
    {
        uint8_t b[MapBlockSize];
        encodeMapBlock(patternBlock(1), b);
        fuzz::writeNode(*fs.node(Paths.origMap), mapBlockOffset(0, 0), b, sizeof b);
        encodeMapBlock(patternBlock(2), b);
        fuzz::writeNode(*fs.node(Paths.origMap), mapBlockOffset(767, 511), b, sizeof b);
    }
    static const fuzz::MemoryFileSystem::Node oldModIndex =
        fuzz::nodeOf(std::string(StaticIndexFileSize, '\xEE'));
    fs.putCopy(Paths.modStaIdx, oldModIndex);
    fs.put(Paths.modStatics, "old statics");
    fs.putZeros(Paths.modMap, MapFileSize);
    fs.put(Package, package);
    const auto modIndexNode = fs.node(Paths.modStaIdx), modStaticsNode = fs.node(Paths.modStatics),
               modMapNode = fs.node(Paths.modMap);
    const size_t fileCount = fs.names().size();

    ScopedFileSystem guard(fs);
    try {
        ApplyDiff(Paths, Package, {});
    } catch (const Error&) {
        TQ_FUZZ_REQUIRE(fs.node(Paths.modStaIdx) == modIndexNode && modIndexNode->writes == 0);
        TQ_FUZZ_REQUIRE(fs.node(Paths.modStatics) == modStaticsNode && modStaticsNode->writes == 0);
        TQ_FUZZ_REQUIRE(fs.node(Paths.modMap) == modMapNode && modMapNode->writes == 0);
        TQ_FUZZ_REQUIRE(fs.names().size() == fileCount);
        return 0;
    }
    TQ_FUZZ_REQUIRE(fs.names().size() == fileCount);
    TQ_FUZZ_REQUIRE(fs.node(Paths.modMap)->size == MapFileSize);

    // With the positions taken as given, a compact package's parts may be anywhere: the full
    // form built here is not its equivalent then.
    if (compact && ((flags & 8) || !hasFullEquivalent)) return 0;
    if (compact) {
        // The full form of the same change, applied to a second copy, gives the same bytes.
        const std::string gotIndex = fs.get(Paths.modStaIdx), gotStatics = fs.get(Paths.modStatics),
                          gotMap = fs.get(Paths.modMap);
        fs.putCopy(Paths.modStaIdx, oldModIndex);
        fs.put(Paths.modStatics, "old statics");
        fs.putZeros(Paths.modMap, MapFileSize);
        fs.put(Package, fullEquivalent);
        try {
            ApplyDiff(Paths, Package, {});
        } catch (const Error&) {
            TQ_FUZZ_REQUIRE(!"the full form of an applied compact package is refused");
        }
        TQ_FUZZ_REQUIRE(fs.get(Paths.modStaIdx) == gotIndex);
        TQ_FUZZ_REQUIRE(fs.get(Paths.modStatics) == gotStatics);
        TQ_FUZZ_REQUIRE(fs.get(Paths.modMap) == gotMap);
        return 0;
    }

    // Where the package holds a part, the part's promise; elsewhere the old files stay.
    if (h.StaticsIndexPos != -1) {
        const std::string indexBytes = fs.get(Paths.modStaIdx);
        const std::string statics = fs.get(Paths.modStatics);
        TQ_FUZZ_REQUIRE(indexBytes.size() == StaticIndexFileSize);
        auto index = newStaticIndex();
        for (int x = 0; x < BlocksX; ++x)
            for (int y = 0; y < BlocksY; ++y)
                decodeIndexRec(reinterpret_cast<const uint8_t*>(indexBytes.data()) + staticIndexOffset(x, y),
                               index->at(x, y));
        TQ_FUZZ_REQUIRE(fuzz::indexFitsStatics(*index, statics.size()));
        const std::string pkg = fs.get(Package);
        // Blocks the recipe or the originals name get their records checked; every other
        // block is unchanged and empty in the originals, so it must be empty. (With the
        // positions taken as given, the tables may be any bytes: every block is checked.)
        std::vector<bool> named(BlockCount);
        for (const auto& [n, e] : staticsEntries) named[size_t(n)] = true;
        for (int x = 0; x < BlocksX; ++x)
            for (int y = 0; y < BlocksY; ++y) {
                const TStaticIndexRec& o = world.index->at(x, y);
                const size_t n = size_t(blockNumber(x, y));
                if (!(flags & 8) && !named[n] && o.Start == -1) {
                    TQ_FUZZ_REQUIRE(index->at(x, y).Start == -1);
                    continue;
                }
                TDiffStaticsEntry e;
                decodeDiffStaticsEntry(reinterpret_cast<const uint8_t*>(pkg.data()) + h.StaticsIndexPos +
                                           n * DiffStaticsEntrySize,
                                       e);
                std::vector<TStaticRec> want;
                if (e.unchanged()) {
                    if (o.Length != 0) want = fuzz::blockRecords(world.statics, o);
                } else if (!e.emptied()) {
                    want = fuzz::blockRecords(pkg, TStaticIndexRec{e.Pos, e.Length, 0});
                }
                TQ_FUZZ_REQUIRE(fuzz::blockRecords(statics, index->at(x, y)) == want);
            }
    } else {
        TQ_FUZZ_REQUIRE(fs.node(Paths.modStaIdx) == modIndexNode && modIndexNode->writes == 0);
        TQ_FUZZ_REQUIRE(fs.node(Paths.modStatics) == modStaticsNode && modStaticsNode->writes == 0);
    }
    if (h.MapIndexPos != -1) {
        const std::string pkg = fs.get(Package);
        auto packageBlock = [&](int x, int y, TMapBlock& b) {
            const int32_t pos =
                le::i32(reinterpret_cast<const uint8_t*>(pkg.data()) + h.MapIndexPos + size_t(blockNumber(x, y)) * 4);
            if (pos == -1) return false;
            decodeMapBlock(reinterpret_cast<const uint8_t*>(pkg.data()) + pos, b);
            return true;
        };
        auto check = [&](int x, int y) {
            TMapBlock want = mapBlockAt(fs, Paths.origMap, x, y);
            packageBlock(x, y, want);
            TQ_FUZZ_REQUIRE(mapBlockAt(fs, Paths.modMap, x, y) == want);
        };
        check(0, 0);
        check(767, 511);
        check(100, 100);
        for (const auto& [n, pos] : mapEntries) check(n / BlocksY, n % BlocksY);
    } else {
        TQ_FUZZ_REQUIRE(modMapNode->writes == 0);
    }
    return 0;
}
