#include "command.h"
#include "core/spaced_hex.h"
#include "diff/diff_package.h"

namespace tq::cli {
namespace {

int runMapSum(const std::vector<std::string>& argv) {
    Args args(argv, {}, {});
    args.expectPositional(1);
    printLine(IntToSpacedHex(int32_t(MapFileSum(args.positional()[0], terminalProgress())), 4));
    return 0;
}

Registration reg{{"mapsum", "mapsum MAP", "print the checksum of a map file that diff packages record", runMapSum}};

} // namespace
} // namespace tq::cli
