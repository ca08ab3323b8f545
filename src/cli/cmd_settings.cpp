// `settings`: run by the companion program beside this one (see settings_command.h), which
// replaces this process and so answers with its own output and exit status.
#include "command.h"
#include "settings_command.h"

#include "core/error.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace tq::cli {
namespace {

int runSettings(const std::vector<std::string>& args) {
    const std::string program = programFolder() + "/" + SettingsProgramName;
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::fflush(stdout);
    ::execv(program.c_str(), argv.data());
    // Only a failed exec comes back.
    const int code = errno;
    if (code == ENOENT)
        throw Error(std::string("the settings command runs ") + SettingsProgramName +
                        ", which is missing beside terraquill-cli (install it in the same folder)",
                    program);
    throw Error(std::string("cannot start ") + SettingsProgramName + ": " + std::strerror(code), program);
}

Registration reg{{"settings", SettingsUsage, SettingsSummary, runSettings}};

} // namespace
} // namespace tq::cli
