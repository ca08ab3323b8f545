#include "check/section_save_scan.h"

#include "check/check_report.h"
#include "check/check_world_save.h"
#include "core/error.h"
#include "core/file_system.h"
#include "worldsave/world_save_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <utility>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif


namespace tq {

namespace {

// Bytes read at a time: small enough to stay in the processor's cache while scanned.
constexpr size_t Chunk = size_t(256) << 10;
// The line-feed search reads whole 64-byte blocks; a buffer has this much room past its data.
constexpr size_t Slack = 64;

// The per-line work is a few instructions: worth placing in the loop that finds the lines.
#if defined(__GNUC__)
#define TQ_CHECK_INLINE [[gnu::always_inline]] inline
#else
#define TQ_CHECK_INLINE inline
#endif

inline char upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

// The first 8 bytes at `s` as one word (the line-feed search leaves room to read them).
inline uint64_t word(const char* s) {
    uint64_t w;
    std::memcpy(&w, s, 8);
    return w;
}

// True when the line begins with `key` (upper case, ASCII letters compared without case).
template <size_t N>
inline bool hasKey(const char* s, size_t n, const char (&key)[N]) {
    constexpr size_t k = N - 1;
    if (n < k) return false;
    for (size_t i = 0; i < k; ++i)
        if (upper(s[i]) != key[i]) return false;
    return true;
}

// The fields the checks read from an object's lines.
enum class Field : uint8_t { None, Serial, X, Y, Cont, Id, Z, Type, Count };

// A line that begins with a key as saves write it (in capitals, one blank after it) is read
// on the fast path; any other line that may matter (SECTION, }, a key in other case) takes
// the general one. By the line's first byte.
struct FastKey {
    uint64_t pattern, mask;  // the key's first 8 bytes (little-endian) and which of them count
    uint8_t length;
    Field field;
    bool general;  // the line may matter though it is no fast key
};

// Matches no line.
constexpr FastKey NoKey = {1, 0, 0, Field::None, false};

constexpr FastKey fastKey(const char* key, Field field) {
    FastKey k = NoKey;
    size_t n = 0;
    while (key[n]) ++n;
    k.pattern = 0;
    for (size_t i = 0; i < n; ++i) k.pattern |= uint64_t(uint8_t(key[i])) << (8 * i);
    k.mask = n >= 8 ? ~uint64_t(0) : (uint64_t(1) << (8 * n)) - 1;
    k.length = uint8_t(n);
    k.field = field;
    k.general = true;
    return k;
}

constexpr std::array<FastKey, 256> FastKeys = [] {
    std::array<FastKey, 256> keys{};
    keys.fill(NoKey);
    const std::pair<const char*, Field> fast[] = {{"SERIAL ", Field::Serial}, {"X ", Field::X},     {"Y ", Field::Y},
                                                   {"CONT ", Field::Cont},     {"ID ", Field::Id},   {"Z ", Field::Z},
                                                   {"TYPE ", Field::Type}};
    for (const auto& [key, field] : fast) {
        keys[uint8_t(key[0])] = fastKey(key, field);
        keys[uint8_t(key[0] - 'A' + 'a')].general = true;
    }
    keys[uint8_t('}')].general = true;
    return keys;
}();

// Bit i set when p[i] is a digit, for i below 16.
inline uint32_t digitMask16(const char* p) {
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i d = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), _mm_set1_epi8('0'));
    return uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(d, _mm_set1_epi8(9)), d)));
#else
    uint32_t mask = 0;
    for (int i = 0; i < 16; ++i) mask |= uint32_t(static_cast<unsigned char>(p[i] - '0') < 10) << i;
    return mask;
#endif
}

// The digits of a number as saves write it (a minus perhaps, 1 to `most` digits, a CR
// perhaps): `p` and `n` moved onto them. False for anything else, which the general reader
// decides. Reads 16 bytes from `p` whatever `n`.
TQ_CHECK_INLINE bool plainDigits(const char*& p, size_t& n, bool& negative, size_t most) {
    n -= size_t(n != 0 && p[n - 1] == '\r');
    negative = n != 0 && p[0] == '-';
    p += negative;
    n -= negative;
    if (n - 1 >= most) return false;  // none, or too many
    const uint32_t need = (uint32_t(1) << n) - 1;
    return (digitMask16(p) & need) == need;
}

