#pragma once
#include <string>
#include <vector>

namespace tq::test {

struct CliResult {
    int status = -1;  // exit status
    std::string out;  // stdout
    std::string err;  // stderr
};

// Runs the built terraquill-cli with the given arguments, as a script would.
CliResult runCli(const std::vector<std::string>& args);

} // namespace tq::test
