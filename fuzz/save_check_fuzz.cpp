// The check of a single-file world-save over any text, on a save held in memory.
//
// Promises checked beyond "no crash, no undefined behaviour" (the scan reads a few bytes past
// each line's end, inside its buffer, to test and turn numbers eight digits at a time):
// - the save cut into pieces, each scanned apart with its lines counted from its own start,
//   gives the report the scan of the whole gives: the same findings at the same lines, or the
//   same refusal.
#include "check/check_world_save.h"
#include "core/error.h"
#include "core/file_system.h"
#include "core/world.h"
#include "support/fuzz_check.h"
#include "support/memory_file_system.h"
#include "support/save_check_report.h"

#include <cstdint>
#include <string>
#include <vector>

using namespace tq;

namespace {

const std::string Save = "/w/items.wsc";

// The report of the check of the save in up to `parts` pieces of at least `leastPiece` bytes.
std::vector<std::string> checkOf(size_t parts, uint64_t leastPiece) {
    // A small map, so that items outside it are common.
    const FacetWorlds worlds = [](int facet) { return WorldGeometry(facet, 8, 8); };
    try {
        WorldSaveCheck check(Save, worlds, parts, leastPiece);
        return test::scanAndReport(check);
    } catch (const Error& e) {
        return {std::string("refused: ") + e.what()};
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::MemoryFileSystem fs;
    ScopedFileSystem guard(fs);
    fs.clear();
    fs.put(Save, std::string(reinterpret_cast<const char*>(data), size));
    const std::vector<std::string> whole = checkOf(1, WorldSaveCheck::LeastPiece);
    TQ_FUZZ_REQUIRE(checkOf(7, 1) == whole);
    return 0;
}
