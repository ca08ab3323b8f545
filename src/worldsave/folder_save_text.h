#pragma once
// Today's server save: a folder of "<cx>.<cy>.wsc" region files (and "overflow.wsc"), each a
// text of records: a header line "[ITEM]" (or "[CHARACTER]", "[SPAWNITEM]", ...), "Key=Value"
// lines, and a line "o---o" that ends the record. We read only the keys freeze and melt need
// and keep every other byte where it is, so a file we rewrite differs from the old one only
// in the records that moved.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tq::wsc {

inline constexpr std::string_view RecordEnd = "o---o";
inline constexpr std::string_view ItemKind = "ITEM";
inline constexpr std::string_view FileExtension = ".wsc";
inline constexpr std::string_view OverflowFileName = "overflow.wsc";
// The cells one region file covers: cx = x div 256, cy = y div 1024.
inline constexpr int RegionCellsWide = 256;
inline constexpr int RegionCellsHigh = 1024;
// The areas of "<cx>.<cy>.wsc" files (cx 0..27, cy 0..3); objects beyond go to overflow.wsc.
inline constexpr int RegionsWide = 28;
inline constexpr int RegionsHigh = 4;
inline constexpr uint32_t NotInContainer = 0xFFFFFFFFu;
inline constexpr uint32_t FirstItemSerial = 0x40000000u;
// The server never hands out this serial: it means "no object".
inline constexpr uint32_t InvalidSerial = 0xFFFFFFFFu;

// A value as written: trimmed text and the line it stands on (1-based), for messages.
struct Value {
    std::string_view text;
    uint32_t line = 0;
};

// One record. [begin, end) runs from its header line to the end of its "o---o" line and,
// when the next line is empty, that line too (the blank line that separates records), so
// removing the range leaves the file as it would be had the record never been written.
struct Record {
    std::string_view kind;  // between the brackets, trimmed, as written
    size_t begin = 0, end = 0;
    uint32_t line = 0;      // of the header
    bool closed = false;    // ended by "o---o" (not by the end of the text); only closed ones move
    std::optional<Value> serial, id, colour, cont, type, location;
    bool isKind(std::string_view upperKind) const;
};

struct Text {
    std::vector<Record> records;
    // The line ending the file uses (its first one); LF when it has no line end at all.
    bool crlf = false;
    bool endsWithNewline = true;  // empty text counts as ending with one
};

// Reads the records of a region file. Never throws: numbers are read by the callers, which
// name the file. A record runs from its header to the next "o---o" line, whatever lies between. Keys are case-insensitive; "Color" is read as "Colour"; a line whose first
// non-blank characters are "//" is a comment; a line without "=" is a key without value.
Text parseText(std::string_view text);
// The same, one record at a time without keeping them (a save holds millions); the record
// passed is complete (its range, its values). Returns the shape (`records` left empty).
Text forEachRecord(std::string_view text, const std::function<void(const Record&)>& visit);

// A number as the server reads it: "0x" or "0X" and hexadecimal digits, or decimal digits,
// either with an optional leading "-" (taken modulo 2^32); at most 32 bits. Nullopt when the
// text is not such a number.
std::optional<uint32_t> parseNumber(std::string_view text);
// parseNumber, or throws "<path>: line <n>: '<text>' is not a valid number for <key>".
uint32_t requireNumber(const Value& value, const std::string& path, std::string_view key);

struct Location {
    int64_t x = 0, y = 0, z = 0;
    uint32_t world = 0, instance = 0;
};
// "x,y,z,world,instance" (world and instance may be missing: 0). Throws
// "<path>: line <n>: '<text>' is not a valid Location (x,y,z,world,instance)".
Location requireLocation(const Value& value, const std::string& path);

// "0x40000000": lower-case hexadecimal with at least `digits` digits.
std::string hexNumber(uint32_t value, int digits);

// True for a name ending in ".wsc" (any case): every such file of the folder is part of the save.
bool isWscFileName(std::string_view name);
// "<cx>.<cy>.wsc" of the region file that holds cell (x, y).
std::string regionFileName(int x, int y);

} // namespace tq::wsc
