#include "command.h"
#include "core/error.h"
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
    const auto& all = commands();
    auto it = std::find_if(all.begin(), all.end(), [&](const Command& c) { return c.name == args[0]; });
    if (it == all.end()) {
        std::fprintf(stderr, "error: unknown command '%s'\n\n", args[0].c_str());
        printUsage(stderr);
        return 2;
    }
    try {
        return it->run(std::vector<std::string>(args.begin() + 1, args.end()));
    } catch (const UsageError& e) {
        std::fprintf(stderr, "error: %s\nusage: terraquill-cli %s\n", e.what(), it->usage.c_str());
        return 2;
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "error: %s\n", e.what());
        return 1;
    }
}
