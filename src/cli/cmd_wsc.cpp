#include "command.h"
#include "worldsave/wsc_convert.h"

namespace tq::cli {
namespace {

int runWsc(const std::vector<std::string>& argv) {
    Args args(argv, {}, {});
    if (args.positional().empty() || args.positional()[0] != "convert")
        throw UsageError("wsc: the only subcommand is convert");
    args.expectPositional(3);
    ConvertWorldSaveToFolder(args.positional()[1], args.positional()[2], printLine);
    return 0;
}

Registration reg{{"wsc", "wsc convert ITEMS.WSC DIR",
                  "turn an old single-file world-save into today's folder of region files", runWsc}};

} // namespace
} // namespace tq::cli
