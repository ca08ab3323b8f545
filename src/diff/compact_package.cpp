#include "diff/compact_package.h"

#include "core/bytes.h"
#include "core/error.h"
#include "core/map_file.h"
#include "core/static_index.h"
#include "diff/buffered_io.h"

#define ZSTD_STATIC_LINKING_ONLY  // ZSTD_getFrameHeader: is the checksum there
#include <zstd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>

namespace tq {

namespace {

// Longest encodings: a block-number step of 32 bits, a statics code.
constexpr uint64_t MaxStepBytes = 5;
constexpr uint64_t MaxCodeBytes = 2;  // up to 2050

[[noreturn]] void invalid(const std::string& what) { throw Error("Invalid TQD file: " + what); }

std::string blockText(const WorldGeometry& world, int64_t n) {
    return "(" + std::to_string(n / world.blocksHigh) + ", " + std::to_string(n % world.blocksHigh) + ")";
}

void putVarint(std::vector<uint8_t>& out, uint64_t v) {
    while (v >= 0x80) {
        out.push_back(uint8_t(v | 0x80));
        v >>= 7;
    }
    out.push_back(uint8_t(v));
}

// Reads the unpacked bytes of a part front to back; running off the end is a fault of
// the package.
struct Cursor {
    const std::vector<uint8_t>& bytes;
    const char* part;
    size_t pos = 0;
    uint64_t varint() {
        uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (pos >= bytes.size()) invalid(std::string("its ") + part + " part ends inside its table of blocks");
            const uint8_t b = bytes[pos++];
            v |= uint64_t(b & 0x7F) << shift;
            if (!(b & 0x80)) return v;
        }
        invalid(std::string("its ") + part + " part holds a number too long to read");
    }
};

// Block numbers are stored as signed steps from the one before (the first from -1), so
// that a disorder reads as what it is rather than wrapping round to a valid number.
int readBlockNumber(Cursor& c, int previous, const WorldGeometry& world) {
    const uint64_t z = c.varint();
    const int64_t step = int64_t(z >> 1) ^ -int64_t(z & 1);
    const std::string part = c.part;
    if (step == 0) invalid("block " + blockText(world, previous) + " appears twice in its " + part + " part");
    if (step < 0) {
        const int64_t n = int64_t(previous) + step;
        if (n < 0) invalid("its " + part + " part names a block before the first block of the world");
        invalid("in its " + part + " part, block " + blockText(world, n) + " comes after block " +
                blockText(world, previous) + ": the blocks are out of order");
    }
    const int64_t n = int64_t(previous) + step;
    if (n >= int64_t(world.blockCount()))
        invalid("its " + part + " part names block number " + std::to_string(n) + ", but the world has " +
                std::to_string(world.blockCount()) + " blocks");
    return int(n);
}

struct PartHead {
    int blocks;
    std::vector<uint8_t> unpacked;
};

// Reads a part's three fields and its frame, checks them against each other and the limit,
// and unpacks it. Nothing is reserved before the sizes have been checked.
PartHead unpackPart(WindowedReader& package, int32_t position, const std::string& part, const WorldGeometry& world,
                    uint64_t bytesPerBlock, uint64_t limit) {
    if (position < DiffHeaderSize || uint64_t(position) + CompactPartHeadSize > package.size())
        invalid("its " + part + " part does not lie inside the file");
    uint8_t head[CompactPartHeadSize];
    package.read(uint64_t(position), head, sizeof head);
    const int32_t blocks = le::i32(head);
    const uint64_t packed = le::u32(head + 4), unpacked = le::u32(head + 8);
    if (blocks < 0 || blocks > world.blockCount())
        invalid("its " + part + " part says it changes " + std::to_string(blocks) + " blocks, but the world has " +
                std::to_string(world.blockCount()));
    const uint64_t dataAt = uint64_t(position) + CompactPartHeadSize;
    if (packed > package.size() - dataAt) invalid("its " + part + " part does not lie inside the file");
    const uint64_t most = std::min(limit, uint64_t(blocks) * bytesPerBlock);
    if (unpacked > most)
        invalid("its " + part + " part would unpack to " + std::to_string(unpacked) + " bytes, beyond the limit of " +
                std::to_string(most) + " bytes for " + std::to_string(blocks) + " blocks");

    std::vector<uint8_t> frame(static_cast<size_t>(packed));
    package.read(dataAt, frame.data(), frame.size());
    const size_t frameSize = ZSTD_findFrameCompressedSize(frame.data(), frame.size());
    if (ZSTD_isError(frameSize) || frameSize != packed)
        invalid("its " + part + " part says its packed data is " + std::to_string(packed) +
                " bytes long, which is not the length of the data there");
    // Every frame we write carries a checksum, so a damaged download is caught.
    ZSTD_frameHeader frameHeader;
    if (ZSTD_getFrameHeader(&frameHeader, frame.data(), frame.size()) != 0 || !frameHeader.checksumFlag)
        invalid("the packed data of its " + part + " part carries no checksum");
    const unsigned long long content = ZSTD_getFrameContentSize(frame.data(), frame.size());
    if (content != unpacked)
        invalid("its " + part + " part says it unpacks to " + std::to_string(unpacked) +
                " bytes, but its packed data does not say the same");
    PartHead p{blocks, std::vector<uint8_t>(size_t(unpacked))};
    std::unique_ptr<ZSTD_DCtx, size_t (*)(ZSTD_DCtx*)> ctx(ZSTD_createDCtx(), ZSTD_freeDCtx);
    if (!ctx) throw Error("Out of memory");
    const size_t got = ZSTD_decompressDCtx(ctx.get(), p.unpacked.data(), p.unpacked.size(), frame.data(), frame.size());
    if (ZSTD_isError(got) || got != unpacked) invalid("the packed data of its " + part + " part is damaged");
    return p;
}

} // namespace

