#include "command.h"
#include "core/map_file.h"
#include "facet_option.h"
#include "core/spaced_hex.h"
#include "diff/diff_package.h"

namespace tq::cli {
namespace {

int runMapSum(const std::vector<std::string>& argv) {
    Args args(argv, {FacetOption}, {});
    args.expectPositional(1);
    const std::string map = args.positional()[0];
    const WorldGeometry world = MapFileWorld(map, facetOption(args));
    printLine(IntToSpacedHex(int32_t(MapFileSum(map, world, terminalProgress())), 4));
    return 0;
}

Registration reg{{"mapsum", "mapsum MAP [--facet N]", "print the checksum of a map file that diff packages record", runMapSum}};

} // namespace
} // namespace tq::cli
