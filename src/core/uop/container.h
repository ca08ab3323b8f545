#pragma once
#include "core/progress.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// UOP containers: a header, a chain of tables of entry slots, and each table's entries'
// bytes after it. Entries are found by the hash of their name (core/uop/lookup3.h).
namespace tq {
class File;
}

namespace tq::uop {

inline constexpr uint32_t Magic = 0x0050594D;  // "MYP\0"
inline constexpr uint32_t Version = 5;
inline constexpr uint32_t Signature = 0xFD23EC43;
inline constexpr uint64_t HeaderSize = 0x28;
inline constexpr uint64_t FirstTableOffset = 0x200;  // where packers put the first table
inline constexpr int32_t TableCapacity = 100;
inline constexpr uint64_t TableHeaderSize = 12;  // i32 entry count, i64 next table
inline constexpr uint64_t SlotSize = 34;
inline constexpr uint64_t SlotAdlerOffset = 28;  // of the Adler-32 within a slot

enum Compression : uint16_t { Stored = 0, Zlib = 1 };

// One entry as its table slot describes it, checked against the file.
struct Entry {
    uint64_t offset = 0;        // of the entry (its header, then its data)
    uint32_t headerLength = 0;  // bytes before the data
    uint32_t storedSize = 0;
    uint32_t unpackedSize = 0;
    uint64_t hash = 0;
    uint32_t adler = 0;  // of the stored bytes
    uint16_t compression = 0;
    uint64_t slotOffset = 0;  // where its slot lies in the file
    int table = 0;            // for messages: table and slot, counted from 0
    int slot = 0;

    uint64_t dataOffset() const { return offset + headerLength; }
    // "table 0, slot 5 (hash 0x...)"
    std::string describe() const;
};

// The entries of a container, read and checked before any is used: every table and entry
// lies within the file, no table is met twice, no two tables or entries share a byte, no
// count exceeds its table's capacity, no two entries have one hash. Any fault throws an
// Error naming the file and the fault.
class Container {
public:
    static Container read(File& file, const std::string& path);

    const std::string& path() const { return path_; }
    uint64_t fileLength() const { return length_; }
    const std::vector<Entry>& entries() const { return entries_; }
    // Null when no entry has that hash (name).
    const Entry* find(uint64_t hash) const;
    const Entry* find(std::string_view name) const;

    // The entry's unpacked bytes: stored ones as they are, zlib ones inflated. Any other
    // compression is refused, naming the file and the entry (`name` when the caller knows it).
    std::vector<uint8_t> readEntry(File& file, const Entry& entry, std::string_view name = {}) const;
    // Throws unless the entry's compression is one this program reads.
    void requireReadable(const Entry& entry, std::string_view name = {}) const;

private:
    std::string path_;
    uint64_t length_ = 0;
    std::vector<Entry> entries_;  // sorted by hash
};

// zlib's Adler-32.
uint32_t adler32(const uint8_t* bytes, size_t n);
// The Adler-32 of `length` bytes after the byte at `position` changed from `before` to
// `after`, from their old Adler-32: O(1), so in-place writes keep entries valid cheaply.
uint32_t adler32Patch(uint32_t adler, uint64_t length, uint64_t position, uint8_t before, uint8_t after);

// A container to write: `count` entries, named by `name(i)`, whose bytes `bytes(i, out)` gives.
// They are written stored (uncompressed) in this order.
struct NewEntries {
    size_t count = 0;
    std::function<std::string(size_t)> name;
    std::function<void(size_t, std::vector<uint8_t>&)> bytes;
};

// Writes a whole container atomically: the header, then tables of TableCapacity slots, each
// followed by its entries' bytes, each entry with its Adler-32.
void writeContainer(const std::string& path, const NewEntries& entries, const Progress& progress = {});

} // namespace tq::uop