// True when plainNumber() would read the number, for one of at most 9 digits (which always
// fits): the test without the arithmetic.
TQ_CHECK_INLINE bool plainDigits(const char* p, size_t n) {
    bool negative;
    return plainDigits(p, n, negative, 9);
}

// The value of a number as saves write it, read eight digits at a time; false where
// plainDigits() is, or the number does not fit.
TQ_CHECK_INLINE bool plainNumber(const char* p, size_t n, int32_t& out) {
    bool negative;
    if (!plainDigits(p, n, negative, 10)) return false;
    // The last (up to) eight digits, moved to the top of a word: the first of them in the
    // lowest byte there, as the multiplications below read them.
    const size_t low = n < 8 ? n : 8;
    uint64_t v;
    std::memcpy(&v, p + (n - low), 8);
    v <<= 8 * (8 - low);
    v = (v & 0x0F0F0F0F0F0F0F0Full) * 2561 >> 8;
    v = (v & 0x00FF00FF00FF00FFull) * 6553601 >> 16;
    v = (v & 0x0000FFFF0000FFFFull) * 42949672960001ull >> 32;
    if (n > 8) v += uint64_t(n == 10 ? (p[0] - '0') * 10 + (p[1] - '0') : p[0] - '0') * 100000000;
    if (v > (negative ? 0x80000000ull : 0x7FFFFFFFull)) return false;
    out = negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(v)) : static_cast<int32_t>(v);
    return true;
}

// The state of a scan: the object being read, and what the piece gathers.
class Scanner {
public:
    Scanner(SectionPiece& piece, const SectionScanOptions& options) : piece_(piece), options_(options) {}

    // Line `lineNo` of the piece, without its line feed (a CR before it is left on: every
    // value is trimmed, and no key ends in a CR). The 8 bytes from `s` may be read whatever `n`.
    TQ_CHECK_INLINE void line(const char* s, size_t n, uint32_t lineNo) {
        const FastKey& k = FastKeys[static_cast<unsigned char>(s[0])];
        if (!k.general || n == 0) return;
        const uint64_t w = word(s);
        if ((w & k.mask) != k.pattern || n < k.length) {
            // The general path only for a line that may begin with a key in other case (a
            // letter differs from the key's in its case bit alone), not for every COLOR.
            constexpr uint64_t Case = 0x2020202020202020ull;
            lines_ = lineNo;
            if (s[0] == '}') close();
            else if (w == word("SECTION ") && n >= 8) section(s, n);
            else if (((w ^ k.pattern) & k.mask & ~Case) == 0 || ((w ^ word("SECTION ")) & ~Case) == 0) general(s, n);
            return;
        }
        // SERIAL counts in any object, the other keys in items.
        if (in_ != In::Item && (k.field != Field::Serial || in_ == In::Nothing)) return;
        int32_t v = 0;
        if (k.field >= Field::Id) {
            // Read only to see that it reads.
            if (!plainDigits(s + k.length, n - k.length)) numberSlow(s + k.length, n - k.length, lineNo, v);
            return;
        }
        if (!plainNumber(s + k.length, n - k.length, v) && !numberSlow(s + k.length, n - k.length, lineNo, v)) return;
        values_[size_t(k.field)] = v;
        seen_ |= 1u << unsigned(k.field);
    }

    // The end of the piece, after `lines` lines, ends the object being read, as the next
    // SECTION line or the end of the file would.
    void finish(uint32_t lines) {
        close();
        piece_.lines = lines;
    }

private:
    enum class In : uint8_t { Nothing, Item, Character };

