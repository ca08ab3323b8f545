#include "check/compact.h"
#include "command.h"
#include "facet_option.h"

namespace tq::cli {
namespace {

int runCompact(const std::vector<std::string>& argv) {
    Args args(argv, {"staidx", "statics", FacetOption}, {"drop-beyond-limit"});
    args.expectPositional(0);
    CompactOptions options;
    options.staidxPath = args.required("staidx");
    options.staticsPath = args.required("statics");
    options.facet = facetOption(args);
    options.dropBeyondLimit = args.flag("drop-beyond-limit");
    try {
        CompactStatics(options, terminalProgress(), printLine);
    } catch (const CompactRefused& refused) {
        for (const std::string& line : refused.report.lines()) printLine(line);
        throw;
    }
    return 0;
}

Registration reg{{"compact", "compact --staidx P --statics P [--drop-beyond-limit] [--facet N]",
                  "rewrite the statics in index order without the bytes no entry uses (with --drop-beyond-limit, "
                  "also the statics past the first 1024 of a block)",
                  runCompact}};

} // namespace
} // namespace tq::cli
