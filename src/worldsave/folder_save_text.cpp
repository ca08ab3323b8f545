#include "worldsave/folder_save_text.h"

#include "core/error.h"
#include "worldsave/world_save_text.h"

#include <array>

namespace tq::wsc {

namespace {

bool equalNoCase(std::string_view a, std::string_view upper) {
    if (a.size() != upper.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (wstext::upperAscii(a[i]) != upper[i]) return false;
    return true;
}

// Blanks around keys and values are not significant; CR is taken off with the line end.
std::string_view trim(std::string_view s) { return wstext::trimBlanks(s); }

std::optional<Value>* slotOf(Record& r, std::string_view key) {
    switch (key.size()) {
    case 2:
        if (equalNoCase(key, "ID")) return &r.id;
        break;
    case 4:
        if (equalNoCase(key, "CONT")) return &r.cont;
        if (equalNoCase(key, "TYPE")) return &r.type;
        break;
    case 5:
        if (equalNoCase(key, "COLOR")) return &r.colour;
        break;
    case 6:
        if (equalNoCase(key, "SERIAL")) return &r.serial;
        if (equalNoCase(key, "COLOUR")) return &r.colour;
        break;
    case 8:
        if (equalNoCase(key, "LOCATION")) return &r.location;
        break;
    }
    return nullptr;
}

} // namespace

bool Record::isKind(std::string_view upperKind) const { return equalNoCase(kind, upperKind); }

Text parseText(std::string_view text) {
    std::vector<Record> records;
    Text out = forEachRecord(text, [&](const Record& r) { records.push_back(r); });
    out.records = std::move(records);
    return out;
}

Text forEachRecord(std::string_view text, const std::function<void(const Record&)>& visit) {
    Text out;
    wstext::LineReader reader(text);
    wstext::Line line;
    bool first = true;
    Record current;
    Record* open = nullptr;   // the record whose "o---o" has not come yet
    bool closedLast = false;  // the previous line closed `current`: it waits for a blank line
    uint32_t number = 0;
    while (reader.next(line)) {
        ++number;
        if (first) {
            out.crlf = line.crlf;
            first = false;
        }
        const std::string_view t = trim(line.text);
        if (closedLast) {
            closedLast = false;
            const bool blank = line.text.empty();
            if (blank) current.end = line.end;
            visit(current);
            if (blank) continue;
        }
        // As the server reads: a record runs from its header to the next "o---o", so a
        // header-like line inside one is just one of its lines.
        if (!open && t.size() >= 2 && t.front() == '[' && t.back() == ']') {
            current = Record{};
            current.kind = trim(t.substr(1, t.size() - 2));
            current.begin = line.begin;
            current.end = line.end;
            current.line = number;
            open = &current;
            continue;
        }
        if (!open) continue;
        open->end = line.end;
        if (t == RecordEnd) {
            open->closed = true;
            open = nullptr;
            closedLast = true;
            continue;
        }
        if (t.size() >= 2 && t[0] == '/' && t[1] == '/') continue;
        const size_t eq = t.find('=');
        if (eq == std::string_view::npos) continue;  // a key without value ("PoisonCharges")
        if (auto* slot = slotOf(*open, trim(t.substr(0, eq)))) *slot = Value{trim(t.substr(eq + 1)), number};
    }
    if (open || closedLast) visit(current);  // the last record, closed or not
    out.endsWithNewline = text.empty() || text.back() == '\n';
    return out;
}

namespace {

// A hexadecimal digit's value, or 0xFF for any other byte: one look-up rather than a branch
// for each kind of digit (a save's serials and ids have them in any mix).
constexpr std::array<uint8_t, 256> HexDigits = [] {
    std::array<uint8_t, 256> digits{};
    digits.fill(0xFF);
    for (int c = 0; c < 10; ++c) digits[size_t('0' + c)] = uint8_t(c);
    for (int c = 0; c < 6; ++c) digits[size_t('a' + c)] = digits[size_t('A' + c)] = uint8_t(10 + c);
    return digits;
}();

} // namespace

std::optional<uint32_t> parseNumber(std::string_view text) {
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (negative) ++i;
    const bool hex = text.size() >= i + 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X');
    if (hex) i += 2;
    if (i == text.size()) return std::nullopt;
    // A byte that is no digit of the base sets `bad`; the value is refused as soon as it
    // passes 32 bits (so it never passes 64). Hexadecimal digits are shifted in: no
    // multiplication stands in the chain from one digit to the next.
    uint64_t value = 0;
    uint32_t bad = 0;
    if (hex) {
        for (; i < text.size(); ++i) {
            const uint32_t d = HexDigits[static_cast<unsigned char>(text[i])];
            bad |= d >> 4;
            value = value << 4 | (d & 15);
            if (value > 0xFFFFFFFFull) return std::nullopt;
        }
    } else {
        for (; i < text.size(); ++i) {
            const uint32_t d = uint32_t(static_cast<unsigned char>(text[i])) - '0';
            bad |= d > 9;
            value = value * 10 + (d & 15);
            if (value > 0xFFFFFFFFull) return std::nullopt;
        }
    }
    if (bad) return std::nullopt;
    return negative ? uint32_t(0u - uint32_t(value)) : uint32_t(value);
}

uint32_t requireNumber(const Value& value, const std::string& path, std::string_view key) {
    if (auto n = parseNumber(value.text)) return *n;
    throw Error(path + ": line " + std::to_string(value.line) + ": '" + std::string(value.text) +
                "' is not a valid number for " + std::string(key));
}

Location requireLocation(const Value& value, const std::string& path) {
    Location l;
    int64_t* signedParts[] = {&l.x, &l.y, &l.z};
    std::string_view rest = value.text;
    int parts = 0;
    bool ok = true;
    while (ok) {
        const size_t comma = rest.find(',');
        const std::string_view part = trim(rest.substr(0, comma));
        const std::optional<uint32_t> n = part.size() <= 12 ? parseNumber(part) : std::nullopt;
        if (!n || parts == 5) {
            ok = false;
            break;
        }
        // x, y and z may be written negative; "-1" reads as 2^32-1 and is taken back here.
        if (parts < 3) *signedParts[parts] = part[0] == '-' ? -int64_t(uint32_t(0u - *n)) : int64_t(*n);
        else if (parts == 3) l.world = *n;
        else l.instance = *n;
        ++parts;
        if (comma == std::string_view::npos) break;
        rest = rest.substr(comma + 1);
    }
    if (!ok || parts < 3)
        throw Error(path + ": line " + std::to_string(value.line) + ": '" + std::string(value.text) +
                    "' is not a valid Location (x,y,z,world,instance)");
    return l;
}

std::string hexNumber(uint32_t value, int digits) {
    static const char* const Digits = "0123456789abcdef";
    std::string hex;
    do {
        hex.insert(hex.begin(), Digits[value & 15]);
        value >>= 4;
    } while (value != 0);
    while (int(hex.size()) < digits) hex.insert(hex.begin(), '0');
    return "0x" + hex;
}

bool isWscFileName(std::string_view name) {
    return name.size() > FileExtension.size() &&
           equalNoCase(name.substr(name.size() - FileExtension.size()), ".WSC");
}

std::string regionFileName(int x, int y) {
    return std::to_string(x / RegionCellsWide) + "." + std::to_string(y / RegionCellsHigh) + std::string(FileExtension);
}

} // namespace tq::wsc