    // A line that begins with "SECTION " in any case: the next object.
#if defined(__GNUC__)
    [[gnu::noinline]]
#endif
    void section(const char* s, size_t n) {
        close();
        sectionLine_ = lines_;
        values_.fill(0);
        values_[size_t(Field::Cont)] = -1;
        seen_ = 0;
        // The words in capitals as saves write them, else in any case.
        auto kind = [&]<size_t N>(const char* exact, const char (&key)[N]) {
            return (n >= 18 && word(s + 8) == word(exact) && s[16] == exact[8] && s[17] == ' ') || hasKey(s, n, key);
        };
        int32_t v = 0;
        if (kind("WORLDITEM", "SECTION WORLDITEM "))
            in_ = plainDigits(s + 18, n - 18) || number(s + 18, n - 18, lines_, v) ? In::Item : In::Nothing;
        else if (kind("CHARACTER", "SECTION CHARACTER ")) in_ = In::Character;
    }

    // The lines the fast path leaves that may still matter: SECTION and the keys written in
    // other case.
#if defined(__GNUC__)
    [[gnu::noinline]]
#endif
    void general(const char* s, size_t n) {
        if (hasKey(s, n, "SECTION ")) {
            section(s, n);
            return;
        }
        int32_t v = 0;
        const FastKey& k = FastKeys[static_cast<unsigned char>(upper(s[0]))];
        if (k.field == Field::None || n < k.length) return;
        for (size_t i = 0; i < k.length; ++i)
            if (upper(s[i]) != char(k.pattern >> (8 * i))) return;
        if (in_ != In::Item && (k.field != Field::Serial || in_ == In::Nothing)) return;
        if (!number(s + k.length, n - k.length, lines_, v)) return;
        values_[size_t(k.field)] = v;
        seen_ |= 1u << unsigned(k.field);
    }

    // A tag's value: plain numbers read here, anything else by the save reader's own parser,
    // whose message a bad value gets.
    TQ_CHECK_INLINE bool number(const char* s, size_t n, uint32_t lineNo, int32_t& out) {
        return plainNumber(s, n, out) || numberSlow(s, n, lineNo, out);
    }

    bool numberSlow(const char* s, size_t n, uint32_t lineNo, int32_t& out) {
        try {
            out = wstext::parseValue(std::string_view(s, n));
            return true;
        } catch (const Error& e) {
            if (!options_.wanted) {
                if (listedBad_ < CheckReport::ListedPerKind) {
                    ++listedBad_;
                    piece_.findings.push_back({KindBadRecord, lineNo, e.what()});
                } else {
                    ++piece_.unlistedBad;
                }
            }
            return false;
        }
    }

    // The end of the object being read, if any (a SECTION line after a } finds none).
    TQ_CHECK_INLINE void close() {
        if (in_ != In::Nothing) closeObject();
    }

#if defined(__GNUC__)
    [[gnu::noinline]]
#endif
    void closeObject() {
        const In was = in_;
        in_ = In::Nothing;
        const bool hasSerial = seen_ & (1u << unsigned(Field::Serial));
        const uint32_t serial = uint32_t(values_[size_t(Field::Serial)]);
        const int32_t x = values_[size_t(Field::X)], y = values_[size_t(Field::Y)], cont = values_[size_t(Field::Cont)];
        const bool contained = was == In::Item && (seen_ & (1u << unsigned(Field::Cont))) && cont != -1;
        if (options_.wanted) {
            if (hasSerial && std::binary_search(options_.wanted->begin(), options_.wanted->end(), serial))
                options_.found->push_back({serial, sectionLine_});
            if (contained && std::binary_search(options_.missing->begin(), options_.missing->end(), uint32_t(cont)))
                options_.inMissing->push_back({uint32_t(cont), sectionLine_});
            return;
        }
        if (hasSerial) piece_.serials.add(serial);
        if (was != In::Item) return;
        if (contained) {
            piece_.containers.add(uint32_t(cont));
        } else if (!options_.ground.validCell(x, y)) {
            if (listedOutside_ < CheckReport::ListedPerKind) {
                ++listedOutside_;
                piece_.findings.push_back(
                    {KindItemOutsideMap, sectionLine_, ItemOutsideMapText(serial, x, y, 0, options_.ground)});
            } else {
                ++piece_.unlistedOutside;
            }
        }
    }

