#pragma once
// Line-level helpers shared by the world-save reader, the patch writer, freeze and melt.
// The server writes CRLF or LF; we read both, keep every line we do not interpret byte
// for byte (names may hold any 8-bit characters) and end every rewritten line in CRLF.
#include "core/file_system.h"

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tq::wstext {

// A world item's section header, and where its number starts (the value is trimmed, so
// the number may follow the tag's blank or more blanks).
inline constexpr std::string_view WorldItemHeader = "SECTION WORLDITEM ";
inline constexpr size_t WorldItemWord = 17;

inline char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }

// True when `line`, upper-cased (ASCII letters only), begins with `upperPrefix`.
inline bool startsWithNoCase(std::string_view line, std::string_view upperPrefix) {
    if (line.size() < upperPrefix.size()) return false;
    for (size_t i = 0; i < upperPrefix.size(); ++i)
        if (upperAscii(line[i]) != upperPrefix[i]) return false;
    return true;
}

// Drops characters with codes 0..32 at both ends.
std::string_view trimBlanks(std::string_view text);
std::string upperCopy(std::string_view text);

// The number after a tag: trimmed and read by the one integer parser. A bad value throws
// "'<TRIMMED, UPPER-CASED TEXT>' is not a valid integer value".
int32_t parseValueSlow(std::string_view afterTag);
// Inline for the plain decimal numbers that fill a world-save (millions per file); anything
// else (a sign "+", "$" hexadecimal, a bad or too long value) takes the general path.
inline int32_t parseValue(std::string_view afterTag) {
    const size_t n = afterTag.size();
    size_t i = 0;
    while (i < n && static_cast<unsigned char>(afterTag[i]) <= 32) ++i;
    const bool negative = i < n && afterTag[i] == '-';
    if (negative) ++i;
    const size_t digits = i;
    uint64_t value = 0;
    while (i < n && afterTag[i] >= '0' && afterTag[i] <= '9' && i - digits < 10) {
        value = value * 10 + uint64_t(afterTag[i] - '0');
        ++i;
    }
    size_t rest = i;
    while (rest < n && static_cast<unsigned char>(afterTag[rest]) <= 32) ++rest;
    if (i == digits || rest != n || (i < n && afterTag[i] >= '0' && afterTag[i] <= '9') ||
        value > (negative ? 0x80000000ull : 0x7FFFFFFFull))
        return parseValueSlow(afterTag);
    return negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(value)) : static_cast<int32_t>(value);
}

// One line of a text: `text` without its ending; [begin, end) also covers the ending.
struct Line {
    std::string_view text;
    size_t begin = 0;
    size_t end = 0;
    bool crlf = false;  // ended by CR LF (so the source bytes are already what we write)
};

// A line ends at LF, and a CR right before that LF belongs to the ending; a last line
// without any ending is still a line.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}
    // Continues at a line start.
    void seek(size_t position) { pos_ = position; }
    // Inline: called once per line of files with tens of millions of lines.
    bool next(Line& line) {
        const size_t size = text_.size();
        if (pos_ >= size) return false;
        const char* base = text_.data();
        size_t at = pos_;
        if constexpr (std::endian::native == std::endian::little) {
            // Eight bytes at a time: the lowest byte flagged by the zero-byte test is the first LF.
            while (at + 8 <= size) {
                uint64_t word;
                std::memcpy(&word, base + at, 8);
                const uint64_t x = word ^ 0x0A0A0A0A0A0A0A0Aull;
                const uint64_t found = (x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull;
                if (found) {
                    at += size_t(std::countr_zero(found)) / 8;
                    goto lineEnd;
                }
                at += 8;
            }
        }
        while (at < size && base[at] != '\n') ++at;
    lineEnd:
        line.begin = pos_;
        if (at == size) {
            line.text = text_.substr(pos_);
            line.end = size;
            line.crlf = false;
        } else {
            line.crlf = at > pos_ && base[at - 1] == '\r';
            line.text = text_.substr(pos_, at - pos_ - (line.crlf ? 1 : 0));
            line.end = at + 1;
        }
        pos_ = line.end;
        return true;
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

// Writes a rewritten text through a large buffer. Lines taken over from the source that
// already end in CRLF are copied in runs, so an unchanged stretch costs one memcpy.
class TextWriter {
public:
    TextWriter(File& file, std::string_view source) : file_(file), source_(source) {}
    void keepLine(const Line& line) {
        if (line.crlf && runEnd_ > runBegin_ && runEnd_ == line.begin) runEnd_ = line.end;
        else keepLineSlow(line);
    }
    void writeLine(std::string_view text);
    // Text that already holds its own CRLF line ends.
    void writeRaw(std::string_view text);
    // Source bytes [begin, end) that already hold their own CRLF line ends.
    void keepBytes(size_t begin, size_t end) {
        if (begin >= end) return;
        if (runEnd_ > runBegin_ && runEnd_ == begin) {
            runEnd_ = end;
            return;
        }
        flushRun();
        runBegin_ = begin;
        runEnd_ = end;
    }
    void flush();

private:
    void keepLineSlow(const Line& line);
    void flushRun();
    void flushBuffer();
    File& file_;
    std::string_view source_;
    size_t runBegin_ = 0, runEnd_ = 0;
    std::string buffer_;
};

} // namespace tq::wstext
