#pragma once
#include <string>
#include <string_view>

namespace tq {

// ASCII-only case changes, as every name and keyword comparison of the program uses:
// a file name or keyword never changes case by the user's locale.
std::string asciiUpper(std::string_view text);
std::string asciiLower(std::string_view text);

} // namespace tq
