#include "command.h"
#include "facet_option.h"
#include "mapedit/region_copy.h"

namespace tq::cli {
namespace {

int runCopyRegion(const std::vector<std::string>& argv) {
    Args args(argv, {"src", "dst", FacetOption}, {});
    args.expectPositional(8);
    const std::string source = args.required("src");
    const std::string destination = args.required("dst");
    const auto& p = args.positional();
    const MapRegionTexts corners{p[0], p[1], p[2], p[3], p[4], p[5], p[6], p[7]};
    const int64_t cells = CopyMapRegion(source, destination, corners, facetOption(args));
    printLine("Copied " + std::to_string(cells) + (cells == 1 ? " cell" : " cells"));
    return 0;
}

Registration reg{{"copy-region", "copy-region --src MAP --dst MAP SX1 SY1 SX2 SY2 DX1 DY1 DX2 DY2 [--facet N]",
                  "copy the map cells of a rectangle of one map0.mul onto a rectangle of the same size in another "
                  "(or the same) map0.mul",
                  runCopyRegion}};

} // namespace
} // namespace tq::cli
