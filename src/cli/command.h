#pragma once
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/progress.h"

namespace tq::cli {

// A wrong command line: exit status 2 with the usage on stderr.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parsed arguments: "--name value" options, "--flag" switches and positionals.
class Args {
public:
    // valueOptions take a value; flags do not. Anything else starting with "--" is a usage error.
    Args(const std::vector<std::string>& argv, const std::set<std::string>& valueOptions,
         const std::set<std::string>& flags);
    std::optional<std::string> option(const std::string& name) const;
    std::string required(const std::string& name) const;
    bool flag(const std::string& name) const;
    const std::vector<std::string>& positional() const { return positional_; }
    // Throws UsageError unless there are exactly n positionals.
    void expectPositional(size_t n) const;

private:
    std::map<std::string, std::string> options_;
    std::set<std::string> flags_;
    std::vector<std::string> positional_;
};

struct Command {
    std::string name;
    std::string usage;    // "block --staidx P --statics P X Y"
    std::string summary;  // one line for --help
    // Returns the exit status; throws tq::Error (exit 1) or UsageError (exit 2).
    std::function<int(const std::vector<std::string>& args)> run;
};

// Each cmd_*.cpp registers its commands with a static Registration.
void registerCommand(Command command);
const std::vector<Command>& commands();
struct Registration {
    explicit Registration(Command command) { registerCommand(std::move(command)); }
};

// Writes a log line to stdout (what a window's log would show).
void printLine(const std::string& line);
// A progress bar on stderr when stderr is a terminal; nothing otherwise.
Progress terminalProgress();
// The folder of the running program (for files shipped beside it).
std::string programFolder();
// Runs a command and turns what it throws into the exit status and the stderr lines every
// command shares: a UsageError gives its message and `usage` (2), any other failure its
// message, after its file's name where the message does not start with it (1).
int runReportingFailures(const std::string& usage, const std::function<int()>& run);

} // namespace tq::cli
