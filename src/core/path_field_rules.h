#pragma once
// How every window judges a path field, apart from the widget: tested without a display.
#include "core/ascii_case.h"
#include "core/file_system.h"

#include <string>
#include <string_view>

namespace tq {

// A path field's colour is its state. Plain: no change handler has judged it yet,
// which counts as neither valid nor invalid.
enum class FieldColour { Plain, Green, Red };

// The file-name part of a path: after the last separator (and drive colon on Windows).
inline std::string_view pathFileName(std::string_view path) {
#ifdef _WIN32
    const size_t cut = path.find_last_of("\\/:");
#else
    const size_t cut = path.find_last_of('/');
#endif
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

// Green when a file of that path exists and its name, lower-cased, is expectedLowerName
// ("staidx0.mul"); an empty expectedLowerName accepts any existing file.
inline FieldColour judgePathField(const std::string& path, std::string_view expectedLowerName) {
    if (!fileExists(path)) return FieldColour::Red;
    if (!expectedLowerName.empty() && asciiLower(pathFileName(path)) != expectedLowerName) return FieldColour::Red;
    return FieldColour::Green;
}

} // namespace tq
