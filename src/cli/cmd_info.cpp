#include "command.h"
#include "core/error.h"
#include "core/facets.h"
#include "core/world_info.h"
#include "facet_option.h"

#include <filesystem>

namespace tq::cli {
namespace {

const char* kindName(WorldFileType type) {
    switch (type) {
    case WorldFileType::StaticIndex: return "static index";
    case WorldFileType::Statics: return "statics";
    case WorldFileType::Map: return "map";
    case WorldFileType::Unknown: break;
    }
    return "unknown";
}

std::string share(uint64_t part, uint64_t whole) {
    if (whole == 0) return "0%";
    const uint64_t tenths = (part * 1000 + whole / 2) / whole;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + "%";
}

// Prints what one file is; returns false when it is not a world file this program reads.
bool describe(const std::string& path, std::optional<int> facet) {
    const WorldFileInfo info = DescribeWorldFile(path, facet);
    if (info.type == WorldFileType::Unknown) {
        // Messages about a file's length already start with its name.
        printLine(info.problem.rfind(path, 0) == 0 ? info.problem : path + ": " + info.problem);
        return false;
    }
    std::string line = path + ": " + kindName(info.type) + ", facet " + std::to_string(*info.facet);
    if (info.world)
        line += ", " + info.world->blocksText() + " blocks (" + std::to_string(info.world->cellsWide()) + " \u00d7 " +
                std::to_string(info.world->cellsHigh()) + " cells)";
    printLine(line);
    if (info.index) {
        const StaticIndexFigures& f = *info.index;
        printLine("  blocks with statics: " + groupedNumber(uint64_t(f.blocksWithStatics)) +
                  "; statics: " + groupedNumber(uint64_t(f.statics)));
        if (f.largestBlock > 0)
            printLine("  largest block: (" + std::to_string(f.largestX) + ", " + std::to_string(f.largestY) + ") with " +
                      groupedNumber(uint64_t(f.largestBlock)) + " statics");
        printLine("  blocks over the client's " + std::to_string(ClientStaticsPerBlock) +
                  " statics: " + groupedNumber(uint64_t(f.blocksOverClientLimit)));
        if (f.staticsPath)
            printLine("  " + *f.staticsPath + ": " + groupedNumber(f.staticsBytes) + " bytes, " +
                      groupedNumber(f.unreferencedBytes) + " not referenced by any entry (" +
                      share(f.unreferencedBytes, f.staticsBytes) + ")");
        else
            printLine("  no statics file beside it");
    }
    return true;
}

int runInfo(const std::vector<std::string>& argv) {
    Args args(argv, {FacetOption}, {});
    if (args.positional().empty()) throw UsageError("info needs at least one file or folder");
    const std::optional<int> facet = facetOption(args);
    bool allKnown = true;
    for (const std::string& path : args.positional()) {
        std::error_code ec;
        if (std::filesystem::is_directory(path, ec)) {
            const std::vector<std::string> files = WorldFilesInFolder(path);
            if (files.empty()) {
                printLine(path + ": no world files in this folder");
                allKnown = false;
            }
            for (const std::string& file : files) allKnown = describe(file, facet) && allKnown;
        } else {
            allKnown = describe(path, facet) && allKnown;
        }
    }
    return allKnown ? 0 : 1;
}

Registration reg{{"info", "info PATH... [--facet N]",
                  "say what each world file (or each in a folder) is: kind, facet, size, statics figures", runInfo}};

} // namespace
} // namespace tq::cli
