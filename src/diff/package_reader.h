#pragma once
#include "diff/compact_package.h"
#include "diff/diff_package.h"

#include <cstdint>
#include <vector>

// A package read and checked whole, whatever its version, before anything is applied.
namespace tq {

class WindowedReader;

struct CheckedPackage {
    TDiffHeader header;
    WorldGeometry world;  // the world it was made for
    bool compact = false;
    // Full form: the tables' raw bytes, checked; their entries point into the package.
    std::vector<uint8_t> staticsTableBytes, mapTableBytes;
    // Compact form: the parts unpacked, their entries pointing into their data.
    UnpackedStatics staticsPart;
    UnpackedMap mapPart;

    bool hasStatics() const { return header.StaticsIndexPos != -1; }
    bool hasMap() const { return header.MapIndexPos != -1; }
    // The entry of a block (compact: CompactImplied for a statics block not named), and the
    // bytes an entry's position points at, in the package (full form) or the unpacked data.
    TDiffStaticsEntry staticsEntry(int block) const;
    TDiffMapEntry mapEntry(int block) const;
};

// Throws "Invalid TQD file: ..." on the first fault (see CheckDiffHeader, the table checks
// and UnpackCompactStatics/UnpackCompactMap).
CheckedPackage ReadCheckedPackage(WindowedReader& package);

} // namespace tq
