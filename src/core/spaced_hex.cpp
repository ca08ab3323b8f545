#include "core/spaced_hex.h"

#include "core/error.h"

namespace tq {

std::string IntToSpacedHex(int32_t value, uint8_t width) {
    static const char digits[] = "0123456789ABCDEF";
    const auto bits = static_cast<uint32_t>(value);
    std::string text;
    const int n = width < 4 ? width : 4;
    for (int i = 0; i < n; ++i) {
        if (i > 0) text += ' ';
        const unsigned byte = (bits >> (8 * i)) & 0xFF;
        text += digits[byte >> 4];
        text += digits[byte & 0xF];
    }
    return text;
}

int32_t SpacedHexToInt(std::string_view text, uint8_t width) {
    if (width < 1 || width > 4) throw ConvertError(NotSpacedHexMessage);
    size_t first = 0, last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= 32) ++first;
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32) --last;
    std::string compact;
    for (size_t i = first; i < last; ++i)
        if (text[i] != ' ') compact += text[i];
    if (compact.size() != size_t(2) * width) throw ConvertError(NotSpacedHexMessage);

    bool valid = true;
    auto nibble = [&valid](char c) -> uint32_t {
        if (c >= 'a' && c <= 'f') c = char(c - 'a' + 'A');
        if (c >= '0' && c <= '9') return uint32_t(c - '0');
        if (c >= 'A' && c <= 'F') return uint32_t(c - 'A' + 10);
        valid = false;
        return 0;
    };
    uint32_t result = 0;
    for (int k = 0; k < width; ++k) {
        const uint32_t pair = (nibble(compact[2 * k]) << 4) | nibble(compact[2 * k + 1]);
        result |= pair << (8 * (3 - k));  // pair 1 is the most significant byte
    }
    if (!valid) throw ConvertError(NotSpacedHexMessage);
    if (width == 2) result >>= 16;  // a 16-bit value lives in the low half
    return static_cast<int32_t>(result);
}

} // namespace tq
