#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace tq {

// The one number parser for text fields and text files: optional leading blanks, an
// optional sign, then decimal digits or "$" and hexadecimal digits. Anything else
// (empty text, trailing characters, a value outside 32 bits) throws ConvertError
// "'<text>' is not a valid integer value". Hexadecimal may use all 32 bits
// ($FFFFFFFF is -1), as the integer types of the files do.
int32_t parseInt(std::string_view text);
// The same, without throwing.
bool tryParseInt(std::string_view text, int32_t& value);

// "'<text>' is not a valid integer value"; a text longer than 100 characters is shown by its
// first 97 and "...", and a NUL byte as "?".
std::string notAnIntegerMessage(std::string_view text);

} // namespace tq
