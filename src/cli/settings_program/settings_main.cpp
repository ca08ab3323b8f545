// terraquill-settings: the desktop program's stored values (paths, mode) from a script,
// reached as `terraquill-cli settings ...` (see ../settings_command.h). It is what `make run`
// uses to give a newcomer a world to try, and what an operator can use to set up a player's
// machine. Its messages and exit statuses are those of every terraquill-cli command.
#include "command.h"
#include "settings_command.h"

#include "core/error.h"
#include "core/int_parse.h"
#include "ui/settings.h"

#include <cstdio>
#include <exception>

using namespace tq;
using namespace tq::cli;

namespace {

const char* knownName(const std::string& name) {
    for (const char* known : settings::AllNames)
        if (name == known) return known;
    std::string list;
    for (const char* known : settings::AllNames) list += std::string(list.empty() ? "" : ", ") + known;
    throw UsageError("unknown setting '" + name + "' (known: " + list + ")");
}

int runSettings(const std::vector<std::string>& argv) {
    Args args(argv, {}, {});
    const auto& p = args.positional();
    if (p.empty() || p[0] == "list") {
        if (p.size() > 1) throw UsageError("list takes no arguments");
        for (const char* name : settings::AllNames)
            if (settings::contains(name))
                printLine(std::string(name) + "=" +
                          (settings::isIntegerValue(name) ? std::to_string(settings::readInt(name))
                                                          : settings::readString(name).toStdString()));
        return 0;
    }
    if (p[0] == "get") {
        if (p.size() != 2) throw UsageError("get takes one name");
        const char* name = knownName(p[1]);
        printLine(settings::isIntegerValue(name) ? (settings::contains(name) ? std::to_string(settings::readInt(name))
                                                                             : std::string())
                                                 : settings::readString(name).toStdString());
        return 0;
    }
    if (p[0] == "set") {
        if (p.size() != 3) throw UsageError("set takes a name and a value");
        const char* name = knownName(p[1]);
        if (settings::isIntegerValue(name))
            settings::writeInt(name, parseInt(p[2]));
        else
            settings::writeString(name, QString::fromStdString(p[2]));
        return 0;
    }
    throw UsageError("unknown action '" + p[0] + "'");
}

} // namespace

int main(int argc, char** argv) {
    return runReportingFailures(SettingsUsage, [&] {
        return runSettings(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
    });
}
