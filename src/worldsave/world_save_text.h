#pragma once
// Line-level helpers shared by the world-save reader, the patch writer, freeze and melt.
// The server writes CRLF or LF; we read both, keep every line we do not interpret byte
// for byte (names may hold any 8-bit characters) and end every rewritten line in CRLF.
#include "core/error.h"
#include "core/file_system.h"
#include "worldsave/large_memory.h"

#include <algorithm>
#include <memory>

#include <bit>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#endif

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

// Drops characters with codes 0..32 at both ends. Inline: called for every line of a save folder.
inline std::string_view trimBlanks(std::string_view text) {
    size_t b = 0, e = text.size();
    while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
    while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
    return text.substr(b, e - b);
}
std::string upperCopy(std::string_view text);

// The number after a tag: trimmed and read by the one integer parser. A bad value throws
// "'<TRIMMED, UPPER-CASED TEXT>' is not a valid integer value".
int32_t parseValueSlow(std::string_view afterTag);
// Inline for the plain decimal numbers that fill a world-save (millions per file); false for
// anything else (a sign "+", "$" hexadecimal, a bad or too long value), left to the general path.
inline bool parsePlainDecimal(std::string_view afterTag, int32_t& result) {
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
        return false;
    result = negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(value)) : static_cast<int32_t>(value);
    return true;
}
inline int32_t parseValue(std::string_view afterTag) {
    int32_t value = 0;
    if (parsePlainDecimal(afterTag, value)) return value;
    return parseValueSlow(afterTag);
}
// parseValue without throwing: false where it would refuse the value.
bool tryParseValue(std::string_view afterTag, int32_t& value);

// One line of a text: `text` without its ending; [begin, end) also covers the ending.
struct Line {
    std::string_view text;
    size_t begin = 0;
    size_t end = 0;
    bool crlf = false;  // ended by CR LF (so the source bytes are already what we write)
};

// The first LF in base[from, to), or `to`; eight bytes at a time where it can (the lowest
// byte flagged by the zero-byte test is the first LF). Inline: called once per line of
// files with tens of millions of lines.
inline size_t findLineFeed(const char* base, size_t from, size_t to) {
    size_t at = from;
    if constexpr (std::endian::native == std::endian::little) {
        while (at + 8 <= to) {
            uint64_t word;
            std::memcpy(&word, base + at, 8);
            const uint64_t x = word ^ 0x0A0A0A0A0A0A0A0Aull;
            const uint64_t found = (x - 0x0101010101010101ull) & ~x & 0x8080808080808080ull;
            if (found) return at + size_t(std::countr_zero(found)) / 8;
            at += 8;
        }
    }
    while (at < to && base[at] != '\n') ++at;
    return at;
}

// One bit per byte of base[0, 64) that is a LF, the lowest bit for the first byte: a scan of
// short lines takes each line's end from it without a loop per line.
inline uint64_t lineFeedMask64(const char* base) {
#if defined(__SSE2__) || defined(_M_X64)
    const __m128i lf = _mm_set1_epi8('\n');
    uint64_t mask = 0;
    for (int i = 0; i < 4; ++i) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + 16 * i));
        mask |= uint64_t(uint32_t(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, lf)) & 0xFFFF)) << (16 * i);
    }
    return mask;
#else
    uint64_t mask = 0;
    for (int i = 0; i < 64; ++i) mask |= uint64_t(base[i] == '\n') << i;
    return mask;
#endif
}

// A line ends at LF, and a CR right before that LF belongs to the ending; a last line
// without any ending is still a line.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}
    // Continues at a line start.
    void seek(size_t position) {
        pos_ = scanned_ = position;
        mask_ = 0;
    }
    bool next(Line& line) {
        const size_t size = text_.size();
        if (pos_ >= size) return false;
        const char* base = text_.data();
        // As ChunkedLineReader::next: the LFs of the 64 bytes before scanned_ from pos_ on.
        while (mask_ == 0 && scanned_ + 64 <= size) {
            mask_ = lineFeedMask64(base + scanned_);
            scanned_ += 64;
        }
        size_t at;
        if (mask_ != 0) {
            at = scanned_ - 64 + size_t(std::countr_zero(mask_));
            mask_ &= mask_ - 1;
        } else {
            at = findLineFeed(base, std::max(pos_, scanned_), size);
            scanned_ = at + 1;
        }
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
    size_t scanned_ = 0;
    uint64_t mask_ = 0;
};

// A whole file read into a buffer kept from one file to the next, never zeroed first (the
// files of a save folder, one at a time).
class FileBytes {
public:
    // The file's bytes, valid until the next read.
    std::string_view read(const std::string& path);

private:
    LargeBuffer buffer_{0};
};

