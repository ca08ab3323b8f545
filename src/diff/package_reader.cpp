#include "diff/package_reader.h"

#include "core/bytes.h"
#include "diff/buffered_io.h"
#include "diff/compact_package.h"

namespace tq {

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

CheckedPackage ReadCheckedPackage(WindowedReader& package) {
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
    if (p.hasStatics()) {
        p.staticsTableBytes.resize(DiffStaticsIndexSize(p.world));
        package.read(uint64_t(p.header.StaticsIndexPos), p.staticsTableBytes.data(), p.staticsTableBytes.size());
        CheckDiffStaticsTable(p.staticsTableBytes.data(), package.size(), p.world);
    }
    if (p.hasMap()) {
        p.mapTableBytes.resize(DiffMapIndexSize(p.world));
        package.read(uint64_t(p.header.MapIndexPos), p.mapTableBytes.data(), p.mapTableBytes.size());
        CheckDiffMapTable(p.mapTableBytes.data(), package.size(), p.world);
    }
    return p;
}

} // namespace tq
