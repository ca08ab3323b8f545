#include "tools/reference_passes.h"

#include "core/atomic_file.h"
#include "core/error.h"
#include "core/file_system.h"
#include "worldsave/extraction.h"
#include "worldsave/world_save_text.h"

#include <vector>

namespace tq {

using wstext::WorldItemHeader;
using wstext::WorldItemWord;

void AppendStatics(TStaticBlock& destination, const TStaticBlock& source) {
    const int total = int(destination.Count) + int(source.Count);
    if (total > StaticBlockCapacity) throw Error(tooManyStaticsMessage(total));
    for (int i = 0; i < source.Count; ++i)
        destination.Records[size_t(destination.Count + i)] = source.Records[size_t(i)];
    destination.Count = uint16_t(total);
}

void ExtractBlockItems(const std::string& path, int bx, int by, const SelectionTable& table, TStaticBlock& out) {
    out.clear();
    const std::string text = readWholeFile(path);
    std::vector<uint32_t> targets(65536, detail::NoTarget);
    for (size_t n = 0; n < 65536; ++n) {
        const TSelectionEntry& e = table[n];
        if (e.Selected == 1 && int(e.BlockX) == bx && int(e.BlockY) == by)
            targets[n] = 0;
    }
    std::vector<detail::ExtractedRecord> records;
    AtomicFile file(path);
    wstext::TextWriter writer(file.file(), text);
    detail::extractItems(text, targets, writer, records, Progress{});
    if (records.size() > size_t(StaticBlockCapacity)) throw Error(tooManyStaticsMessage(int64_t(records.size())));
    file.commit();
    for (const auto& r : records) out.Records[out.Count++] = r.rec;
}

HighestNumbers ScanHighestNumbers(std::string_view text) {
    HighestNumbers h;
    wstext::LineReader reader(text);
    wstext::Line line;
    while (reader.next(line)) {
        const std::string_view s = line.text;
        if (s.empty()) continue;
        const char c = wstext::upperAscii(s[0]);
        if (c == 'S') {
            if (wstext::startsWithNoCase(s, WorldItemHeader)) {
                const int32_t n = wstext::parseValue(s.substr(WorldItemWord));
                if (n > h.section) h.section = n;
            } else if (wstext::startsWithNoCase(s, "SERIAL ")) {
                const int32_t v = wstext::parseValue(s.substr(7));
                if (v > h.serial) h.serial = v;
            }
        }
    }
    return h;
}

} // namespace tq
