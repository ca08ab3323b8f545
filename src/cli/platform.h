#pragma once
#include <string>
#include <vector>

namespace tq::cli {

// The command line's arguments after the program name, in UTF-8. On Windows they are
// taken from the wide-character command line: argv holds them in the system's code page,
// where a name like "C:\Users\Zoë\UO Spiele" may not survive.
std::vector<std::string> commandLineArguments(int argc, char** argv);

// On Windows, lets a console show the UTF-8 text the tool prints (paths with "ë");
// the console's own setting is restored at exit. Nothing elsewhere.
void setUpConsole();

} // namespace tq::cli
