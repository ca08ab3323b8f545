#pragma once
// `settings` is the one command that needs Qt (the desktop program's QSettings store), so it
// lives in a companion program beside terraquill-cli: the CLI itself starts without loading
// Qt, and `terraquill-cli settings ...` hands its arguments to the companion. Both show the
// same usage line.

namespace tq::cli {

inline constexpr const char* SettingsUsage = "settings [list | get NAME | set NAME VALUE]";
inline constexpr const char* SettingsSummary =
    "show or change the desktop program's stored paths and mode (\"StaIdx0.mul\", \"Mode\", ...)";
// The companion's file name, in the CLI's own folder.
inline constexpr const char* SettingsProgramName = "terraquill-settings";

} // namespace tq::cli
