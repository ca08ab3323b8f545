#include "command.h"
#include "core/error.h"
#include "core/world_lock.h"
#include "platform.h"

#include <algorithm>
#include <cstdio>
#include <exception>

using namespace tq::cli;

namespace {

void printUsage(FILE* out) {
    std::fprintf(out, "usage: terraquill-cli <command> [options]\n\ncommands:\n");
    auto sorted = commands();
    std::sort(sorted.begin(), sorted.end(), [](const Command& a, const Command& b) { return a.name < b.name; });
    for (const Command& c : sorted) std::fprintf(out, "  %s\n      %s\n", c.usage.c_str(), c.summary.c_str());
    std::fprintf(out, "\nexit status: 0 done, 1 the operation failed (error on stderr), 2 usage error\n");
}

// "COMMAND --help": the command's usage and summary on stdout. A command with actions
// ("diff generate --help") shows only the action's line when there is one for it.
int printCommandHelp(const Command& c, const std::vector<std::string>& args) {
    std::string usage = c.usage;
    if (args.size() > 1 && args[1].compare(0, 1, "-") != 0) {
        const std::string want = c.name + " " + args[1] + " ";
        size_t start = 0;
        while (start <= usage.size()) {
            size_t end = usage.find('\n', start);
            if (end == std::string::npos) end = usage.size();
            std::string line = usage.substr(start, end - start);
            line.erase(0, line.find_first_not_of(' '));
            if (line.compare(0, want.size(), want) == 0) {
                usage = line;
                break;
            }
            start = end + 1;
        }
    }
    std::printf("usage: terraquill-cli %s\n\n%s\n", usage.c_str(), c.summary.c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    setUpConsole();
    const std::vector<std::string> args = commandLineArguments(argc, argv);
    if (args.empty()) {
        printUsage(stderr);
        return 2;
    }
    if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        printUsage(stdout);
        return 0;
    }
    if (args[0] == "--version") {
        std::printf("terraquill-cli %s\n", TQ_VERSION);
        return 0;
    }
    const auto& all = commands();
    auto it = std::find_if(all.begin(), all.end(), [&](const Command& c) { return c.name == args[0]; });
    if (it == all.end()) {
        std::fprintf(stderr, "error: unknown command '%s'\n\n", args[0].c_str());
        printUsage(stderr);
        return 2;
    }
    if (std::find(args.begin() + 1, args.end(), "--help") != args.end() ||
        std::find(args.begin() + 1, args.end(), "-h") != args.end())
        return printCommandHelp(*it, args);
    // Operations without a log of their own still say when they finished a killed run's work.
    tq::setInterruptedWorkLog(printLine);
    return runReportingFailures(it->usage, [&] { return it->run(std::vector<std::string>(args.begin() + 1, args.end())); });
}
