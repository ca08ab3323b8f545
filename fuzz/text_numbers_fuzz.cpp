// The integer parser, SpacedHexToInt and the AutoSelect.txt reader, each against a
// plain reading of its rules written here from scratch.
//
// Byte 0 picks a width for SpacedHexToInt (0..5); the whole input is the text.
#include "core/error.h"
#include "core/file_system.h"
#include "core/int_parse.h"
#include "core/spaced_hex.h"
#include "support/fuzz_check.h"
#include "support/memory_file_system.h"
#include "worldsave/freeze.h"

#include <optional>
#include <string>
#include <string_view>

using namespace tq;

namespace {

// Blanks, an optional sign, decimal digits or "$" and hex digits, nothing after them;
// decimal within int32, hex within 32 bits.
std::optional<int32_t> referenceInt(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    const bool hex = i < s.size() && s[i] == '$';
    if (hex) ++i;
    if (i == s.size()) return std::nullopt;
    std::string digits;
    for (; i < s.size(); ++i) {
        const char c = s[i];
        const bool ok = (c >= '0' && c <= '9') || (hex && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')));
        if (!ok) return std::nullopt;
        digits += c;
    }
    const size_t nonZero = digits.find_first_not_of('0');
    if (nonZero == std::string::npos) return 0;
    digits = digits.substr(nonZero);
    if (digits.size() > (hex ? 8u : 10u)) return std::nullopt;
    const unsigned long long magnitude = std::stoull(digits, nullptr, hex ? 16 : 10);
    if (hex) {
        const uint32_t bits = uint32_t(magnitude);
        return int32_t(negative ? 0u - bits : bits);
    }
    if (negative ? magnitude > 2147483648ull : magnitude > 2147483647ull) return std::nullopt;
    return int32_t(negative ? -int64_t(magnitude) : int64_t(magnitude));
}

std::optional<int32_t> referenceSpacedHex(std::string_view text, int width) {
    if (width < 1 || width > 4) return std::nullopt;
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
    std::string digits;
    for (size_t i = b; i < e; ++i)
        if (text[i] != ' ') digits += text[i];
    if (digits.size() != size_t(2 * width)) return std::nullopt;
    uint32_t value = 0;
    for (char c : digits) {
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else return std::nullopt;
        value = (value << 4) | uint32_t(v);
    }
    // The first pair is the most significant byte; widths 1 and 3 leave the low bytes 0,
    // width 2 is a 16-bit value.
    if (width == 1) value <<= 24;
    if (width == 3) value <<= 8;
    return int32_t(value);
}

std::optional<AutoSelectIds> referenceAutoSelect(std::string_view text) {
    AutoSelectIds ids;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t lf = text.find('\n', pos);
        if (lf == std::string_view::npos) lf = text.size();
        std::string_view line = text.substr(pos, lf - pos);
        pos = lf + 1;
        size_t b = 0, e = line.size();
        while (b < e && static_cast<unsigned char>(line[b]) <= 32) ++b;
        while (e > b && static_cast<unsigned char>(line[e - 1]) <= 32) --e;
        line = line.substr(b, e - b);
        if (line.empty() || line[0] == '#') continue;
        const auto id = referenceSpacedHex(line.substr(0, 5), 2);
        if (!id) return std::nullopt;
        ids.set(size_t(*id));
    }
    return ids;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::MemoryFileSystem fs;
    const std::string text(reinterpret_cast<const char*>(data), size);

    // The integer parser.
    const auto want = referenceInt(text);
    int32_t got = 0;
    TQ_FUZZ_REQUIRE(tryParseInt(text, got) == want.has_value());
    if (want) TQ_FUZZ_REQUIRE(got == *want);
    try {
        const int32_t v = parseInt(text);
        TQ_FUZZ_REQUIRE(want && v == *want);
    } catch (const ConvertError& e) {
        TQ_FUZZ_REQUIRE(!want);
        // The text as the message shows it: NUL as "?", at most 100 characters.
        std::string shown = text.size() > 100 ? text.substr(0, 97) + "..." : text;
        for (char& c : shown)
            if (c == '\0') c = '?';
        TQ_FUZZ_REQUIRE(std::string(e.what()) == "'" + shown + "' is not a valid integer value");
    }

    // Spaced hex: the width from byte 0, and formatting read back (pairs reversed).
    const int width = size > 0 ? data[0] % 6 : 2;
    for (int w : {width, 2, 4}) {
        const auto hex = referenceSpacedHex(text, w);
        try {
            const int32_t v = SpacedHexToInt(text, uint8_t(w));
            TQ_FUZZ_REQUIRE(hex && v == *hex);
        } catch (const ConvertError& e) {
            TQ_FUZZ_REQUIRE(!hex);
            TQ_FUZZ_REQUIRE(std::string(e.what()) == NotSpacedHexMessage);
        }
    }
    if (want) {
        const uint32_t v = uint32_t(*want);
        const uint32_t swapped = (v >> 24) | ((v >> 8) & 0xFF00) | ((v << 8) & 0xFF0000) | (v << 24);
        TQ_FUZZ_REQUIRE(uint32_t(SpacedHexToInt(IntToSpacedHex(*want, 4), 4)) == swapped);
    }

    // AutoSelect.txt.
    fs.clear();
    fs.put("/p/AutoSelect.txt", text);
    ScopedFileSystem guard(fs);
    struct Clear {
        fuzz::MemoryFileSystem& fs;
        ~Clear() { fs.clear(); }  // every input frees what it took
    } clear{fs};
    const auto list = referenceAutoSelect(text);
    AutoSelectIds ids;
    ids.set(1);  // the reader clears what was there
    try {
        LoadAutoSelectList("/p/AutoSelect.txt", ids);
        TQ_FUZZ_REQUIRE(list && ids == *list);
    } catch (const ConvertError& e) {
        TQ_FUZZ_REQUIRE(!list);
        TQ_FUZZ_REQUIRE(std::string(e.what()) == NotSpacedHexMessage);
    }
    return 0;
}