// Reads a file front to back in large chunks into one reused buffer, so a world-save of any
// size costs a few MB of memory and every byte is copied once from the system. A line handed
// out by next() stays valid until the next call; its begin and end are offsets in the file.
class ChunkedLineReader {
public:
    static constexpr size_t DefaultChunk = size_t(1) << 20;
    explicit ChunkedLineReader(File& file, size_t chunk = DefaultChunk);
    // Back to the start of the file (for a second pass).
    void rewind();
    // Inline for the common case, a whole line in the buffer: called once per line of files
    // with tens of millions of lines.
    bool next(Line& line) {
        // The LFs of the 64 bytes before scanned_ that lie at or after pos_ are the bits of
        // mask_; the bytes from pos_ to the first of them hold none.
        while (mask_ == 0) {
            if (scanned_ + 64 > filled_) return nextNearEnd(line);
            mask_ = lineFeedMask64(buffer_.get() + scanned_);
            scanned_ += 64;
        }
        const size_t at = scanned_ - 64 + size_t(std::countr_zero(mask_));
        mask_ &= mask_ - 1;
        setLine(line, at);
        return true;
    }
    // Hands the bytes from here up to file offset `end` to sink(data, size) in pieces, and
    // goes on from there. Throws "Read beyond end of file" when the file ends before.
    // An `end` of UINT64_MAX copies to the end of the file.
    template <class Sink> void copyTo(uint64_t end, Sink&& sink) {
        while (offset_ + pos_ < end) {
            if (pos_ == filled_ && !refill()) {
                if (end == UINT64_MAX) return;
                throw Error(msg::ReadBeyondEnd, file_.name());
            }
            const size_t n = size_t(std::min<uint64_t>(filled_ - pos_, end - (offset_ + pos_)));
            sink(buffer_.get() + pos_, n);
            pos_ += n;
        }
        forgetScan();
    }
    // Goes on at file offset `to` (not before the current position), skipping what lies between.
    void skipTo(uint64_t to) { copyTo(to, [](const char*, size_t) {}); }
    uint64_t position() const { return offset_ + pos_; }

private:
    // The line from pos_ to the LF at `at`.
    void setLine(Line& line, size_t at) {
        const char* base = buffer_.get();
        line.crlf = at > pos_ && base[at - 1] == '\r';
        line.text = std::string_view(base + pos_, at - pos_ - (line.crlf ? 1 : 0));
        line.begin = size_t(offset_ + pos_);
        line.end = size_t(offset_ + at + 1);
        pos_ = at + 1;
    }
    // Lines start being looked for at pos_ again.
    void forgetScan() {
        scanned_ = pos_;
        mask_ = 0;
    }
    // Fewer than 64 bytes left in the buffer after scanned_.
    bool nextNearEnd(Line& line) {
        const size_t at = findLineFeed(buffer_.get(), scanned_, filled_);
        if (at == filled_) return nextSlow(line);
        setLine(line, at);
        forgetScan();
        return true;
    }
    // A line that runs past what the buffer holds.
    bool nextSlow(Line& line);
    // Moves what is left to the front and reads more; false at the end of the file.
    bool refill();
    File& file_;
    size_t capacity_;
    LargeBuffer buffer_;  // never zeroed: only bytes read are looked at
    uint64_t offset_ = 0;             // file offset of buffer_[0]
    size_t pos_ = 0, filled_ = 0;
    size_t scanned_ = 0;  // see next()
    uint64_t mask_ = 0;
    bool atEnd_ = false;
};

// Writes a text through a large buffer straight from the lines and bytes of a
// ChunkedLineReader; every line it is handed ends in CRLF, as TextWriter writes it.
class StreamTextWriter {
public:
    explicit StreamTextWriter(File& file) : file_(file), buffer_(Limit) {}
    // A kept line comes out as its text and CRLF: a line that had CRLF is copied as it stands
    // (its ending follows its text in the reader's buffer).
    void keepLine(const Line& line) {
        if (line.crlf) append(line.text.data(), line.text.size() + 2);
        else writeLine(line.text);
    }
    void writeLine(std::string_view text) {
        append(text.data(), text.size());
        append("\r\n", 2);
    }
    void writeRaw(std::string_view text) { append(text.data(), text.size()); }
    void append(const char* data, size_t n) {
        if (used_ + n <= Limit) {
            std::memcpy(buffer_.get() + used_, data, n);
            used_ += n;
            return;
        }
        flush();
        if (n >= Limit) {
            file_.write(data, n);
            file_.startWriteback();
            return;
        }
        std::memcpy(buffer_.get(), data, n);
        used_ = n;
    }
    void flush() {
        if (used_ == 0) return;
        file_.write(buffer_.get(), used_);
        used_ = 0;
        file_.startWriteback();  // the disk works while the rest is read and written
    }

private:
    static constexpr size_t Limit = size_t(4) << 20;
    File& file_;
    LargeBuffer buffer_;
    size_t used_ = 0;
};

// Writes a rewritten text through a large buffer. Lines taken over from the source that
// already end in CRLF are copied in runs, so an unchanged stretch costs one memcpy.
class TextWriter {
public:
    TextWriter(File& file, std::string_view source);
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
    std::basic_string<char, std::char_traits<char>, LargeAllocator<char>> buffer_;
    size_t unsynced_ = 0;  // about how many bytes were written since the last writeback hint
};

} // namespace tq::wstext
