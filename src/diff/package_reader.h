#pragma once
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
    // Compact form: the tables unpacked, their entries pointing into the data beside them.
    DiffStaticsTable staticsTable;
    DiffMapTable mapTable;
    std::vector<uint8_t> staticsData, mapData;

    bool hasStatics() const { return header.StaticsIndexPos != -1; }
    bool hasMap() const { return header.MapIndexPos != -1; }
    TDiffStaticsEntry staticsEntry(int block) const;
    TDiffMapEntry mapEntry(int block) const;
};

// Throws "Invalid TQD file: ..." on the first fault (see CheckDiffHeader, the table checks
// and UnpackCompactStatics/UnpackCompactMap).
CheckedPackage ReadCheckedPackage(WindowedReader& package);

} // namespace tq
