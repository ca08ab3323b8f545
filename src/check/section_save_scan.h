#pragma once
// The single-file world-save (SECTION objects between { and }) as `check` reads it: a lean
// scan that looks only at the keys the checks need, in pieces that each start at a SECTION
// line, so that the pieces can be scanned at once and together say what one scan of the
// whole file would. Line numbers of a piece count from its own first line.
#include "check/serial_sets.h"
#include "core/world.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tq {

struct SaveMention {
    uint32_t serial;
    uint32_t line;
};

struct SaveFinding {
    const char* kind;
    uint32_t line;  // of the piece
    std::string what;
};

// What a scan of one piece found.
struct SectionPiece {
    uint64_t begin = 0, end = 0;  // its bytes in the file
    uint32_t lines = 0;           // lines it holds
    SerialSet serials;                     // every object's serial
    SerialSet containers;                  // the containers items say they lie in
    std::vector<SaveFinding> findings;     // the first CheckReport::ListedPerKind of each kind, in line order
    uint64_t unlistedBad = 0, unlistedOutside = 0;  // the findings beyond those
};

// Offsets where a file of `size` bytes may be cut into about `count` pieces of like size:
// each the start of a line that begins a SECTION (so no object is cut). Starts with 0 and
// ends with `size`; fewer pieces where no SECTION line is near a cut.
std::vector<uint64_t> SectionCuts(const std::string& path, uint64_t size, size_t count);

struct SectionScanOptions {
    WorldGeometry ground;  // the map items on the ground must lie on (facet 0's)
    // Called now and then with the bytes scanned since the last call.
    std::function<void(uint64_t)> advance;
    // Set for a second scan, which gathers nothing else: the objects whose serial is in the
    // sorted list `wanted` are collected, with their lines, into `found`; the items that lie
    // in a container of the sorted list `missing`, with that container, into `inMissing`.
    const std::vector<uint32_t>* wanted = nullptr;
    std::vector<SaveMention>* found = nullptr;
    const std::vector<uint32_t>* missing = nullptr;
    std::vector<SaveMention>* inMissing = nullptr;
};

// Scans bytes [piece.begin, piece.end) of the file and fills `piece`. `buffer` is working memory kept from one piece to the next.
void ScanSectionPiece(const std::string& path, SectionPiece& piece, const SectionScanOptions& options,
                      std::vector<char>& buffer);

} // namespace tq
