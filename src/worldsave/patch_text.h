#pragma once
// The text of world-item sections as the patch writer (and melt, and freeze) produce it.
#include "core/static_index.h"
#include "worldsave/world_save_text.h"

#include <cstdint>
#include <string_view>

namespace tq::detail {

// The last section number and serial already used; the next item takes each plus one.
struct PatchNumbers {
    int32_t section = 1;
    int32_t serial = 1073741824;
};
// What appending to an existing text needs, found in one pass over it.
struct AppendPlan {
    // After the highest world-item section and serial of all lines (also those after
    // "EOF"); for a missing file 1 and 2^30, so the first item is section 2, serial 2^30+1.
    PatchNumbers numbers;
    size_t keptBytes = 0;     // the text before its first "EOF" line (trimmed, any case)
    bool keptIsCrlf = true;   // every kept line already ends in CRLF: copy the bytes as they are
};
AppendPlan planAppend(bool exists, std::string_view existingText);
// True for a non-empty line that is the "EOF" line (trimmed, any case).
bool startsEofLine(std::string_view line);
// Raises the numbers to a "SECTION WORLDITEM n" or "SERIAL n" line's (other lines: nothing).
void noteNumbers(std::string_view line, PatchNumbers& numbers);
// Refuses `count` more items when a number would pass 2147483647 (nothing written yet).
void checkNumbersLeft(const PatchNumbers& numbers, uint64_t count);

// Copies the lines of `text` before its first "EOF" line, each ended by CRLF.
void writeLinesBeforeEof(std::string_view text, const AppendPlan& plan, File& file, wstext::TextWriter& out);
// One 13-line section for a static of block (bx, by) into `text`; advances the numbers and
// returns the length.
inline constexpr size_t ItemSectionMax = 320;
size_t formatItemSection(char (&text)[ItemSectionMax], PatchNumbers& numbers, const TStaticRec& rec, int bx, int by);
// The same written to a TextWriter or a StreamTextWriter.
template <class Writer>
void writeItemSection(Writer& out, PatchNumbers& numbers, const TStaticRec& rec, int bx, int by) {
    char text[ItemSectionMax];
    out.writeRaw(std::string_view(text, formatItemSection(text, numbers, rec, bx, by)));
}
// "EOF" and one empty line.
template <class Writer>
void writeEofTrailer(Writer& out) {
    out.writeLine("EOF");
    out.writeLine("");
}

} // namespace tq::detail
