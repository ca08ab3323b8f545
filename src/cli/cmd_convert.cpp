#include "command.h"
#include "core/facets.h"
#include "core/uop/map_convert.h"
#include "facet_option.h"

namespace tq::cli {
namespace {

int runConvert(const std::vector<std::string>& argv) {
    Args args(argv, {FacetOption}, {});
    args.expectPositional(2);
    const std::string source = args.positional()[0], destination = args.positional()[1];
    const WorldGeometry world = uop::convertMap(source, destination, facetOption(args), terminalProgress());
    printLine("Converted " + source + " to " + destination + " (" + world.describe() + ")");
    return 0;
}

Registration reg{{"convert", "convert SRC DST [--facet N]",
                  "convert a map between map{N}.mul and the container map{N}LegacyMUL.uop, either way",
                  runConvert}};

} // namespace
} // namespace tq::cli
