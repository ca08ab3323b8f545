#include "command.h"
#include "facet_option.h"
#include "core/spaced_hex.h"
#include "core/static_index.h"
#include "diff/diff_package.h"

namespace tq::cli {
namespace {

int runCrc(const std::vector<std::string>& argv) {
    Args args(argv, {FacetOption}, {});
    args.expectPositional(1);
    auto index = newStaticIndex();
    LoadStaticIndex(args.positional()[0], *index, terminalProgress(), facetOption(args));
    printLine(IntToSpacedHex(int32_t(StaticsCrc(*index)), 4));
    return 0;
}

Registration reg{{"crc", "crc STAIDX [--facet N]",
                  "print the CRC value of a static index, as the diff window shows it (e.g. 0D C2 9C 5A)", runCrc}};

} // namespace
} // namespace tq::cli
