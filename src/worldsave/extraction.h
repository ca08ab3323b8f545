#pragma once
// The one-pass engine behind ExtractBlockItems and FreezeWorld (not for windows).
#include "core/progress.h"
#include "core/static_index.h"
#include "worldsave/world_save_reader.h"
#include "worldsave/world_save_text.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace tq::detail {

inline constexpr uint32_t NoTarget = 0xFFFFFFFFu;
// A block as one number in x-major order, for any 16-bit block coordinates.
inline uint32_t blockKey(uint32_t bx, uint32_t by) { return (bx << 16) | by; }
inline int keyX(uint32_t key) { return int(key >> 16); }
inline int keyY(uint32_t key) { return int(key & 0xFFFF); }

struct ExtractedRecord {
    uint32_t block = 0;
    TStaticRec rec;
};

// The scan of SelectWorldItems; pumps events every so many lines.
void selectItems(std::string_view text, SelectionTable& table, int rule, const AutoSelectIds& autoIds,
                 const LogSink& log, const Progress& progress);

// Takes out, in one pass, every item whose section number n has targets[n] != NoTarget,
// with exactly the result of one extraction pass per target block in x-major order: the
// kept lines go to `out`, the taken items to `records` in file order (tagged with their
// block). targets holds 65536 entries.
void extractItems(std::string_view text, const std::vector<uint32_t>& targets, wstext::TextWriter& out,
                  std::vector<ExtractedRecord>& records, const Progress& progress);

} // namespace tq::detail
