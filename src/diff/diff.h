#pragma once
#include "core/error.h"
#include "core/progress.h"

#include "core/world.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Generating and applying ".tq2" diff packages: the operations behind the diff window's
// "Generate Diff" and "Apply Diff" buttons and `terraquill-cli diff`.
namespace tq {

// The six world files of a diff: the original ones, only read, and the modified ones.
struct DiffPaths {
    std::string origStaIdx;
    std::string origStatics;
    std::string origMap;
    std::string modStaIdx;   // rebuilt by apply
    std::string modStatics;  // rebuilt by apply
    std::string modMap;      // every block overwritten in place by apply
    // The facet, where the file names do not tell it (see resolveWorld).
    std::optional<int> facet = std::nullopt;
};

// The world of the files an operation on `paths` uses (the statics files and indexes when
// `statics`, the maps when `map`); throws when they are not of one world.
WorldGeometry DiffWorld(const DiffPaths& paths, bool statics, bool map, bool applying);

// Which parts a generated package covers. At least one must be set.
struct DiffParts {
    bool statics = true;
    bool map = true;
    // Write the compact version (sparse tables, packed data) instead of the full form.
    bool compact = false;
};

inline constexpr const char* DiffPackageExtension = ".tq2";
inline constexpr const char* DiffFileFilterName = "TQ-Diff file (Version 2)";
inline constexpr const char* CrcValueCaption = "CRC value";
inline constexpr const char* CrcErrorCaption = "CRC error!";
inline constexpr const char* WrongPackageExtensionMessage =
    "You can't apply this file! If you want to apply a .tqd file, please use Terraquill 5.";

// True when the file name's extension (from its last ".", dot included), in lower case,
// is ".tq2". "patch.TQ2" is a package name; "patch.tqd", "patch" and "dir.tq2/patch" are not.
bool IsDiffPackageName(const std::string& fileName);
// The name a generated package is written under: fileName itself when it already ends in
// ".tq2" (any case), otherwise fileName + ".tq2", so a generated package can always be applied.
std::string DiffPackageName(const std::string& fileName);

// "The original statics file has a CRC value of 0D C2 9C 5A."
std::string CrcValueText(uint32_t origIndexCrc);

struct GenerateDiffResult {
    std::string packagePath;   // the name actually written (DiffPackageName of the chosen one)
    uint32_t origIndexCrc = 0; // 0 when the statics part was not generated
    std::string crcText;       // CrcValueText(origIndexCrc): the closing message (caption "CRC value")
    uint64_t size = 0;         // bytes written
    uint64_t fullSize = 0;     // bytes the full form (version 2 or 3) of the same package takes
};

// "Package size: 12,345 bytes, 0.25% of the full form (5,003,200 bytes)", or for a
// package in the full form "Package size: 5,003,200 bytes (the full form)".
std::string PackageSizeText(uint64_t size, uint64_t fullSize);

// What a package holds, read and checked as apply reads it, for `diff info` and the diff
// window before it applies.
struct DiffPackageSummary {
    int32_t version = 0;
    uint64_t size = 0;
    uint64_t fullSize = 0;           // as in GenerateDiffResult
    WorldGeometry world;             // the world it was made for
    bool hasStatics = false, hasMap = false;
    uint32_t origIndexCrc = 0;       // with a statics part: the original index it applies to
    // The blocks it changes, as block numbers (x * blocksHigh + y), in increasing order; and
    // for each statics block its record count, -1 where the block is emptied.
    std::vector<int> staticsBlocks, staticsCounts, mapBlocks;
};
// Throws like ApplyDiff's checks ("Invalid TQD file: ...", file layer messages).
DiffPackageSummary SummarizeDiffPackage(const std::string& packageName);
// "version 2", "version 3 (any world size)", "version 4 (compact)".
std::string DiffVersionText(int32_t version);
// The summary as lines of text; with `blocks`, one more line per changed block.
std::vector<std::string> DiffSummaryLines(const DiffPackageSummary& summary, bool blocks);

// Compares the original files with the modified ones and writes a package of the blocks
// that differ. All files must be of one world; the package is version 2 for the old clients'
// world and version 3 (which records the facet and size) for any other; with parts.compact,
// version 4, the compact form, for any world. The package is written under a temporary name and renamed to
// DiffPackageName(packageName) only when complete; on failure that name is untouched.
//
// Progress, in order ("message" = progress.setMessage: the window's label shows the text and
// its bar returns to 0; "bar" = progress.report; every bar step is followed by a pump):
//   statics part: message "Generating Diff (Statics)"; bar 0, 0..99, 100 while loading the
//     original index, then the same for the modified index; one bar x*100/width per block
//     column; message "Generating Diff (Statics index)"; bar x*100/width per column.
//   map part: bar 0..100 (as MapFileSum's) while both maps are read once, compared and the
//     modified map's checksum taken, under whatever message is showing (the window's
//     "Working, please wait..." when the statics part is off); message "Generating Diff
//     (Map)"; bar x*100/width per column (the blocks were found in that pass); message
//     "Generating Diff (Map index)"; bar x*100/width per column.
// (width: the world's block columns.)
// Throws tq::Error on any failure (file layer messages, or neither part chosen).
GenerateDiffResult GenerateDiff(const DiffPaths& paths, const std::string& packageName, DiffParts parts,
                                const Progress& progress = {});

// The original static index does not have the checksum the package was generated from.
// what() is the whole message; the window shows it under CrcErrorCaption with one OK button.
class DiffCrcError : public Error {
public:
    DiffCrcError(uint32_t actual, uint32_t expected);
    uint32_t actual, expected;
};

// The package's name does not end in ".tq2"; what() is WrongPackageExtensionMessage (the
// window shows it under the title "Error" with a single "Cancel" button).
class DiffPackageNameError : public Error {
public:
    DiffPackageNameError() : Error(WrongPackageExtensionMessage) {}
};

// Applies a package to the original files, giving the modified files of `paths`.
// Before anything is written the package's header and both tables are checked against its
// size (a package that fails is refused with a message starting "Invalid TQD file"), the
// package's world is compared with the original files' (a package made for another size is
// refused, naming both), the
// input files are opened and the modified map's size is checked, and with a statics part
// the original index's checksum is compared (DiffCrcError). The new statics0.mul and
// staidx0.mul are built under temporary names and renamed over the old ones at the end of
// the statics part (the index first, then the statics; should the second rename fail, the
// old index is put back, so a failure leaves the old pair or the new); the map is then written in place,
// block column by block column, so applying the same package again after a failure
// completes it.
//
// Progress, in order (same conventions as GenerateDiff):
//   statics part: bar 0, 0..99, 100 while loading the original index (under the window's
//     default message); message "Applying Diff (Reading statics index)"; bar x*100/width per
//     column; message "Applying Diff (Creating statics)"; bar x*100/width per column, then
//     90 + x*10/width per column while the new index is written.
//   map part: message "Applying Diff (Reading map index)"; bar x*100/width per column;
//     message "Applying Diff (Creating map)"; bar x*100/width per column.
// Throws DiffPackageNameError, DiffCrcError or tq::Error.
struct ApplyDiffResult {
    int32_t version = 0;  // of the package read
    uint64_t size = 0;    // its bytes
};
// `log` receives a line for each block the package leaves with more statics than the client draws.
ApplyDiffResult ApplyDiff(const DiffPaths& paths, const std::string& packageName, const Progress& progress = {},
                          const LogSink& log = {});

} // namespace tq
