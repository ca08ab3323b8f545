#include "command.h"
#include "core/error.h"
#include "core/facets.h"
#include "core/file_system.h"
#include "core/int_parse.h"
#include "core/utf8_path.h"
#include "facet_option.h"
#include "tools/synthetic_world.h"

#include <filesystem>

namespace tq::cli {
namespace {

// --size WxH picks one of the facet's sizes (in blocks); without it the facet's first size.
WorldGeometry worldOption(int facet, const std::optional<std::string>& size) {
    const auto& sizes = facetSizes(facet);
    if (!size) return sizes.front();
    std::string known;
    for (const WorldGeometry& g : sizes) {
        if (*size == std::to_string(g.blocksWide) + "x" + std::to_string(g.blocksHigh)) return g;
        known += (known.empty() ? "" : " or ") + std::to_string(g.blocksWide) + "x" + std::to_string(g.blocksHigh);
    }
    throw UsageError("--size: facet " + std::to_string(facet) + " comes in " + known + " blocks, not " + *size);
}

int runMkworld(const std::vector<std::string>& argv) {
    Args args(argv, {"items", "seed", FacetOption, "size", "wsc-format"}, {"uop"});
    args.expectPositional(1);
    const std::string dir = args.positional()[0];
    int64_t items = DefaultSyntheticItems;
    if (auto text = args.option("items")) {
        items = parseInt(*text);
        if (items < 0) throw UsageError("--items must be 0 or more");
    }
    uint32_t seed = 1;
    if (auto text = args.option("seed")) seed = uint32_t(parseInt(*text));
    const WorldGeometry world = worldOption(facetOption(args).value_or(0), args.option("size"));
    const std::string wscFormat = args.option("wsc-format").value_or("file");
    if (wscFormat != "file" && wscFormat != "folder") throw UsageError("--wsc-format must be file or folder");
    const SyntheticSaveFormat format =
        wscFormat == "folder" ? SyntheticSaveFormat::Folder : SyntheticSaveFormat::SingleFile;

    std::error_code ec;
    std::filesystem::create_directories(fsPath(dir), ec);
    if (ec || !std::filesystem::is_directory(fsPath(dir))) throw Error("Cannot create the folder " + dir);

    const SyntheticWorldSummary s =
        makeSyntheticWorld(dir, items, seed, terminalProgress(), world, args.flag("uop"), format);
    for (const std::string& name : s.files) {
        const std::string path = utf8Path(fsPath(dir) / fsPath(name));
        printLine(name + ": " + std::to_string(fileSystem().fileSize(path)) + " bytes");
    }
    printLine("statics: " + std::to_string(s.staticRecords) + " in " + std::to_string(s.staticBlocks) +
              " blocks, " + std::to_string(s.emptyRuns) + " entries with Length 0");
    if (format == SyntheticSaveFormat::Folder) {
        const SyntheticFolderSummary& f = s.folder;
        printLine("world items: " + std::to_string(f.worldItems) + " in " + std::to_string(f.files.size()) +
                  " region files, Type 255: " + std::to_string(f.type255Items) + " (" +
                  std::to_string(f.type255InContainers) + " in containers, " + std::to_string(f.type255OtherFacet) +
                  " on another facet), for \"auto\": " + std::to_string(f.autoItems) +
                  ", in containers: " + std::to_string(f.containedItems) + ", characters: " +
                  std::to_string(f.characters) + ", spawners: " + std::to_string(f.spawners));
        return 0;
    }
    printLine("world items: " + std::to_string(s.worldItems) + ", TYPE 255: " + std::to_string(s.type255Items) +
              " (" + std::to_string(s.type255InContainers) + " in containers), for \"auto\": " +
              std::to_string(s.autoItems) + ", in containers: " + std::to_string(s.containedItems) +
              ", characters: " + std::to_string(s.characters) + ", guilds: " + std::to_string(s.guilds));
    return 0;
}

Registration reg{{"mkworld",
                  "mkworld DIR [--items N] [--seed N] [--facet N] [--size WxH] [--uop] [--wsc-format file|folder]",
                  "write a complete synthetic world (client files, items.wsc or the folder save shared/, "
                  "AutoSelect.txt) into DIR; with --uop the map is a map{N}LegacyMUL.uop container",
                  runMkworld}};

} // namespace
} // namespace tq::cli