    SectionPiece& piece_;
    const SectionScanOptions& options_;
    In in_ = In::Nothing;
    uint32_t lines_ = 0, sectionLine_ = 0;  // the line of a call off the fast path, and of the object's SECTION
    std::array<int32_t, size_t(Field::Count)> values_{};  // of the object being read, by field
    uint32_t seen_ = 0;                                    // the fields it has given, a bit each
    size_t listedBad_ = 0, listedOutside_ = 0;
};

} // namespace

std::vector<uint64_t> SectionCuts(const std::string& path, uint64_t size, size_t count) {
    std::vector<uint64_t> cuts = {0};
    // How far past a target a SECTION line is looked for, a step at a time (one is near).
    constexpr uint64_t Reach = uint64_t(256) << 10;
    constexpr size_t Step = size_t(16) << 10;
    auto file = openFile(path, OpenMode::Read);
    std::vector<char> window(Step);
    for (size_t i = 1; i < count; ++i) {
        const uint64_t target = size / count * i;
        if (target <= cuts.back()) continue;
        // The first line start after the target whose line opens a section: a line feed, then
        // the 8 bytes of "SECTION " (a step reads 8 bytes past the line feeds it looks at).
        const uint64_t end = std::min(target + Reach, size);
        for (uint64_t at = target; at < end;) {
            const size_t n = size_t(std::min<uint64_t>(Step, end - at));
            file->seek(at);
            file->read(window.data(), n);
            const size_t feeds = n > 8 ? n - 8 : 0;
            const char* hit = nullptr;
            for (size_t j = 0; j < feeds && !hit; ++j)
                if (window[j] == '\n' && hasKey(window.data() + j + 1, n - j - 1, "SECTION ")) hit = window.data() + j + 1;
            if (hit) {
                cuts.push_back(at + uint64_t(hit - window.data()));
                break;
            }
            if (feeds == 0) break;
            at += feeds;
        }
    }
    cuts.push_back(size);
    return cuts;
}

void ScanSectionPiece(const std::string& path, SectionPiece& piece, const SectionScanOptions& options,
                      std::vector<char>& buffer) {
    Scanner scanner(piece, options);
    auto file = openFile(path, OpenMode::Read);
    file->seek(piece.begin);
    if (buffer.size() < Chunk + Slack) buffer.resize(Chunk + Slack);
    uint64_t left = piece.end - piece.begin;
    uint32_t lineNo = 0;
    size_t have = 0;  // bytes in the buffer: a carried part of a line, then what was read
    while (left > 0) {
        // A line longer than half the buffer: room for it and a chunk more.
        if (buffer.size() - Slack - have < Chunk / 2) buffer.resize((buffer.size() - Slack) * 2 + Slack);
        const size_t carried = have;
        const size_t n = size_t(std::min<uint64_t>(buffer.size() - Slack - have, left));
        file->read(buffer.data() + have, n);
        have += n;
        left -= n;
        const char* base = buffer.data();
        size_t lineStart = 0;
        // The carried bytes hold no line feed: the search starts after them.
        for (size_t block = carried; block < have; block += 64) {
            uint64_t feeds = wstext::lineFeedMask64(base + block);
            if (have - block < 64) feeds &= (uint64_t(1) << (have - block)) - 1;
            while (feeds) {
                const size_t at = block + size_t(std::countr_zero(feeds));
                feeds &= feeds - 1;
                scanner.line(base + lineStart, at - lineStart, ++lineNo);
                lineStart = at + 1;
            }
        }
        if (left == 0) {
            // The file's last line may have no line feed.
            if (lineStart < have) scanner.line(base + lineStart, have - lineStart, ++lineNo);
            have = 0;
        } else {
            std::memmove(buffer.data(), base + lineStart, have - lineStart);
            have -= lineStart;
        }
        if (options.advance) options.advance(n);
    }
    scanner.finish(lineNo);
}

} // namespace tq
