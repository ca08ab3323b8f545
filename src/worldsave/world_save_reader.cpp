#include "worldsave/world_save_reader.h"

#include "core/error.h"
#include "core/file_system.h"
#include "worldsave/extraction.h"

#include <cstring>
#include <exception>
#include <optional>
#include <thread>
#include <type_traits>
#include <vector>

namespace tq {

using wstext::Line;
using wstext::LineReader;
using wstext::parseValue;
using wstext::startsWithNoCase;
using wstext::WorldItemHeader;
using wstext::WorldItemWord;

namespace {

constexpr uint16_t NoSection = 65535;
std::string selectingMessage(uint16_t section) { return "Selecting item for export: " + std::to_string(section); }
constexpr size_t PumpEveryLines = size_t(1) << 16;


} // namespace

std::unique_ptr<SelectionTable> newSelectionTable() { return std::make_unique<SelectionTable>(); }

namespace detail {

namespace {

// Notes nothing: the scan alone.
struct NoNotes {};

// Notes each world item for the pass after the scan: the lines the extraction would take
// (from a header to the first "}" line) and the tags it would read in them.
class ItemNotes {
public:
    explicit ItemNotes(ItemDigest& digest) : digest_(digest) { digest_ = ItemDigest{}; }
    // Notes of lines that begin at file offset `start`, a world item's header, after lines
    // noted by another ItemNotes: gaps are counted from `start` until join() fixes them.
    // The digest's room is kept (it is used again for each part).
    ItemNotes(ItemDigest& digest, uint64_t start) : digest_(digest), end_(start) {
        digest_.items.clear();
        digest_.complete = digest_.allCrlf = true;
    }
    // Takes on the notes of `later`, made of the lines that follow this one's (see above), and
    // where they stopped (possibly inside an item).
    void join(ItemNotes& later, uint64_t start) {
        // The header that begins `later` found this one's last item still open.
        if (open_) incomplete();
        if (!later.digest_.allCrlf) digest_.allCrlf = false;
        if (!later.digest_.complete) incomplete();
        auto& items = later.digest_.items;
        if (digest_.complete) {
            // `later` counted its first gap from `start`, not from this one's last end.
            ItemNote pending = later.note_;
            ItemNote& first = items.empty() ? pending : items.front();
            const uint64_t gap = first.gap + (start - end_);
            if (items.empty() && !later.open_) {
                // Nothing noted there: this one's last end stands.
            } else if (gap > UINT32_MAX) {
                incomplete();
            } else {
                first.gap = uint32_t(gap);
            }
            if (digest_.complete) {
                digest_.items.insert(digest_.items.end(), items.begin(), items.end());
                if (!items.empty()) end_ = later.end_;
                open_ = later.open_;
                note_ = pending;
                begin_ = later.begin_;
            }
        }
        items.clear();
    }
    void line(const Line& l) {
        if (!l.crlf) digest_.allCrlf = false;
    }
    void header(const Line& l, uint16_t key) {
        if (!digest_.complete) return;
        // An item not closed before the next header: the extraction's rules for that go by lines.
        if (open_ || l.begin - end_ > UINT32_MAX) return incomplete();
        note_ = ItemNote{uint32_t(l.begin - end_), 0, key};
        begin_ = l.begin;
        open_ = true;
    }
    void id(uint16_t v) {
        if (open_) note_.id = v;
    }
    void x(uint16_t v) {
        if (open_) note_.cell = uint8_t((note_.cell & ~7u) | (v & 7u));
    }
    void y(uint16_t v) {
        if (open_) note_.cell = uint8_t((note_.cell & 7u) | (v & 7u) << 3);
    }
    void z(int32_t v) {
        if (open_) note_.z = int8_t(uint8_t(uint32_t(v)));
    }
    // The extraction reads COLOR of the items it takes and would refuse a bad one; the scan
    // must not refuse it for an item that stays, so a bad one sends the extraction to the lines.
    void color(std::string_view afterTag) {
        if (!open_) return;
        int32_t v = 0;
        if (!wstext::tryParseValue(afterTag, v)) return incomplete();
        note_.color = uint16_t(uint32_t(v));
    }
    void closing(const Line& l) {
        if (!open_) return;
        open_ = false;
        if (l.end - begin_ > UINT32_MAX) return incomplete();
        note_.length = uint32_t(l.end - begin_);
        end_ = l.end;
        digest_.items.push_back(note_);
    }
    void finish() {
        if (open_) incomplete();
    }

private:
    void incomplete() {
        digest_.complete = false;
        open_ = false;
        digest_.items = {};
    }
    ItemDigest& digest_;
    ItemNote note_;
    uint64_t begin_ = 0, end_ = 0;  // of the open item, and where the last one ended
    bool open_ = false;
};

// The scan over the lines of a text in memory (LineReader) or of a file read in chunks;
// selected(section, entry) takes each selected item. The lines begin at the file's start or
// at a world item's header, where the scan knows nothing of the lines before.
// What the scan knows of the item it is in; a world item's header sets all of it.
struct ScanState {
    uint16_t section = NoSection;
    uint16_t id = 0, x = 0, y = 0, type = 0;
    int32_t container = 0;
    bool nameIsHash = false;  // the "auto" rule only asks whether the name is exactly "#"
};

template <class Lines, class Selected, class Notes>
void scanLines(Lines& reader, SelectionRule rule, const AutoSelectIds& autoIds, const Progress& progress,
               TextMap* map, Selected&& selected, Notes&& notes, ScanState& state) {
    constexpr bool noting = std::is_same_v<std::decay_t<Notes>, ItemNotes>;
    uint16_t section = state.section;
    uint16_t id = state.id, x = state.x, y = state.y, type = state.type;
    int32_t container = state.container;
    bool nameIsHash = state.nameIsHash;

    Line line;
    size_t lines = 0;
    while (reader.next(line)) {
        if (++lines % PumpEveryLines == 0) progress.pumpEvents();
        const std::string_view s = line.text;
        if (map && !line.crlf) map->allCrlf = false;
        if constexpr (noting) notes.line(line);
        if (s.empty()) continue;
        switch (wstext::upperAscii(s[0])) {
        case 'S':
            if (startsWithNoCase(s, "SECTION CHARACTER ") || startsWithNoCase(s, "SECTION GUILD ")) {
                section = NoSection;
            } else if (startsWithNoCase(s, WorldItemHeader)) {
                section = uint16_t(uint32_t(parseValue(s.substr(WorldItemWord))) & 0xFFFF);
                if (map) map->sections.push_back({line.begin, section});
                if constexpr (noting) notes.header(line, section);
                id = x = y = type = 0;
                container = 0;
                nameIsHash = false;
            }
            break;
        case 'N':
            if (startsWithNoCase(s, "NAME ")) nameIsHash = wstext::trimBlanks(s.substr(5)) == "#";
            break;
        case 'I':
            if (startsWithNoCase(s, "ID ")) {
                id = uint16_t(uint32_t(parseValue(s.substr(3))));
                if constexpr (noting) notes.id(id);
            }
            break;
        case 'X':
            if (startsWithNoCase(s, "X ")) {
                x = uint16_t(uint32_t(parseValue(s.substr(2))));
                if constexpr (noting) notes.x(x);
            }
            break;
        case 'Y':
            if (startsWithNoCase(s, "Y ")) {
                y = uint16_t(uint32_t(parseValue(s.substr(2))));
                if constexpr (noting) notes.y(y);
            }
            break;
        case 'Z':
            // Read (a bad value is an error) but not used for the selection.
            if (startsWithNoCase(s, "Z ")) {
                const int32_t z = parseValue(s.substr(2));
                if constexpr (noting) notes.z(z);
            }
            break;
        case 'C':
            if (startsWithNoCase(s, "CONT ")) container = parseValue(s.substr(5));
            else if constexpr (noting) {
                if (startsWithNoCase(s, "COLOR ")) notes.color(s.substr(6));
            }
            break;
        case 'T':
            if (startsWithNoCase(s, "TYPE ")) type = uint16_t(uint32_t(parseValue(s.substr(5))));
            break;
        case '}':
            if (section != NoSection) {
                bool chosen = false;
                if (rule == SelectionRule::Type255) chosen = type == 255;
                else if (rule == SelectionRule::Auto)
                    chosen = container == -1 && (type == 255 || (type == 0 && nameIsHash && autoIds[id]));
                if (chosen) selected(section, TSelectionEntry{1, uint16_t(x / 8), uint16_t(y / 8)});
            }
            section = NoSection;
            if constexpr (noting) notes.closing(line);
            break;
        default:
            break;
        }
    }
    state = ScanState{section, id, x, y, type, container, nameIsHash};
}

// Marks a selected item in the table and logs it.
struct MarkAndLog {
    SelectionTable& table;
    const LogSink& log;
    void operator()(uint16_t section, const TSelectionEntry& entry) const {
        table[section] = entry;
        if (log) log(selectingMessage(section));
    }
};

template <class Lines, class Notes = NoNotes>
void selectLines(Lines& reader, SelectionTable& table, SelectionRule rule, const AutoSelectIds& autoIds,
                 const LogSink& log, const Progress& progress, TextMap* map, Notes&& notes = Notes{}) {
    table.clear();
    if (map) *map = TextMap{};
    ScanState state;
    scanLines(reader, rule, autoIds, progress, map, MarkAndLog{table, log}, notes, state);
    if constexpr (std::is_same_v<std::decay_t<Notes>, ItemNotes>) notes.finish();
}

} // namespace

void selectItems(std::string_view text, SelectionTable& table, SelectionRule rule, const AutoSelectIds& autoIds,
                 const LogSink& log, const Progress& progress, TextMap* map) {
    LineReader reader(text);
    selectLines(reader, table, rule, autoIds, log, progress, map);
}

void selectItems(wstext::ChunkedLineReader& reader, SelectionTable& table, SelectionRule rule,
                 const AutoSelectIds& autoIds, const LogSink& log, const Progress& progress, TextMap* map) {
    reader.rewind();
    selectLines(reader, table, rule, autoIds, log, progress, map);
}

void selectItems(wstext::ChunkedLineReader& reader, SelectionTable& table, SelectionRule rule,
                 const AutoSelectIds& autoIds, const LogSink& log, const Progress& progress, ItemDigest& digest) {
    reader.rewind();
    selectLines(reader, table, rule, autoIds, log, progress, nullptr, ItemNotes(digest));
}

namespace {

// The lines of a text in memory that starts at file offset `base`, begin and end as file offsets.
class OffsetLines {
public:
    OffsetLines(std::string_view text, uint64_t base) : reader_(text), base_(size_t(base)) {}
    bool next(Line& line) {
        if (!reader_.next(line)) return false;
        line.begin += base_;
        line.end += base_;
        return true;
    }

private:
    LineReader reader_;
    size_t base_;
};

// The first line starting at or after `from` (a line start) that is a world item's header.
size_t headerFrom(std::string_view text, size_t from) {
    for (size_t at = from; at < text.size();) {
        if (startsWithNoCase(text.substr(at), WorldItemHeader)) return at;
        const size_t lf = text.find('\n', at);
        if (lf == std::string_view::npos) break;
        at = lf + 1;
    }
    return std::string_view::npos;
}

} // namespace

void selectItemsInParts(File& file, SelectionTable& table, SelectionRule rule, const AutoSelectIds& autoIds,
                        const LogSink& log, const Progress& progress, ItemDigest& digest, size_t block,
                        size_t minSplit) {
    table.clear();
    ItemNotes notes(digest);
    // Room for the items of a file of small ones, taken at once; only what is filled costs.
    digest.items.reserve(size_t(file.size() / 64));
    ScanState state;
    const MarkAndLog mark{table, log};
    LargeBuffer buffer(block);
    size_t filled = 0;
    uint64_t base = 0;  // file offset of buffer[0]
    bool atEnd = false;
    ItemDigest partDigest;
    partDigest.items.reserve(block / 64);
    std::vector<std::pair<uint16_t, TSelectionEntry>> partSelected;
    for (;;) {
        while (!atEnd && filled < buffer.size()) {
            const size_t n = file.readSome(buffer.get() + filled, buffer.size() - filled);
            if (n == 0) atEnd = true;
            filled += n;
        }
        const std::string_view text(buffer.get(), filled);
        size_t cut = filled;  // the whole lines read so far
        if (!atEnd) {
            const size_t lf = text.rfind('\n');
            if (lf == std::string_view::npos) {
                // A line longer than the buffer: make room for it.
                LargeBuffer wider(buffer.size() * 2);
                std::memcpy(wider.get(), buffer.get(), filled);
                buffer = std::move(wider);
                continue;
            }
            cut = lf + 1;
        }
        const std::string_view lines = text.substr(0, cut);
        // The second part starts at a world item's header about halfway: the scan knows
        // nothing there of the lines before, so the two parts can be read at once.
        size_t split = std::string_view::npos;
        if (lines.size() >= minSplit) {
            const size_t middle = lines.find('\n', lines.size() / 2);
            if (middle != std::string_view::npos) split = headerFrom(lines, middle + 1);
        }
        ScanState partState;
        std::exception_ptr partFailure;
        partSelected.clear();
        std::optional<ItemNotes> partNotes;
        std::thread second;
        if (split != std::string_view::npos) {
            partNotes.emplace(partDigest, base + split);
            second = std::thread([&] {
                try {
                    OffsetLines part(lines.substr(split), base + split);
                    const auto keep = [&](uint16_t section, const TSelectionEntry& e) {
                        partSelected.emplace_back(section, e);
                    };
                    scanLines(part, rule, autoIds, Progress{}, nullptr, keep, *partNotes, partState);
                } catch (...) {
                    partFailure = std::current_exception();
                }
            });
        }
        try {
            OffsetLines part(lines.substr(0, split == std::string_view::npos ? cut : split), base);
            scanLines(part, rule, autoIds, progress, nullptr, mark, notes, state);
        } catch (...) {
            if (second.joinable()) second.join();
            throw;
        }
        if (second.joinable()) {
            second.join();
            // The second part's items, logged in file order after the first part's.
            for (const auto& [section, entry] : partSelected) mark(section, entry);
            if (partFailure) std::rethrow_exception(partFailure);
            notes.join(*partNotes, base + split);
            state = partState;
        }
        std::memmove(buffer.get(), buffer.get() + cut, filled - cut);
        base += cut;
        filled -= cut;
        if (atEnd && filled == 0) break;
    }
    notes.finish();
}

namespace {

struct Pending {
    uint32_t pass = 0;
    uint16_t id = 0, x = 0, y = 0, color = 0;
    int8_t z = 0;
};

// Every block takes its items out in its own pass over what earlier blocks left.
// Simulated in one pass: `open` holds, earliest pass first, the passes that are inside an
// item being taken out. A header of pass T's item restarts every earlier pass (they see
// that header) while later passes never see it; any other line goes to the earliest open
// pass. In a well-formed file at most one pass is open at a time.
class Extractor {
public:
    Extractor(const std::vector<uint32_t>& targets, std::vector<ExtractedRecord>& records)
        : targets_(targets), records_(records) {}

