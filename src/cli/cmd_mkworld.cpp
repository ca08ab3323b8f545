#include "command.h"
#include "core/error.h"
#include "core/file_system.h"
#include "core/int_parse.h"
#include "core/synthetic_world.h"
#include "core/utf8_path.h"

#include <filesystem>

namespace tq::cli {
namespace {

int runMkworld(const std::vector<std::string>& argv) {
    Args args(argv, {"items", "seed"}, {});
    args.expectPositional(1);
    const std::string dir = args.positional()[0];
    int64_t items = DefaultSyntheticItems;
    if (auto text = args.option("items")) {
        items = parseInt(*text);
        if (items < 0) throw UsageError("--items must be 0 or more");
    }
    uint32_t seed = 1;
    if (auto text = args.option("seed")) seed = uint32_t(parseInt(*text));

    std::error_code ec;
    std::filesystem::create_directories(fsPath(dir), ec);
    if (ec || !std::filesystem::is_directory(fsPath(dir))) throw Error("Cannot create the folder " + dir);

    const SyntheticWorldSummary s = makeSyntheticWorld(dir, items, seed, terminalProgress());
    for (const std::string& name : s.files) {
        const std::string path = utf8Path(fsPath(dir) / fsPath(name));
        printLine(name + ": " + std::to_string(fileSystem().fileSize(path)) + " bytes");
    }
    printLine("statics: " + std::to_string(s.staticRecords) + " in " + std::to_string(s.staticBlocks) +
              " blocks, " + std::to_string(s.emptyRuns) + " entries with Length 0");
    printLine("world items: " + std::to_string(s.worldItems) + ", TYPE 255: " + std::to_string(s.type255Items) +
              " (" + std::to_string(s.type255InContainers) + " in containers), for \"auto\": " +
              std::to_string(s.autoItems) + ", in containers: " + std::to_string(s.containedItems) +
              ", characters: " + std::to_string(s.characters) + ", guilds: " + std::to_string(s.guilds));
    return 0;
}

Registration reg{{"mkworld", "mkworld DIR [--items N] [--seed N]",
                  "write a complete synthetic world (client files, items.wsc, AutoSelect.txt) into DIR",
                  runMkworld}};

} // namespace
} // namespace tq::cli
