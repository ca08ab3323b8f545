#include "command.h"
#include "facet_option.h"
#include "diff/diff.h"

#include <cstdio>
#include <memory>
#include <unistd.h>

namespace tq::cli {
namespace {

const std::set<std::string> PathOptions = {"orig-staidx", "orig-statics", "orig-map", "mod-staidx",
                                           "mod-statics", "mod-map",      FacetOption};

DiffPaths diffPaths(const Args& args) {
    DiffPaths paths{args.required("orig-staidx"), args.required("orig-statics"), args.required("orig-map"),
                    args.required("mod-staidx"),  args.required("mod-statics"),  args.required("mod-map"),
                    facetOption(args)};
    return paths;
}

// On a terminal: each step's message on a line of its own, the bar below it.
struct TerminalSteps {
    int shown = -1;
    bool barOpen = false;
    ~TerminalSteps() {
        if (barOpen) std::fputc('\n', stderr);
    }
};

Progress diffProgress() {
    Progress progress;
    if (!isatty(fileno(stderr))) return progress;
    auto steps = std::make_shared<TerminalSteps>();
    progress.position = [steps](int percent) {
        if (percent == steps->shown) return;
        steps->shown = percent;
        steps->barOpen = true;
        const int width = 40, filled = percent * width / 100;
        std::fprintf(stderr, "\r[%s%s] %3d%%", std::string(size_t(filled), '#').c_str(),
                     std::string(size_t(width - filled), ' ').c_str(), percent);
        std::fflush(stderr);
    };
    progress.message = [steps](const std::string& text) {
        std::fprintf(stderr, "%s%s\n", steps->barOpen ? "\n" : "", text.c_str());
        steps->shown = -1;
        steps->barOpen = false;
    };
    return progress;
}

int runGenerate(const std::vector<std::string>& argv) {
    std::set<std::string> options = PathOptions;
    options.insert("out");
    Args args(argv, options, {"no-statics", "no-map", "compact"});
    args.expectPositional(0);
    const DiffParts parts{!args.flag("no-statics"), !args.flag("no-map"), args.flag("compact")};
    if (!parts.statics && !parts.map) throw UsageError("--no-statics and --no-map together leave nothing to generate");
    const DiffPaths paths = diffPaths(args);
    const GenerateDiffResult result = GenerateDiff(paths, args.required("out"), parts, diffProgress());
    printLine(result.crcText);
    printLine(PackageSizeText(result.size, result.fullSize));
    return 0;
}

int runApply(const std::vector<std::string>& argv) {
    Args args(argv, PathOptions, {});
    args.expectPositional(1);
    const ApplyDiffResult result = ApplyDiff(diffPaths(args), args.positional()[0], diffProgress(), printLine);
    printLine("Applied a " + DiffVersionText(result.version) + " package");
    return 0;
}

int runInfo(const std::vector<std::string>& argv) {
    Args args(argv, {}, {"blocks"});
    args.expectPositional(1);
    for (const std::string& line : DiffSummaryLines(SummarizeDiffPackage(args.positional()[0]), args.flag("blocks")))
        printLine(line);
    return 0;
}

int runDiff(const std::vector<std::string>& argv) {
    if (argv.empty()) throw UsageError("say generate, apply or info");
    const std::vector<std::string> rest(argv.begin() + 1, argv.end());
    if (argv[0] == "generate") return runGenerate(rest);
    if (argv[0] == "apply") return runApply(rest);
    if (argv[0] == "info") return runInfo(rest);
    throw UsageError("unknown diff action '" + argv[0] + "' (generate, apply or info)");
}

Registration reg{
    {"diff",
     "diff generate --orig-staidx P --orig-statics P --orig-map P --mod-staidx P --mod-statics P --mod-map P "
     "[--no-statics] [--no-map] [--compact] --out PKG [--facet N]\n"
     "  diff apply --orig-staidx P --orig-statics P --orig-map P --mod-staidx P --mod-statics P "
     "--mod-map P PKG [--facet N]\n"
     "  diff info PKG [--blocks]",
     "generate a .tq2 diff package from original and modified world files (--compact: the small form for "
     "downloads), apply one to the originals, or say what one holds",
     runDiff}};

} // namespace
} // namespace tq::cli
