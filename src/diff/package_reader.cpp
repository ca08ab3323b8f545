#include "diff/package_reader.h"

#include "core/bytes.h"
#include "core/error.h"
#include "diff/buffered_io.h"
#include "diff/compact_package.h"

#include <algorithm>

namespace tq {

namespace {

// The pieces a table is checked and read in, and the window each table is read through: small
// enough to come from the heap rather than fresh pages.
constexpr size_t TablePieceBytes = size_t(32) << 10;
constexpr size_t TableWindowBytes = size_t(64) << 10;

template <typename Check>
void checkTableInPieces(WindowedReader& package, int32_t position, int entrySize, const WorldGeometry& world,
                        Check check) {
    std::vector<uint8_t> piece(TablePieceBytes);
    const int perPiece = int(TablePieceBytes / size_t(entrySize));
    for (int first = 0; first < world.blockCount(); first += perPiece) {
        const int count = std::min(perPiece, world.blockCount() - first);
        package.read(uint64_t(position) + uint64_t(first) * uint64_t(entrySize), piece.data(),
                     size_t(count) * size_t(entrySize));
        check(piece.data(), first, count);
    }
}

} // namespace

TDiffStaticsEntry CheckedPackage::staticsEntry(int block) const {
    if (compact) return staticsPart.entry(block);
    TDiffStaticsEntry e;
    decodeDiffStaticsEntry(staticsTableBytes.data() + size_t(block) * DiffStaticsEntrySize, e);
    return e;
}

TDiffMapEntry CheckedPackage::mapEntry(int block) const {
    if (compact) return mapPart.entry(block);
    return le::i32(mapTableBytes.data() + size_t(block) * DiffMapEntrySize);
}

CheckedPackage ReadCheckedPackage(WindowedReader& package, PackageTables tables) {
    CheckedPackage p;
    uint8_t headerBytes[DiffHeaderSize] = {};
    if (package.size() >= uint64_t(DiffHeaderSize)) package.read(0, headerBytes, sizeof headerBytes);
    decodeDiffHeader(headerBytes, p.header);
    CheckDiffHeader(p.header, package.size());
    p.world = DiffHeaderWorld(p.header);
    p.compact = p.header.DiffVersion == CompactDiffVersion;
    if (p.compact) {
        if (p.hasStatics()) p.staticsPart = UnpackCompactStatics(package, p.header.StaticsIndexPos, p.world);
        if (p.hasMap()) p.mapPart = UnpackCompactMap(package, p.header.MapIndexPos, p.world);
        return p;
    }
    const uint64_t size = package.size();
    if (tables == PackageTables::Checked) {
        if (p.hasStatics())
            checkTableInPieces(package, p.header.StaticsIndexPos, DiffStaticsEntrySize, p.world,
                               [&](const uint8_t* bytes, int first, int count) {
                                   CheckDiffStaticsEntries(bytes, first, count, size, p.world);
                               });
        if (p.hasMap())
            checkTableInPieces(package, p.header.MapIndexPos, DiffMapEntrySize, p.world,
                               [&](const uint8_t* bytes, int first, int count) {
                                   CheckDiffMapEntries(bytes, first, count, size, p.world);
                               });
        return p;
    }
    if (p.hasStatics()) {
        p.staticsTableBytes.resize(DiffStaticsIndexSize(p.world));
        package.read(uint64_t(p.header.StaticsIndexPos), p.staticsTableBytes.data(), p.staticsTableBytes.size());
        CheckDiffStaticsTable(p.staticsTableBytes.data(), size, p.world);
    }
    if (p.hasMap()) {
        p.mapTableBytes.resize(DiffMapIndexSize(p.world));
        package.read(uint64_t(p.header.MapIndexPos), p.mapTableBytes.data(), p.mapTableBytes.size());
        CheckDiffMapTable(p.mapTableBytes.data(), size, p.world);
    }
    return p;
}

PackageColumns::PackageColumns(const CheckedPackage& p, File& packageFile)
    : p_(p), statics_(size_t(p.world.blocksHigh)), map_(size_t(p.world.blocksHigh)) {
    if (p.compact) return;
    raw_.resize(size_t(p.world.blocksHigh) * DiffStaticsEntrySize);
    if (p.hasStatics()) staticsTable_ = std::make_unique<WindowedReader>(packageFile, TableWindowBytes);
    if (p.hasMap()) mapTable_ = std::make_unique<WindowedReader>(packageFile, TableWindowBytes);
}

PackageColumns::~PackageColumns() = default;

const TDiffStaticsEntry* PackageColumns::nextStatics() {
    const WorldGeometry& world = p_.world;
    const int first = world.blockNumber(staticsX_++, 0);
    if (p_.compact) {
        std::fill(statics_.begin(), statics_.end(), CompactImplied);
        const UnpackedStatics& part = p_.staticsPart;
        for (; staticsNamed_ < part.blocks.size() && part.blocks[staticsNamed_] < first + world.blocksHigh; ++staticsNamed_)
            statics_[size_t(part.blocks[staticsNamed_] - first)] = part.entries[staticsNamed_];
        return statics_.data();
    }
    const size_t n = size_t(world.blocksHigh) * DiffStaticsEntrySize;
    staticsTable_->read(uint64_t(p_.header.StaticsIndexPos) + uint64_t(first) * DiffStaticsEntrySize, raw_.data(), n);
    aboutFile(staticsTable_->name(),
              [&] { CheckDiffStaticsEntries(raw_.data(), first, world.blocksHigh, staticsTable_->size(), world); });
    for (int y = 0; y < world.blocksHigh; ++y)
        decodeDiffStaticsEntry(raw_.data() + size_t(y) * DiffStaticsEntrySize, statics_[size_t(y)]);
    return statics_.data();
}

const TDiffMapEntry* PackageColumns::nextMap() {
    const WorldGeometry& world = p_.world;
    const int first = world.blockNumber(mapX_++, 0);
    if (p_.compact) {
        std::fill(map_.begin(), map_.end(), TDiffMapEntry(-1));
        const UnpackedMap& part = p_.mapPart;
        for (; mapNamed_ < part.blocks.size() && part.blocks[mapNamed_] < first + world.blocksHigh; ++mapNamed_)
            map_[size_t(part.blocks[mapNamed_] - first)] = int32_t(mapNamed_ * MapBlockSize);
        return map_.data();
    }
    const size_t n = size_t(world.blocksHigh) * DiffMapEntrySize;
    mapTable_->read(uint64_t(p_.header.MapIndexPos) + uint64_t(first) * DiffMapEntrySize, raw_.data(), n);
    aboutFile(mapTable_->name(),
              [&] { CheckDiffMapEntries(raw_.data(), first, world.blocksHigh, mapTable_->size(), world); });
    for (int y = 0; y < world.blocksHigh; ++y) map_[size_t(y)] = le::i32(raw_.data() + size_t(y) * DiffMapEntrySize);
    return map_.data();
}

} // namespace tq
