#pragma once
#include <filesystem>
#include <string>

namespace tq {

// Paths are UTF-8 inside the program. std::filesystem takes a plain std::string in the
// system's code page on Windows (so "Zoë" would become "ZoÃ«"), so every path crosses
// over through these two; on Linux they change nothing.
inline std::filesystem::path fsPath(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

inline std::string utf8Path(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

} // namespace tq
