#include "command.h"
#include "facet_option.h"
#include "core/error.h"
#include "core/int_parse.h"
#include "core/random.h"
#include "fillclear/fill_clear.h"

namespace tq::cli {
namespace {

int runFill(const std::vector<std::string>& argv) {
    Args args(argv, {"staidx", "statics", "map", "left", "top", "right", "bottom", "tile", "alt", "seed", FacetOption},
              {"no-statics", "no-map"});
    args.expectPositional(0);
    FillClearInput in;
    in.ClearStatics = !args.flag("no-statics");
    in.FillMap = !args.flag("no-map");
    in.Facet = facetOption(args);
    in.Left = args.required("left");
    in.Top = args.required("top");
    in.Right = args.required("right");
    in.Bottom = args.required("bottom");
    if (in.ClearStatics) {
        in.StaIdxPath = args.required("staidx");
        in.StaticsPath = args.required("statics");
    }
    if (in.FillMap) {
        in.MapPath = args.required("map");
        if (!args.option("tile")) throw UsageError("missing option --tile (a tile group name or an id such as \"00 A8\")");
        in.Tile = *args.option("tile");
        in.Altitude = args.option("alt").value_or("0");
    }
    const FillClearRequest request = validateFillClear(in);
    if (auto seed = args.option("seed")) seedRandom(uint32_t(parseInt(*seed)));

    const FillClearResult r = FillClear(request, terminalProgress());
    for (const std::string& line : r.Warnings) printLine(line);
    if (in.ClearStatics)
        printLine("Statics cleared: " + std::to_string(r.StaticBlocksCleared) + " blocks emptied, " +
                  std::to_string(r.StaticBlocksTrimmed) + " blocks trimmed, " + std::to_string(r.StaticsRemoved) +
                  " items removed from them");
    if (in.FillMap)
        printLine("Map filled: " + std::to_string(r.CellsFilled) + " cells in " + std::to_string(r.MapBlocksWritten) +
                  " blocks set to '" + in.Tile + "' at altitude " + in.Altitude);
    return 0;
}

Registration reg{{"fill",
                  "fill --staidx P --statics P --map P --left N --top N --right N --bottom N [--no-statics] "
                  "[--no-map] [--tile TEXT] [--alt N] [--seed N] [--facet N]",
                  "remove the statics of a rectangle of cells and/or set its map cells to one tile (or a tile "
                  "group) at one altitude",
                  runFill}};

} // namespace
} // namespace tq::cli
