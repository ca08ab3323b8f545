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
// Refuses `count` more items when a number would pass 2147483647 (nothing written yet).
void checkNumbersLeft(const PatchNumbers& numbers, uint64_t count);

// Copies the lines of `text` before its first "EOF" line, each ended by CRLF.
void writeLinesBeforeEof(std::string_view text, const AppendPlan& plan, File& file, wstext::TextWriter& out);
// One 13-line section for a static of block (bx, by); advances the numbers.
void writeItemSection(wstext::TextWriter& out, PatchNumbers& numbers, const TStaticRec& rec, int bx, int by);
// "EOF" and one empty line.
void writeEofTrailer(wstext::TextWriter& out);

} // namespace tq::detail
