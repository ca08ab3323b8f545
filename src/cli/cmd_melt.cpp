#include "command.h"
#include "facet_option.h"
#include "core/error.h"
#include "core/int_parse.h"
#include "core/facets.h"
#include "core/static_index.h"
#include "core/world_lock.h"
#include "worldsave/folder_save.h"
#include "worldsave/melt.h"

namespace tq::cli {
namespace {

int runMelt(const std::vector<std::string>& argv) {
    Args args(argv, {"staidx", "statics", "wsc", FacetOption}, {});
    args.expectPositional(2);
    MeltOptions options;
    options.staidxPath = args.required("staidx");
    options.staticsPath = args.required("statics");
    options.worldSavePath = args.required("wsc");
    const int x = parseInt(args.positional()[0]);
    const int y = parseInt(args.positional()[1]);

    const Progress progress = terminalProgress();
    auto index = newStaticIndex();
    // Locked before the index is read, so no other writer can change it in between.
    const WorldLock lock({options.staidxPath}, "melt", worldSaveFilesOf(options.worldSavePath), printLine);
    LoadStaticIndex(options.staidxPath, *index, progress, facetOption(args));
    RequireBlockInWorld(index->world(), x, y);
    MeltBlock(options, x, y, *index, progress, printLine);
    return 0;
}

Registration reg{{"melt", "melt --staidx P --statics P --wsc P X Y [--facet N]",
                  "turn the statics of block (X, Y) into world-save items", runMelt}};

} // namespace
} // namespace tq::cli
