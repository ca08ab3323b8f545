#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tq {

inline constexpr const char* NotSpacedHexMessage = "Input not SpacedHex";

// Least significant byte first: 0x0EED, width 2 -> "ED 0E"; 0x5A9CC20D, width 4 -> "0D C2 9C 5A".
std::string IntToSpacedHex(int32_t value, uint8_t width);

// First pair most significant: "0E ED", width 2 -> 0x0EED. Case and spaces do not matter.
// Width 1 or 3 leaves the undefined low byte(s) 0. Throws ConvertError "Input not SpacedHex".
int32_t SpacedHexToInt(std::string_view text, uint8_t width);

} // namespace tq
