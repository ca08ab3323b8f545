#pragma once
#include "check/check_report.h"
#include "core/progress.h"
#include "core/world.h"

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tq {

inline constexpr const char* KindBadRecord = "bad-record";
inline constexpr const char* KindDuplicateSerial = "duplicate-serial";
inline constexpr const char* KindMissingContainer = "missing-container";
inline constexpr const char* KindItemOutsideMap = "item-outside-map";

// The map an item of facet N must lie on (the size of the world's own files where the check
// has them, else the facet's largest size).
using FacetWorlds = std::function<WorldGeometry(int facet)>;

// "item 0x… lies at (x, y), outside the map of facet F (W × H cells)".
std::string ItemOutsideMapText(uint32_t serial, int64_t x, int64_t y, int64_t facet, const WorldGeometry& world);

struct SectionPiece;
struct SaveMention;

// Checks a world-save of either format (a single file, or a folder of region files): records
// that do not read (file and line), serials used twice, items in a container no object of
// the save has, items on the ground outside their facet's map. The whole save is one set of
// serials: a container may be in another region file.
//
// In parts that may be scanned at once (a large single file is cut at SECTION lines, a folder's
// region files are taken in groups), then judged as a whole: scan() every part, on any
// threads, then finish().
class WorldSaveCheck {
public:
    // Working memory of a thread, kept from one part to the next.
    struct Scratch {
        std::vector<char> bytes;  // of a piece of a single file
        std::string text;         // a region file
    };

    // A single file is cut into pieces of at least this many bytes.
    static constexpr uint64_t LeastPiece = uint64_t(8) << 20;

    // At most `parts` parts. Never throws: a save that cannot be read throws from scan(0).
    WorldSaveCheck(const std::string& path, FacetWorlds worlds, size_t parts = 1, uint64_t leastPiece = LeastPiece);
    ~WorldSaveCheck();
    size_t parts() const;
    // The bytes all parts read, for a progress bar.
    uint64_t bytes() const { return bytes_; }
    // Scans one part; `advance` is told of the bytes read as it goes. The scan that ends
    // last also judges the serials of the whole save (on its thread, while others still work).
    void scan(size_t part, Scratch& scratch, const std::function<void(uint64_t)>& advance = {});
    // Adds what the save holds wrong to `report`, in file and line order, then the serials.
    void finish(CheckReport& report);

private:
    void scanRegionFiles(size_t part, Scratch& scratch, const std::function<void(uint64_t)>& advance);
    void judgeRegions();
    void judgeSections();
    void finishSections(CheckReport& report);

    std::string path_;
    FacetWorlds worlds_;
    std::exception_ptr error_;
    bool singleFile_ = false;
    std::vector<std::string> files_;
    uint64_t bytes_ = 0;
    std::vector<SectionPiece> pieces_;
    std::atomic<size_t> unscanned_{0};
    std::vector<uint32_t> base_;             // the line before each piece's first
    std::vector<SaveMention> usedTwice_;     // the objects whose serial another has, with their lines
    std::vector<SaveMention> inMissing_;     // the items in a container no object is, in line order
    struct Regions;
    std::unique_ptr<Regions> regions_;
};

} // namespace tq
