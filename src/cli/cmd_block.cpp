#include "command.h"
#include "facet_option.h"
#include "core/error.h"
#include "core/int_parse.h"
#include "core/facets.h"
#include "core/static_index.h"
#include "core/static_listing.h"

namespace tq::cli {
namespace {

int runBlock(const std::vector<std::string>& argv) {
    Args args(argv, {"staidx", "statics", FacetOption}, {});
    args.expectPositional(2);
    const std::string staidx = args.required("staidx");
    const std::string statics = args.required("statics");
    const int x = parseInt(args.positional()[0]);
    const int y = parseInt(args.positional()[1]);
    auto index = newStaticIndex();
    LoadStaticIndex(staidx, *index, terminalProgress(), facetOption(args));
    RequireBlockInWorld(index->world(), x, y);
    TStaticBlock block;
    aboutFile(staidx, [&] { ReadBlockStatics(statics, index->at(x, y), block); });
    for (const std::string& line : staticListingLines(block, x, y)) printLine(line);
    return 0;
}

Registration reg{{"block", "block --staidx P --statics P X Y [--facet N]",
                  "list the statics of block (X, Y) as the main window shows them", runBlock}};

} // namespace
} // namespace tq::cli
