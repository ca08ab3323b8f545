// The compact package: it applies to the very bytes the full form gives, it is small, and
// apply refuses every way a hostile compact package can lie before writing anything.
#include "core/bytes.h"
#include "core/error.h"
#include "diff/compact_package.h"
#include "core/facets.h"
#include "diff_scenario.h"

#include <gtest/gtest.h>
#include <zstd.h>

#include <functional>

namespace tq {
namespace {

using test::DiffWorld;
using test::Scenario;

struct Files {
    std::string staidx, statics, map;
    bool operator==(const Files&) const = default;
    static Files of(const DiffPaths& p, bool withMap) {
        return {test::readBytes(p.modStaIdx), test::readBytes(p.modStatics),
                withMap ? test::readBytes(p.modMap) : std::string()};
    }
};

// The scenario's statics plus the corners the compact table's implied entries hinge on.
struct EdgeScenario : Scenario {
    EdgeScenario() {
        orig.index->at(4, 4) = {-1, -1, 9};  // empty, and in the modified world Start set, no records
        mod.index->at(4, 4) = {int32_t(mod.statics.size()), 0, 9};
        orig.index->at(4, 5) = {-1, 21, 13};  // Start -1 with a stray length; emptied in both
        mod.index->at(4, 5) = {-1, 0, 13};
        orig.index->at(4, 6) = {-1, 0, 2};  // empty originally; records in the modified world
        mod.put(4, 6, {test::rec(0x0999)});
        orig.put(4, 7, {test::rec(0x0888)});  // records originally; emptied with Start -1, Length 7
        mod.index->at(4, 7) = {-1, 7, 1};
    }
};

// Applies the package to fresh copies of the originals and returns the player's files.
Files applied(const DiffWorld& w, const Scenario& s, const std::string& package, bool withMap) {
    s.orig.write(w.paths.modStaIdx, w.paths.modStatics);
    if (withMap) test::makeMap(w.paths.modMap, s.origMap);
    const ApplyDiffResult r = ApplyDiff(w.paths, package);
    EXPECT_EQ(r.size, std::filesystem::file_size(package));
    return Files::of(w.paths, withMap);
}

TEST(CompactPackage, AppliesToTheSameBytesAsTheFullFormForEveryChoiceOfParts) {
    const EdgeScenario s;
    const DiffParts choices[] = {{true, true}, {true, false}, {false, true}};
    for (const DiffParts& parts : choices) {
        DiffWorld w;
        s.writeOriginal(w.paths);
        s.writeModified(w.paths);
        const GenerateDiffResult full = GenerateDiff(w.paths, w.file("full.tq2"), parts);
        DiffParts compactParts = parts;
        compactParts.compact = true;
        const GenerateDiffResult compact = GenerateDiff(w.paths, w.file("compact.tq2"), compactParts);
        const std::string what = std::string(parts.statics ? "statics " : "") + (parts.map ? "map" : "");

        EXPECT_EQ(full.size, std::filesystem::file_size(full.packagePath)) << what;
        EXPECT_EQ(full.fullSize, full.size) << what;
        EXPECT_EQ(compact.fullSize, full.size) << what;
        EXPECT_EQ(compact.size, std::filesystem::file_size(compact.packagePath)) << what;
        EXPECT_LT(compact.size, 2000u) << what;
        EXPECT_EQ(compact.crcText, full.crcText) << what;
        EXPECT_EQ(test::readHeader(compact.packagePath).DiffVersion, CompactDiffVersion) << what;

        const Files fromFull = applied(w, s, full.packagePath, parts.map);
        const Files fromCompact = applied(w, s, compact.packagePath, parts.map);
        EXPECT_TRUE(fromCompact == fromFull) << what;
    }
}

TEST(CompactPackage, InfoSaysWhatEachFormHolds) {
    DiffWorld w;
    const Scenario s;
    s.writeOriginal(w.paths);
    s.writeModified(w.paths);
    const GenerateDiffResult full = GenerateDiff(w.paths, w.file("full.tq2"), {});
    const GenerateDiffResult compact = GenerateDiff(w.paths, w.file("compact.tq2"), {true, true, true});
    const std::string crc = IntToSpacedHex(int32_t(StaticsCrc(*s.orig.index)), 4);

    // The full form names every block empty in the modified world; the compact form only
    // those the original index does not already leave empty (B).
    const DiffPackageSummary f = SummarizeDiffPackage(full.packagePath);
    EXPECT_EQ(DiffSummaryLines(f, false),
              (std::vector<std::string>{"Package: version 2, for a world of 768 \u00d7 512 blocks (facet 0)",
                                        "Package size: " + groupedNumber(full.size) + " bytes (the full form)",
                                        "Original statics CRC expected: " + crc,
                                        "Statics blocks changed: " + groupedNumber(BlockCount - 4) + " (" +
                                            groupedNumber(BlockCount - 6) + " of them left empty)",
                                        "Map blocks changed: 3"}));
    const DiffPackageSummary c = SummarizeDiffPackage(compact.packagePath);
    EXPECT_EQ(c.fullSize, full.size);
    const std::vector<std::string> lines = DiffSummaryLines(c, true);
    const std::vector<std::string> want = {
        "Package: version 4 (compact), for a world of 768 \u00d7 512 blocks (facet 0)",
        PackageSizeText(compact.size, full.size),
        "Original statics CRC expected: " + crc,
        "Statics blocks changed: 3 (1 of them left empty)",
        "Map blocks changed: 3",
        "  statics (0, 1): emptied",
        "  statics (2, 2): 2 statics",
        "  statics (3, 3): 1 statics",
        "  map (0, 0)",
        "  map (2, 0)",
        "  map (767, 511)",
    };
    EXPECT_EQ(lines, want);
    EXPECT_EQ(PackageSizeText(12695, 5003200), "Package size: 12,695 bytes, 0.25% of the full form (5,003,200 bytes)");
}

// A compact package laid out by hand: the header, then each part's three fields and its
// frame. Each field can be set to a lie after the honest value is computed.
struct CompactBuilder {
    std::vector<uint64_t> staticsTable, mapTable;  // varints, as written
    std::string staticsData, mapData;
    bool withStatics = true, withMap = true;
    std::function<void(std::string& part, std::string& plain)> breakStatics, breakMap;
    int32_t crc = 0;

