#pragma once
// The one-pass engine behind ExtractBlockItems and FreezeWorld (not for windows).
#include "core/progress.h"
#include "core/static_index.h"
#include "worldsave/large_memory.h"
#include "worldsave/world_save_reader.h"
#include "worldsave/world_save_text.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace tq::detail {

inline constexpr uint32_t NoTarget = 0xFFFFFFFFu;

struct ExtractedRecord {
    uint32_t pass = 0;  // the block's place in the order of the per-block passes
    TStaticRec rec;
};

// Where the world-item headers are, noted by the scan so that the extraction need not
// read every line again: only the items it takes.
struct SectionStart {
    size_t offset = 0;  // of the header line
    uint16_t key = 0;   // section number modulo 65536
};
struct TextMap {
    std::vector<SectionStart> sections;
    bool allCrlf = true;  // every line ends in CRLF: kept stretches can be copied as they are
};

// What the scan notes of every world item, so that the pass after it reads no line: where
// the item lies and the static it would give (the tags the extraction reads, last one wins).
struct ItemNote {
    uint32_t gap = 0;     // bytes from the end of the item before (or the file's start) to its header
    uint32_t length = 0;  // from its header to the end of its "}" line
    uint16_t key = 0;     // section number modulo 65536
    uint16_t id = 0;
    uint16_t color = 0;
    uint8_t cell = 0;     // x mod 8, and y mod 8 in bits 3..5
    int8_t z = 0;
};
struct ItemDigest {
    LargeVector<ItemNote> items;
    // Every world item is closed by a "}" line before the next one's header and before the
    // end of the file, every COLOR inside one reads as a number, and the sizes fit: then the
    // notes tell the extraction all it would find. Otherwise it reads the lines again.
    bool complete = true;
    bool allCrlf = true;  // every line ends in CRLF: kept stretches can be copied as they are
};

// The scan of SelectWorldItems; pumps events every so many lines. Fills `map` if given.
void selectItems(std::string_view text, SelectionTable& table, SelectionRule rule, const AutoSelectIds& autoIds,
                 const LogSink& log, const Progress& progress, TextMap* map = nullptr);
// The same over a file read in chunks from its start (the offsets of `map` are file offsets).
void selectItems(wstext::ChunkedLineReader& reader, SelectionTable& table, SelectionRule rule,
                 const AutoSelectIds& autoIds, const LogSink& log, const Progress& progress, TextMap* map = nullptr);

// The same, noting every world item in `digest`.
void selectItems(wstext::ChunkedLineReader& reader, SelectionTable& table, SelectionRule rule,
                 const AutoSelectIds& autoIds, const LogSink& log, const Progress& progress, ItemDigest& digest);

// The same over a file read front to back in blocks, each block's lines scanned in two
// parts at once, the second on a thread of its own from a world item's header about halfway
// on (blocks under `minSplit` bytes in one part). Gives what the scan in one go gives: the
// table, the log lines in file order, the digest, the first failure in file order.
inline constexpr size_t ScanBlock = size_t(4) << 20;
void selectItemsInParts(File& file, SelectionTable& table, SelectionRule rule, const AutoSelectIds& autoIds,
                        const LogSink& log, const Progress& progress, ItemDigest& digest, size_t block = ScanBlock,
                        size_t minSplit = size_t(64) << 10);

// Takes out, in one pass, every item whose section number n has targets[n] != NoTarget,
// with exactly the result of one extraction pass per block, run in the order of their
// numbers: targets[n] is the number of the pass (block) that takes item n, smaller first.
// The kept lines go to `out`, the taken items to `records` in file order, tagged with
// their pass. targets holds 65536 entries.
// With the map of the same text, only the taken items' lines are read.
void extractItems(std::string_view text, const std::vector<uint32_t>& targets, wstext::TextWriter& out,
                  std::vector<ExtractedRecord>& records, const Progress& progress, const TextMap* map = nullptr);
// The same over a file read in chunks from its start, the map made by selectItems of that file:
// the file is read once more, front to back, and never held whole.
void extractItems(wstext::ChunkedLineReader& reader, const std::vector<uint32_t>& targets,
                  wstext::StreamTextWriter& out, std::vector<ExtractedRecord>& records, const Progress& progress,
                  const TextMap* map = nullptr);

// extractItems over a complete digest, without reading a line: the taken items' statics in
// file order, and the file again without them (read front to back in chunks, only the kept
// bytes handled). Gives exactly what extractItems gives.
void takenRecords(const ItemDigest& digest, const std::vector<uint32_t>& targets,
                  LargeVector<ExtractedRecord>& records);
void writeKept(wstext::ChunkedLineReader& reader, const ItemDigest& digest, const std::vector<uint32_t>& targets,
               wstext::StreamTextWriter& out, const Progress& progress);

} // namespace tq::detail
