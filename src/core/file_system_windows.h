#pragma once
#ifdef _WIN32
#include <string>

namespace tq {

// The UTF-16 name the Windows file layer hands to the system for a UTF-8 path: the path
// itself while it is short; made absolute and prefixed with "\\?\" (or "\\?\UNC\") once
// it nears MAX_PATH, so names over 260 characters work. Throws "Invalid filename" for
// a name that is not UTF-8 or has a NUL inside.
std::wstring windowsPath(const std::string& utf8);

} // namespace tq
#endif