void CompactPartWriter::number(int block) {
    // Blocks come in increasing order from generate: each step is positive.
    const int64_t step = int64_t(block) - last_;
    putVarint(table_, uint64_t(step) << 1);
    last_ = block;
    ++blocks_;
}

// Statics codes: 0 unchanged, 1 emptied, 2 + k: k records in the data.
void CompactPartWriter::unchanged(int block) {
    number(block);
    putVarint(table_, 0);
}

void CompactPartWriter::emptied(int block) {
    number(block);
    putVarint(table_, 1);
}

void CompactPartWriter::reserveData() {
    // Room that is reserved but not yet written is never touched, so it costs nothing; it
    // spares the data the copies of a growing vector (each into fresh memory).
    if (data_.capacity() == 0) data_.reserve(DataReserve);
}

void CompactPartWriter::records(int block, const uint8_t* bytes, size_t n) {
    number(block);
    putVarint(table_, n / StaticRecSize + 2);
    reserveData();
    data_.insert(data_.end(), bytes, bytes + n);
}

void CompactPartWriter::mapBlock(int block, const uint8_t* bytes) {
    number(block);
    reserveData();
    data_.insert(data_.end(), bytes, bytes + MapBlockSize);
}

std::vector<uint8_t> CompactPartWriter::pack() {
    // The table goes in front of the data, within the data's own room where it fits.
    std::vector<uint8_t>& plain = data_;
    plain.insert(plain.begin(), table_.begin(), table_.end());
    table_.clear();
    if (plain.size() > UINT32_MAX) throw Error("The TQD file would grow past 4 GB; generate the statics and the map separately");
    // The bound is far above what a part packs to; only the bytes written are touched.
    const size_t bound = ZSTD_compressBound(plain.size());
    std::unique_ptr<uint8_t[]> frame(new uint8_t[bound]);
    std::unique_ptr<ZSTD_CCtx, size_t (*)(ZSTD_CCtx*)> ctx(ZSTD_createCCtx(), ZSTD_freeCCtx);
    if (!ctx) throw Error("Out of memory");
    ZSTD_CCtx_setParameter(ctx.get(), ZSTD_c_compressionLevel, CompactPackLevel);
    // Packages travel over the net: a damaged download is caught by the frame's checksum.
    ZSTD_CCtx_setParameter(ctx.get(), ZSTD_c_checksumFlag, 1);
    const size_t packed = ZSTD_compress2(ctx.get(), frame.get(), bound, plain.data(), plain.size());
    if (ZSTD_isError(packed)) throw Error(std::string("Cannot pack the TQD file: ") + ZSTD_getErrorName(packed));
    std::vector<uint8_t> out(CompactPartHeadSize + packed);
    le::put32(out.data(), uint32_t(blocks_));
    le::put32(out.data() + 4, uint32_t(packed));
    le::put32(out.data() + 8, uint32_t(plain.size()));
    std::memcpy(out.data() + CompactPartHeadSize, frame.get(), packed);
    return out;
}

