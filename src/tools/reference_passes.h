#pragma once
// Plain versions of what the program does in one fast pass, and a scan of what it wrote:
// the tests, benchmarks and fuzz harnesses check the passes against them. The program
// itself never calls these.
#include "core/static_index.h"
#include "worldsave/world_save_reader.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tq {

// Appends source's records behind destination's; refuses more than 2048 in all.
void AppendStatics(TStaticBlock& destination, const TStaticBlock& source);

// Takes the selected items of block (bx, by) out of the world-save file and returns them
// as statics in file order; the file is replaced atomically (every line then ends in CRLF).
// Freeze does not call this per block: it takes all blocks out in one pass with the same result.
void ExtractBlockItems(const std::string& path, int bx, int by, const SelectionTable& table, TStaticBlock& out);

// Highest world-item section number (-1 when none) and highest SERIAL (at least 2^30).
struct HighestNumbers {
    int32_t section = -1;
    int32_t serial = 1073741824;
};
HighestNumbers ScanHighestNumbers(std::string_view text);

} // namespace tq
