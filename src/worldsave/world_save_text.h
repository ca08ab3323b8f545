#pragma once
// Line-level helpers shared by the world-save reader, the patch writer, freeze and melt.
// The server writes CRLF or LF; we read both, keep every line we do not interpret byte
// for byte (names may hold any 8-bit characters) and end every rewritten line in CRLF.
#include "core/file_system.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tq::wstext {

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
int32_t parseValue(std::string_view afterTag);

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
    // Inline: called once per line of files with tens of millions of lines.
    bool next(Line& line) {
        const size_t size = text_.size();
        if (pos_ >= size) return false;
        const char* base = text_.data();
        size_t at = pos_;
        while (at < size && base[at] != '\n') ++at;
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