TDiffStaticsEntry UnpackedStatics::entry(int block) const {
    const auto it = std::lower_bound(blocks.begin(), blocks.end(), block);
    return it != blocks.end() && *it == block ? entries[size_t(it - blocks.begin())] : CompactImplied;
}

TDiffMapEntry UnpackedMap::entry(int block) const {
    const auto it = std::lower_bound(blocks.begin(), blocks.end(), block);
    return it != blocks.end() && *it == block ? int32_t(size_t(it - blocks.begin()) * MapBlockSize) : -1;
}

TDiffStaticsEntry ResolveCompactEntry(const TDiffStaticsEntry& entry, const TStaticIndexRec& original) {
    if (!(entry == CompactImplied)) return entry;
    return original.Start == -1 ? TDiffStaticsEntry{-1, 0} : TDiffStaticsEntry{-1, -1};
}

UnpackedStatics UnpackCompactStatics(WindowedReader& package, int32_t position, const WorldGeometry& world) {
    PartHead p = unpackPart(package, position, "statics", world, MaxStepBytes + MaxCodeBytes + StaticBlockMaxBytes,
                            CompactStaticsUnpackedLimit);
    UnpackedStatics out;
    Cursor c{p.unpacked, "statics"};
    std::vector<std::pair<int, uint64_t>> runs;  // block, records
    int previous = -1;
    uint64_t total = 0;
    for (int i = 0; i < p.blocks; ++i) {
        const int n = readBlockNumber(c, previous, world);
        const uint64_t code = c.varint();
        if (code > uint64_t(StaticBlockCapacity) + 2)
            invalid("the statics entry of block " + blockText(world, n) + " holds " + std::to_string(code - 2) +
                    " statics; a block can hold at most " + std::to_string(StaticBlockCapacity));
        runs.emplace_back(n, code);
        if (code >= 2) total += (code - 2) * StaticRecSize;
        previous = n;
    }
    if (total != p.unpacked.size() - c.pos)
        invalid("its statics part holds " + std::to_string(p.unpacked.size() - c.pos) +
                " bytes of statics after its table, but the table names " + std::to_string(total));
    int32_t at = 0;
    for (const auto& [n, code] : runs) {
        out.blocks.push_back(n);
        TDiffStaticsEntry& e = out.entries.emplace_back();
        if (code == 0) {
            e = {-1, -1};
        } else if (code == 1) {
            e = {-1, 0};
        } else {
            e = {at, int32_t((code - 2) * StaticRecSize)};
            at += e.Length;
        }
    }
    out.data.assign(p.unpacked.begin() + std::ptrdiff_t(c.pos), p.unpacked.end());
    return out;
}

UnpackedMap UnpackCompactMap(WindowedReader& package, int32_t position, const WorldGeometry& world) {
    PartHead p = unpackPart(package, position, "map", world, MaxStepBytes + MapBlockSize, UINT64_MAX);
    UnpackedMap out;
    Cursor c{p.unpacked, "map"};
    int previous = -1;
    for (int i = 0; i < p.blocks; ++i) out.blocks.push_back(previous = readBlockNumber(c, previous, world));
    const uint64_t want = uint64_t(p.blocks) * MapBlockSize;
    if (want != p.unpacked.size() - c.pos)
        invalid("its map part holds " + std::to_string(p.unpacked.size() - c.pos) +
                " bytes of map blocks after its table, but the table names " + std::to_string(want));
    out.data.assign(p.unpacked.begin() + std::ptrdiff_t(c.pos), p.unpacked.end());
    return out;
}

} // namespace tq