    bool idle() const { return open_.empty(); }

    // A header line; false when its item stays (the line is to be kept).
    bool header(uint16_t key) {
        const uint32_t target = targets_[key];
        if (target == NoTarget) {
            open_.clear();
            return false;
        }
        size_t earlier = 0;
        while (earlier < open_.size() && open_[earlier].pass < target) ++earlier;
        open_.erase(open_.begin(), open_.begin() + std::ptrdiff_t(earlier));
        if (!open_.empty() && open_.front().pass == target) open_.front() = Pending{target};
        else open_.insert(open_.begin(), Pending{target});
        return true;
    }

    // Any other line while a pass is open: it leaves the file; its tags go to the item.
    void takenLine(std::string_view s) {
        Pending& item = open_.front();
        if (startsWithNoCase(s, "ID ")) item.id = uint16_t(uint32_t(parseValue(s.substr(3))));
        else if (startsWithNoCase(s, "X ")) item.x = uint16_t(uint32_t(parseValue(s.substr(2))));
        else if (startsWithNoCase(s, "Y ")) item.y = uint16_t(uint32_t(parseValue(s.substr(2))));
        else if (startsWithNoCase(s, "Z ")) item.z = int8_t(uint8_t(uint32_t(parseValue(s.substr(2)))));
        else if (startsWithNoCase(s, "COLOR ")) item.color = uint16_t(uint32_t(parseValue(s.substr(6))));
        else if (!s.empty() && s[0] == '}') {
            ExtractedRecord r;
            r.pass = item.pass;
            r.rec.ItemId = item.id;
            r.rec.X = uint8_t(item.x % 8);
            r.rec.Y = uint8_t(item.y % 8);
            r.rec.Z = item.z;
            r.rec.Color = item.color;
            records_.push_back(r);
            open_.erase(open_.begin());
        }
    }

private:
    const std::vector<uint32_t>& targets_;
    std::vector<ExtractedRecord>& records_;
    std::vector<Pending> open_;
};

uint16_t headerKey(std::string_view s) { return uint16_t(uint32_t(parseValue(s.substr(WorldItemWord))) & 0xFFFF); }

// Every line read and judged; kept lines re-ended in CRLF.
template <class Lines, class Writer>
void extractLines(Lines& reader, Extractor& extractor, Writer& out, const Progress& progress) {
    Line line;
    size_t lines = 0;
    while (reader.next(line)) {
        if (++lines % PumpEveryLines == 0) progress.pumpEvents();
        const std::string_view s = line.text;
        if (startsWithNoCase(s, WorldItemHeader)) {
            if (!extractor.header(headerKey(s))) out.keepLine(line);
            continue;
        }
        if (extractor.idle()) out.keepLine(line);
        else extractor.takenLine(s);
    }
    out.flush();
}

} // namespace

void extractItems(std::string_view text, const std::vector<uint32_t>& targets, wstext::TextWriter& out,
                  std::vector<ExtractedRecord>& records, const Progress& progress, const TextMap* map) {
    Extractor extractor(targets, records);
    if (map && map->allCrlf) {
        // Between two headers, lines are read only while an item is being taken out; the
        // rest of the stretch is copied as it is (it already ends its lines in CRLF).
        const auto& sections = map->sections;
        out.keepBytes(0, sections.empty() ? text.size() : sections.front().offset);
        for (size_t i = 0; i < sections.size(); ++i) {
            if (i % 4096 == 4095) progress.pumpEvents();
            const size_t end = i + 1 < sections.size() ? sections[i + 1].offset : text.size();
            LineReader reader(text.substr(0, end));
            reader.seek(sections[i].offset);
            Line line;
            reader.next(line);
            if (!extractor.header(sections[i].key)) {
                out.keepBytes(sections[i].offset, end);
                continue;
            }
            while (!extractor.idle() && reader.next(line)) extractor.takenLine(line.text);
            if (extractor.idle()) out.keepBytes(line.end, end);
        }
        out.flush();
        return;
    }

    LineReader reader(text);
    extractLines(reader, extractor, out, progress);
}

void extractItems(wstext::ChunkedLineReader& reader, const std::vector<uint32_t>& targets,
                  wstext::StreamTextWriter& out, std::vector<ExtractedRecord>& records, const Progress& progress,
                  const TextMap* map) {
    Extractor extractor(targets, records);
    reader.rewind();
    if (!(map && map->allCrlf)) {
        extractLines(reader, extractor, out, progress);
        return;
    }
    // As above: only the taken items' lines are read; the stretches between go out as they are.
    constexpr uint64_t ToTheEnd = UINT64_MAX;
    const auto keep = [&out](const char* data, size_t n) { out.append(data, n); };
    const auto& sections = map->sections;
    reader.copyTo(sections.empty() ? ToTheEnd : sections.front().offset, keep);
    Line line;
    for (size_t i = 0; i < sections.size(); ++i) {
        if (i % 4096 == 4095) progress.pumpEvents();
        const uint64_t end = i + 1 < sections.size() ? sections[i + 1].offset : ToTheEnd;
        reader.next(line);
        if (!extractor.header(sections[i].key)) {
            out.keepLine(line);
            reader.copyTo(end, keep);
            continue;
        }
        while (!extractor.idle() && reader.position() < end && reader.next(line)) extractor.takenLine(line.text);
        if (extractor.idle()) reader.copyTo(end, keep);
    }
    out.flush();
}

void takenRecords(const ItemDigest& digest, const std::vector<uint32_t>& targets,
                  LargeVector<ExtractedRecord>& records) {
    size_t taken = 0;
    for (const ItemNote& n : digest.items) taken += targets[n.key] != NoTarget;
    records.clear();
    records.reserve(taken);
    for (const ItemNote& n : digest.items) {
        const uint32_t pass = targets[n.key];
        if (pass == NoTarget) continue;
        ExtractedRecord r;
        r.pass = pass;
        r.rec.ItemId = n.id;
        r.rec.X = uint8_t(n.cell & 7);
        r.rec.Y = uint8_t(n.cell >> 3 & 7);
        r.rec.Z = n.z;
        r.rec.Color = n.color;
        records.push_back(r);
    }
}

void writeKept(wstext::ChunkedLineReader& reader, const ItemDigest& digest, const std::vector<uint32_t>& targets,
               wstext::StreamTextWriter& out, const Progress& progress) {
    reader.rewind();
    const auto append = [&out](const char* data, size_t n) { out.append(data, n); };
    // The kept bytes up to file offset `end` (a line start): as they are, or line by line
    // re-ended in CRLF.
    const auto keep = [&](uint64_t end) {
        if (digest.allCrlf) return reader.copyTo(end, append);
        Line line;
        while (reader.position() < end && reader.next(line)) out.keepLine(line);
    };
    uint64_t at = 0;  // end of the item before
    size_t n = 0;
    for (const ItemNote& note : digest.items) {
        if (++n % 4096 == 0) progress.pumpEvents();
        const uint64_t begin = at + note.gap;
        at = begin + note.length;
        if (targets[note.key] == NoTarget) continue;
        keep(begin);
        reader.skipTo(at);
    }
    keep(UINT64_MAX);
    out.flush();
}

} // namespace detail

void SelectWorldItems(std::string_view text, SelectionTable& table, SelectionRule rule, const AutoSelectIds& autoIds,
                      const LogSink& log) {
    detail::selectItems(text, table, rule, autoIds, log, Progress{});
}

void SelectWorldItems(const std::string& path, SelectionTable& table, SelectionRule rule, const AutoSelectIds& autoIds,
                      const LogSink& log) {
    const std::string text = readWholeFile(path);
    aboutFile(path, [&] { detail::selectItems(text, table, rule, autoIds, log, Progress{}); });
}


} // namespace tq