    static void varint(std::string& out, uint64_t v) {
        while (v >= 0x80) {
            out += char(uint8_t(v | 0x80));
            v >>= 7;
        }
        out += char(uint8_t(v));
    }
    static uint64_t step(int64_t s) { return s < 0 ? (uint64_t(-s) << 1) - 1 : uint64_t(s) << 1; }
    bool checksum = true;
    std::string frame(const std::string& plain) const {
        std::string out(ZSTD_compressBound(plain.size()), '\0');
        ZSTD_CCtx* ctx = ZSTD_createCCtx();
        ZSTD_CCtx_setParameter(ctx, ZSTD_c_checksumFlag, checksum ? 1 : 0);
        out.resize(ZSTD_compress2(ctx, out.data(), out.size(), plain.data(), plain.size()));
        ZSTD_freeCCtx(ctx);
        return out;
    }
    static std::string part(int32_t blocks, const std::string& frameBytes, uint32_t unpacked) {
        std::string head(CompactPartHeadSize, '\0');
        auto* h = reinterpret_cast<uint8_t*>(head.data());
        le::put32(h, uint32_t(blocks));
        le::put32(h + 4, uint32_t(frameBytes.size()));
        le::put32(h + 8, unpacked);
        return head + frameBytes;
    }
    std::string build(const std::vector<uint64_t>& table, const std::string& data, int blocks,
                      const std::function<void(std::string&, std::string&)>& breakIt) {
        std::string plain;
        for (uint64_t v : table) varint(plain, v);
        plain += data;
        std::string p = part(blocks, frame(plain), uint32_t(plain.size()));
        if (breakIt) breakIt(p, plain);
        return p;
    }
    std::string bytes(int staticsBlocks, int mapBlocks) {
        TDiffHeader h = NewDiffHeader(ClassicWorld, true);
        h.StaticsIndexPos = h.MapIndexPos = -1;
        std::string body;
        if (withStatics) {
            h.StaticsIndexPos = int32_t(DiffHeaderSize + body.size());
            h.OrigIndexCrc = crc;
            body += build(staticsTable, staticsData, staticsBlocks, breakStatics);
        }
        if (withMap) {
            h.MapIndexPos = int32_t(DiffHeaderSize + body.size());
            body += build(mapTable, mapData, mapBlocks, breakMap);
        }
        std::string head(DiffHeaderSize, '\0');
        encodeDiffHeader(h, reinterpret_cast<uint8_t*>(head.data()));
        return head + body;
    }
};

TEST(CompactPackage, RefusesHostilePackagesBeforeWritingAnything) {
    DiffWorld w;
    const Scenario s;
    s.writeOriginal(w.paths);
    s.orig.write(w.paths.modStaIdx, w.paths.modStatics);
    test::makeMap(w.paths.modMap, s.origMap);
    // The player's files as a refused package must leave them (the map: the block it names).
    auto snapshot = [&] {
        TMapBlock block;
        ReadMapBlock(w.paths.modMap, 9, 9, block);
        std::string bytes(MapBlockSize, '\0');
        encodeMapBlock(block, reinterpret_cast<uint8_t*>(bytes.data()));
        return test::readBytes(w.paths.modStaIdx) + test::readBytes(w.paths.modStatics) + bytes;
    };
    const std::string mapBytes(MapBlockSize, '\x11');
    const int32_t crc = int32_t(StaticsCrc(*s.orig.index));

    // A valid package: block (9, 9) gets two records, block (0, 1) is emptied, block (9, 9)
    // of the map changes.
    using Patch = std::function<void(CompactBuilder&)>;
    auto setField = [](int offset, uint32_t value) {
        return [=](std::string& part, std::string&) { le::put32(reinterpret_cast<uint8_t*>(part.data()) + offset, value); };
    };
    const int b01 = blockNumber(0, 1), b99 = blockNumber(9, 9);
    auto valid = [&] {
        CompactBuilder b;
        b.crc = crc;
        b.staticsTable = {CompactBuilder::step(b01 + 1), 1, CompactBuilder::step(b99 - b01), 2 + 2};
        b.staticsData = test::recordBytes({test::rec(1), test::rec(2)});
        b.mapTable = {CompactBuilder::step(b99 + 1)};
        b.mapData = mapBytes;
        return b;
    };
    struct Case { const char* what; Patch breakIt; int staticsBlocks, mapBlocks; const char* fragment; };
    const Case cases[] = {
        {"valid", nullptr, 2, 1, nullptr},
        {"packed length one short", [&](CompactBuilder& b) { b.breakStatics = [&](std::string& p, std::string& x) {
             setField(4, uint32_t(p.size() - CompactPartHeadSize - 1))(p, x); }; },
         2, 1, "packed data is"},
        {"packed length one long", [&](CompactBuilder& b) { b.breakMap = [&](std::string& p, std::string& x) {
             setField(4, uint32_t(p.size() - CompactPartHeadSize + 1))(p, x); }; },
         2, 1, "map part does not lie inside the file"},
        {"packed length past the end", [&](CompactBuilder& b) { b.breakStatics = setField(4, 0x7FFFFFF0); },
         2, 1, "statics part does not lie inside the file"},
        {"unpacked size beyond the limit", [&](CompactBuilder& b) { b.breakStatics = setField(8, 0xFFFFFFF0); },
         2, 1, "beyond the limit"},
        {"unpacked size beyond the map's blocks", [&](CompactBuilder& b) { b.breakMap = setField(8, 202); },
         2, 1, "beyond the limit of 201 bytes for 1 blocks"},
        {"unpacked size not the frame's", [&](CompactBuilder& b) { b.breakMap = setField(8, 150); },
         2, 1, "unpacks to 150 bytes"},
        {"damaged data", [&](CompactBuilder& b) { b.breakStatics = [](std::string& p, std::string&) {
             p[p.size() - 6] ^= 0x40; }; },
         2, 1, "damaged"},
        {"no checksum", [&](CompactBuilder& b) { b.checksum = false; }, 2, 1, "carries no checksum"},
        {"more blocks than the world", nullptr, BlockCount + 1, 1, "the world has 393216"},
        {"fewer blocks than the table", nullptr, 1, 1, "bytes of statics after its table"},
        {"more blocks than the table", [&](CompactBuilder& b) { b.mapData.clear(); }, 2, 2, "ends inside its table"},
        {"block out of range", [&](CompactBuilder& b) { b.mapTable = {CompactBuilder::step(BlockCount + 1)}; },
         2, 1, "names block number 393216"},
        {"block out of order", [&](CompactBuilder& b) { b.staticsTable[2] = CompactBuilder::step(-1); },
         2, 1, "block (0, 0) comes after block (0, 1)"},
        {"block before the first", [&](CompactBuilder& b) { b.mapTable = {CompactBuilder::step(-3)}; },
         2, 1, "before the first block"},
        {"block repeated", [&](CompactBuilder& b) { b.staticsTable[2] = 0; }, 2, 1, "(0, 1) appears twice"},
        {"2049 statics", [&](CompactBuilder& b) {
             b.staticsTable[3] = 2049 + 2;
             b.staticsData = std::string(2049 * StaticRecSize, '\0'); }, 2, 1, "at most 2048"},
        {"records missing", [&](CompactBuilder& b) { b.staticsData.resize(7); }, 2, 1, "the table names 14"},
        {"map block cut", [&](CompactBuilder& b) { b.mapData.resize(100); }, 2, 1, "the table names 196"},
        {"endless number", [&](CompactBuilder& b) { b.staticsTable = {}; b.staticsData = std::string(11, '\xFF'); },
         2, 1, "too long"},
    };
    for (const Case& c : cases) {
        CompactBuilder b = valid();
        if (c.breakIt) c.breakIt(b);
        test::writeBytes(w.file("bad.tq2"), b.bytes(c.staticsBlocks, c.mapBlocks));
        if (!c.fragment) {
            ApplyDiff(w.paths, w.file("bad.tq2"));
            EXPECT_EQ(test::blockStatics(w.paths.modStaIdx, w.paths.modStatics, 9, 9),
                      (std::vector<TStaticRec>{test::rec(1), test::rec(2)}));
            EXPECT_TRUE(test::blockStatics(w.paths.modStaIdx, w.paths.modStatics, 0, 1).empty());
            s.orig.write(w.paths.modStaIdx, w.paths.modStatics);
            test::makeMap(w.paths.modMap, s.origMap);
            continue;
        }
        const std::string before = snapshot();
        try {
            ApplyDiff(w.paths, w.file("bad.tq2"));
            ADD_FAILURE() << c.what << ": applied";
        } catch (const Error& e) {
            const std::string m = e.what();
            EXPECT_EQ(m.rfind("Invalid TQD file: ", 0), 0u) << c.what << ": " << m;
            EXPECT_NE(m.find(c.fragment), std::string::npos) << c.what << ": " << m;
            EXPECT_EQ(e.path(), w.file("bad.tq2")) << c.what;
        }
        EXPECT_TRUE(snapshot() == before) << c.what;
        EXPECT_THROW(SummarizeDiffPackage(w.file("bad.tq2")), Error) << c.what;
    }
}

} // namespace
} // namespace tq
