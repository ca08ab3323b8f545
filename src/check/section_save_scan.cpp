#include "check/section_save_scan.h"

#include "check/check_report.h"
#include "check/check_world_save.h"
#include "core/error.h"
#include "core/file_system.h"
#include "worldsave/world_save_text.h"

#include <algorithm>
#include <bit>
#include <cstring>


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

// True when the line begins with `key` (upper case, ASCII letters compared without case).
template <size_t N>
inline bool hasKey(const char* s, size_t n, const char (&key)[N]) {
    constexpr size_t k = N - 1;
    if (n < k) return false;
    for (size_t i = 0; i < k; ++i)
        if (upper(s[i]) != key[i]) return false;
    return true;
}

// The state of a scan: the object being read, and what the piece gathers.
class Scanner {
public:
    Scanner(SectionPiece& piece, const SectionScanOptions& options) : piece_(piece), options_(options) {}

    // One line, without its line feed (a CR before it is left on: every value is trimmed,
    // and no key ends in a CR).
    TQ_CHECK_INLINE void line(const char* s, size_t n) {
        const uint32_t lineNo = ++lines_;
        if (n == 0) return;
        int32_t v = 0;
        switch (s[0]) {
        case 'S':
        case 's':
            if (hasKey(s, n, "SECTION ")) {
                close();
                sectionLine_ = lineNo;
                serial_ = 0;
                hasSerial_ = hasCont_ = false;
                x_ = y_ = 0;
                cont_ = -1;
                if (hasKey(s, n, "SECTION WORLDITEM ")) in_ = number(s + 17, n - 17, lineNo, v) ? In::Item : In::Nothing;
                else if (hasKey(s, n, "SECTION CHARACTER ")) in_ = In::Character;
            } else if (in_ != In::Nothing && hasKey(s, n, "SERIAL ") && number(s + 7, n - 7, lineNo, v)) {
                serial_ = uint32_t(v);
                hasSerial_ = true;
            }
            return;
        case '}':
            close();
            return;
        case 'X':
        case 'x':
            if (in_ == In::Item && hasKey(s, n, "X ") && number(s + 2, n - 2, lineNo, v)) x_ = v;
            return;
        case 'Y':
        case 'y':
            if (in_ == In::Item && hasKey(s, n, "Y ") && number(s + 2, n - 2, lineNo, v)) y_ = v;
            return;
        case 'C':
        case 'c':
            if (in_ == In::Item && hasKey(s, n, "CONT ") && number(s + 5, n - 5, lineNo, v)) cont_ = v, hasCont_ = true;
            return;
        case 'I':
        case 'i':
            if (in_ == In::Item && hasKey(s, n, "ID ")) number(s + 3, n - 3, lineNo, v);
            return;
        case 'Z':
        case 'z':
            if (in_ == In::Item && hasKey(s, n, "Z ")) number(s + 2, n - 2, lineNo, v);
            return;
        case 'T':
        case 't':
            if (in_ == In::Item && hasKey(s, n, "TYPE ")) number(s + 5, n - 5, lineNo, v);
            return;
        default:
            return;
        }
    }

    // The end of the piece ends the object being read, as the next SECTION line or the end
    // of the file would.
    void finish() {
        close();
        piece_.lines = lines_;
    }

private:
    enum class In : uint8_t { Nothing, Item, Character };

    // A tag's value: the plain numbers that fill a save (digits, perhaps a minus, perhaps
    // blanks around them) read here; anything else by the save reader's own parser, whose message
    // a bad value gets.
    TQ_CHECK_INLINE bool number(const char* s, size_t n, uint32_t lineNo, int32_t& out) {
        const char* p = s;
        const char* const end = s + n;
        while (p != end && static_cast<unsigned char>(*p) <= 32) ++p;
        const bool negative = p != end && *p == '-';
        if (negative) ++p;
        const char* const digits = p;
        uint64_t value = 0;
        while (p != end && static_cast<unsigned char>(*p - '0') < 10 && p - digits < 10) value = value * 10 + uint64_t(*p++ - '0');
        const char* rest = p;
        while (rest != end && static_cast<unsigned char>(*rest) <= 32 && static_cast<unsigned char>(*rest - '0') >= 10) ++rest;
        if (p == digits || rest != end || value > (negative ? 0x80000000ull : 0x7FFFFFFFull))
            return numberSlow(s, n, lineNo, out);
        out = negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(value)) : static_cast<int32_t>(value);
        return true;
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

    void close() {
        if (in_ == In::Nothing) return;
        const In was = in_;
        in_ = In::Nothing;
        if (options_.wanted) {
            if (hasSerial_ && std::binary_search(options_.wanted->begin(), options_.wanted->end(), serial_))
                options_.found->push_back({serial_, sectionLine_});
            return;
        }
        if (hasSerial_) piece_.serials.push_back(serial_);
        if (was != In::Item) return;
        if (hasCont_ && cont_ != -1) {
            piece_.contained.push_back({uint32_t(cont_), sectionLine_});
        } else if (!options_.ground.validCell(x_, y_)) {
            if (listedOutside_ < CheckReport::ListedPerKind) {
                ++listedOutside_;
                piece_.findings.push_back(
                    {KindItemOutsideMap, sectionLine_, ItemOutsideMapText(serial_, x_, y_, 0, options_.ground)});
            } else {
                ++piece_.unlistedOutside;
            }
        }
    }

    SectionPiece& piece_;
    const SectionScanOptions& options_;
    In in_ = In::Nothing;
    uint32_t lines_ = 0, sectionLine_ = 0, serial_ = 0;
    int32_t x_ = 0, y_ = 0, cont_ = -1;
    bool hasSerial_ = false, hasCont_ = false;
    size_t listedBad_ = 0, listedOutside_ = 0;
};

} // namespace

std::vector<uint64_t> SectionCuts(const std::string& path, uint64_t size, size_t count) {
    std::vector<uint64_t> cuts = {0};
    constexpr size_t Window = size_t(256) << 10;
    auto file = openFile(path, OpenMode::Read);
    std::vector<char> window(Window);
    for (size_t i = 1; i < count; ++i) {
        const uint64_t target = size / count * i;
        if (target <= cuts.back()) continue;
        const size_t n = size_t(std::min<uint64_t>(Window, size - target));
        file->seek(target);
        file->read(window.data(), n);
        // The first line start after the target whose line opens a section.
        for (size_t at = 0; at < n; ++at) {
            if (window[at] != '\n') continue;
            const size_t start = at + 1;
            if (start + 8 > n) break;
            if (hasKey(window.data() + start, n - start, "SECTION ")) {
                cuts.push_back(target + start);
                break;
            }
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
                scanner.line(base + lineStart, at - lineStart);
                lineStart = at + 1;
            }
        }
        if (left == 0) {
            // The file's last line may have no line feed.
            if (lineStart < have) scanner.line(base + lineStart, have - lineStart);
            have = 0;
        } else {
            std::memmove(buffer.data(), base + lineStart, have - lineStart);
            have -= lineStart;
        }
        if (options.advance) options.advance(n);
    }
    scanner.finish();
}

} // namespace tq
