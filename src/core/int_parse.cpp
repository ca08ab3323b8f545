#include "core/int_parse.h"

#include "core/error.h"

namespace tq {

std::string notAnIntegerMessage(std::string_view text) {
    // The text may come from a hand-edited file: a NUL would cut the message short where it
    // is shown, and a line of a megabyte would make an error box no one can read.
    constexpr size_t Longest = 100;
    std::string shown(text.substr(0, text.size() > Longest ? Longest - 3 : text.size()));
    if (text.size() > Longest) shown += "...";
    for (char& c : shown)
        if (c == '\0') c = '?';
    return "'" + shown + "' is not a valid integer value";
}

bool tryParseInt(std::string_view text, int32_t& value) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    bool hex = false;
    if (i < text.size() && text[i] == '$') {
        hex = true;
        ++i;
    }
    if (i == text.size()) return false;
    const uint64_t base = hex ? 16 : 10;
    // Decimal may reach 2^31 only as a negative number; hexadecimal may fill 32 bits.
    const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        unsigned digit;
        if (c >= '0' && c <= '9') digit = unsigned(c - '0');
        else if (hex && c >= 'A' && c <= 'F') digit = unsigned(c - 'A' + 10);
        else if (hex && c >= 'a' && c <= 'f') digit = unsigned(c - 'a' + 10);
        else return false;
        magnitude = magnitude * base + digit;
        if (magnitude > limit) return false;
    }
    const uint32_t bits = static_cast<uint32_t>(magnitude);
    value = static_cast<int32_t>(negative ? (0u - bits) : bits);
    return true;
}

int32_t parseInt(std::string_view text) {
    int32_t value = 0;
    if (!tryParseInt(text, value)) throw ConvertError(notAnIntegerMessage(text));
    return value;
}

} // namespace tq
