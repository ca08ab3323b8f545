#pragma once
#include "diff/compact_package.h"
#include "diff/diff_package.h"

#include <cstdint>
#include <memory>
#include <vector>

// A package read and checked whole, whatever its version, before anything is applied.
namespace tq {

class File;
class WindowedReader;

// What ReadCheckedPackage does with a full-form package's tables: reads them into the
// CheckedPackage (Held), or only checks them, a piece at a time, for a reader that goes
// through them again a column at a time (Checked; see PackageColumns): 4.5 MB that apply
// need not hold.
enum class PackageTables { Held, Checked };

struct CheckedPackage {
    TDiffHeader header;
    WorldGeometry world;  // the world it was made for
    bool compact = false;
    // Full form, tables Held: the tables' raw bytes, checked; their entries point into the package.
    std::vector<uint8_t> staticsTableBytes, mapTableBytes;
    // Compact form: the parts unpacked, their entries pointing into their data.
    UnpackedStatics staticsPart;
    UnpackedMap mapPart;

    bool hasStatics() const { return header.StaticsIndexPos != -1; }
    bool hasMap() const { return header.MapIndexPos != -1; }
    // The entry of a block (compact: CompactImplied for a statics block not named), and the
    // bytes an entry's position points at, in the package (full form) or the unpacked data.
    // (Full form: only with the tables Held.)
    TDiffStaticsEntry staticsEntry(int block) const;
    TDiffMapEntry mapEntry(int block) const;
};

// Throws "Invalid TQD file: ..." on the first fault (see CheckDiffHeader, the table checks
// and UnpackCompactStatics/UnpackCompactMap).
CheckedPackage ReadCheckedPackage(WindowedReader& package, PackageTables tables = PackageTables::Held);

// A checked package's entries one block column after the other, in file order, whatever its
// form and however its tables were read: the full form's tables through a small window of
// their own (each piece checked again as it is read, so a package changed since it was
// checked is refused all the same), a compact part's named blocks walked in step.
class PackageColumns {
public:
    // `packageFile` is the package `p` was read from; it must stay open.
    PackageColumns(const CheckedPackage& p, File& packageFile);
    ~PackageColumns();
    // The next column's statics entries (CompactImplied where a compact part leaves a block
    // out); then, in a pass of their own, the map entries (-1: unchanged).
    const TDiffStaticsEntry* nextStatics();
    const TDiffMapEntry* nextMap();

private:
    const CheckedPackage& p_;
    std::unique_ptr<WindowedReader> staticsTable_, mapTable_;
    std::vector<uint8_t> raw_;
    std::vector<TDiffStaticsEntry> statics_;
    std::vector<TDiffMapEntry> map_;
    int staticsX_ = 0, mapX_ = 0;
    size_t staticsNamed_ = 0, mapNamed_ = 0;
};

} // namespace tq
