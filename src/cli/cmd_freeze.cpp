#include "command.h"
#include "facet_option.h"
#include "core/error.h"
#include "core/static_index.h"
#include "core/world_lock.h"
#include "worldsave/folder_save.h"
#include "worldsave/freeze.h"

#include "core/utf8_path.h"

namespace tq::cli {
namespace {

int runFreeze(const std::vector<std::string>& argv) {
    Args args(argv, {"staidx", "statics", "wsc", "rule", "autoselect", "pat", FacetOption}, {"shared-world"});
    args.expectPositional(0);
    FreezeOptions options;
    options.staidxPath = args.required("staidx");
    options.staticsPath = args.required("statics");
    options.worldSavePath = args.required("wsc");
    options.sharedWorld = args.flag("shared-world");
    const std::string rule = args.option("rule").value_or("type255");
    if (rule == "type255") options.rule = SelectionRule::Type255;
    else if (rule == "auto") options.rule = SelectionRule::Auto;
    else throw UsageError("--rule must be type255 or auto");
    options.autoSelectPath =
        args.option("autoselect").value_or(utf8Path(fsPath(programFolder()) / "AutoSelect.txt"));
    if (auto pat = args.option("pat")) {
        options.writePat = true;
        options.patPath = *pat;
        // Checked before the index is even loaded, as the window checks it right after its dialog.
        CheckWscAndPat(options.patPath, options.worldSavePath);
    }

    const Progress progress = terminalProgress();
    auto index = newStaticIndex();
    // Locked before the index is read, so no other writer can change it in between.
    std::vector<std::string> companions = worldSaveFilesOf(options.worldSavePath);
    companions.push_back(options.staticsPath);
    companions.push_back(options.writePat ? options.patPath : "");
    const WorldLock lock({options.staidxPath}, "freeze", companions, printLine);
    LoadStaticIndex(options.staidxPath, *index, progress, facetOption(args));
    FreezeWorld(options, *index, progress, printLine);
    return 0;
}

Registration reg{{"freeze",
                  "freeze --staidx P --statics P --wsc P [--rule type255|auto] [--autoselect FILE] [--pat FILE] "
                  "[--facet N] [--shared-world]",
                  "move the selected world-save items into the statics (and into a patch file)", runFreeze}};

} // namespace
} // namespace tq::cli
