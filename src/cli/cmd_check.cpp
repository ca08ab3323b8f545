#include "check/world_check.h"
#include "command.h"
#include "core/world_lock.h"
#include "facet_option.h"

#include <cstdio>

namespace tq::cli {
namespace {

int runCheck(const std::vector<std::string>& argv) {
    Args args(argv, {FacetOption}, {"json"});
    if (args.positional().empty()) throw UsageError("check needs at least one file or folder");
    // stdout is one JSON object: a journal finished before reading is told on stderr.
    if (args.flag("json"))
        setInterruptedWorkLog([](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); });
    const CheckReport report = CheckWorld(args.positional(), facetOption(args), terminalProgress());
    if (args.flag("json")) std::fputs(report.json().c_str(), stdout);
    else
        for (const std::string& line : report.lines()) printLine(line);
    return report.clean() ? 0 : 1;
}

Registration reg{{"check", "check PATH... [--facet N] [--json]",
                  "read a whole world (folder or files: index, statics, map, world-save, diff packages) and report "
                  "what is wrong with it; exit 1 when anything is",
                  runCheck}};

} // namespace
} // namespace tq::cli
