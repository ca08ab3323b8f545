#include "core/uop/container.h"

#include "core/atomic_file.h"
#include "core/bytes.h"
#include "core/error.h"
#include "core/facets.h"
#include "core/file_system.h"
#include "core/uop/lookup3.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <set>

namespace tq::uop {

namespace {

uint64_t u64(const uint8_t* p) { return uint64_t(le::u32(p)) | (uint64_t(le::u32(p + 4)) << 32); }
void put64(uint8_t* p, uint64_t v) {
    le::put32(p, uint32_t(v));
    le::put32(p + 4, uint32_t(v >> 32));
}

std::string hex(uint64_t v, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%0*llX", digits, static_cast<unsigned long long>(v));
    return text;
}

[[noreturn]] void refuse(const std::string& path, const std::string& problem) {
    throw Error(path + ": " + problem, path);
}

// zlib never packs more than about 1032 bytes into one; an unpacked size beyond that is a
// lie that would only make us allocate.
constexpr uint64_t MaxInflateRatio = 1032;

struct Range {
    uint64_t begin, end;
    std::string what;
};

} // namespace

std::string Entry::describe() const {
    return "table " + std::to_string(table) + ", slot " + std::to_string(slot) + " (hash " + hex(hash, 16) + ")";
}

uint32_t adler32(const uint8_t* bytes, size_t n) {
    uLong a = ::adler32(0L, Z_NULL, 0);
    // zlib takes 32-bit lengths; feed it in pieces.
    while (n > 0) {
        const size_t piece = std::min<size_t>(n, 1u << 30);
        a = ::adler32(a, bytes, uInt(piece));
        bytes += piece;
        n -= piece;
    }
    return uint32_t(a);
}

uint32_t adler32Patch(uint32_t adler, uint64_t length, uint64_t position, uint8_t before, uint8_t after) {
    // A = 1 + sum d[i] and B = length + sum (length - i) * d[i], both mod 65521: a byte's
    // change moves A by its difference and B by that times (length - position).
    constexpr int64_t Mod = 65521;
    const int64_t delta = int64_t(after) - int64_t(before);
    int64_t a = int64_t(adler & 0xFFFF), b = int64_t(adler >> 16);
    a = ((a + delta) % Mod + Mod) % Mod;
    b = ((b + int64_t((length - position) % Mod) * delta) % Mod + Mod) % Mod;
    return uint32_t((b << 16) | a);
}

Container Container::read(File& file, const std::string& path) {
    Container c;
    c.path_ = path;
    c.length_ = file.size();
    if (c.length_ < HeaderSize) refuse(path, "not a UOP container: it is shorter than a container header");
    uint8_t header[HeaderSize];
    file.seek(0);
    file.read(header, sizeof header);
    if (le::u32(header) != Magic) refuse(path, "not a UOP container: it does not start with MYP");
    uint64_t tableOffset = u64(header + 12);
    const int32_t capacity = le::i32(header + 20);
    if (capacity <= 0) refuse(path, "the container's table capacity is " + std::to_string(capacity));
    const uint64_t tableBytes = TableHeaderSize + uint64_t(capacity) * SlotSize;

    if (tableBytes > c.length_)
        refuse(path, "the container's tables of " + groupedNumber(uint64_t(capacity)) +
                         " entries are larger than the file (" + groupedNumber(c.length_) + " bytes)");
    std::vector<Range> used{{0, HeaderSize, "the container header"}};
    std::set<uint64_t> seen;
    std::vector<uint8_t> table(tableBytes);
    int t = 0;
    if (tableOffset == 0) refuse(path, "the container header gives no first table (offset 0)");
    while (tableOffset != 0) {
        const std::string where = "table " + std::to_string(t) + " at " + groupedNumber(tableOffset);
        if (!seen.insert(tableOffset).second)
            refuse(path, "the tables loop: " + where + " was met before");
        if (tableOffset < HeaderSize) refuse(path, where + " lies inside the container header");
        if (tableOffset > c.length_ || c.length_ - tableOffset < tableBytes)
            refuse(path, where + " runs past the end of the file (" + groupedNumber(c.length_) + " bytes)");
        used.push_back({tableOffset, tableOffset + tableBytes, where});
        file.seek(tableOffset);
        file.read(table.data(), table.size());
        const int32_t count = le::i32(table.data());
        if (count < 0 || count > capacity)
            refuse(path, where + " counts " + std::to_string(count) + " entries; it has room for " +
                             std::to_string(capacity));
        for (int s = 0; s < count; ++s) {
            const uint8_t* slot = table.data() + TableHeaderSize + uint64_t(s) * SlotSize;
            Entry e;
            e.offset = u64(slot);
            if (e.offset == 0) continue;  // an empty slot; later ones may still be used
            e.table = t;
            e.slot = s;
            const int32_t headerLength = le::i32(slot + 8), stored = le::i32(slot + 12), unpacked = le::i32(slot + 16);
            e.hash = u64(slot + 20);
            e.adler = le::u32(slot + 28);
            e.compression = le::u16(slot + 32);
            e.slotOffset = tableOffset + TableHeaderSize + uint64_t(s) * SlotSize;
            if (headerLength < 0 || stored < 0 || unpacked < 0)
                refuse(path, "entry " + e.describe() + " has a negative size");
            e.headerLength = uint32_t(headerLength);
            e.storedSize = uint32_t(stored);
            e.unpackedSize = uint32_t(unpacked);
            const uint64_t end = e.offset + e.headerLength + e.storedSize;
            if (e.offset > c.length_ || end > c.length_)
                refuse(path, "entry " + e.describe() + " at " + groupedNumber(e.offset) + " (" +
                                 groupedNumber(end - e.offset) + " bytes) runs past the end of the file (" +
                                 groupedNumber(c.length_) + " bytes)");
            if (e.compression == Stored && e.storedSize != e.unpackedSize)
                refuse(path, "entry " + e.describe() + " is stored uncompressed but its sizes differ (" +
                                 groupedNumber(e.storedSize) + " and " + groupedNumber(e.unpackedSize) + " bytes)");
            if (e.compression == Zlib && e.unpackedSize > uint64_t(e.storedSize) * MaxInflateRatio + 64)
                refuse(path, "entry " + e.describe() + " claims to unpack " + groupedNumber(e.storedSize) +
                                 " bytes into " + groupedNumber(e.unpackedSize));
            if (end > e.offset) used.push_back({e.offset, end, "entry " + e.describe()});
            c.entries_.push_back(e);
        }
        tableOffset = u64(table.data() + 4);
        ++t;
    }

    std::sort(used.begin(), used.end(), [](const Range& a, const Range& b) { return a.begin < b.begin; });
    for (size_t i = 1; i < used.size(); ++i)
        if (used[i].begin < used[i - 1].end)
            refuse(path, used[i - 1].what + " and " + used[i].what + " overlap");

    std::sort(c.entries_.begin(), c.entries_.end(), [](const Entry& a, const Entry& b) { return a.hash < b.hash; });
    for (size_t i = 1; i < c.entries_.size(); ++i)
        if (c.entries_[i].hash == c.entries_[i - 1].hash)
            refuse(path, "entries " + c.entries_[i - 1].describe() + " and " + c.entries_[i].describe() +
                             " have the same name hash");
    return c;
}

const Entry* Container::find(uint64_t hash) const {
    auto it = std::lower_bound(entries_.begin(), entries_.end(), hash,
                               [](const Entry& e, uint64_t h) { return e.hash < h; });
    return it != entries_.end() && it->hash == hash ? &*it : nullptr;
}

const Entry* Container::find(std::string_view name) const { return find(nameHash(name)); }

void Container::requireReadable(const Entry& entry, std::string_view name) const {
    if (entry.compression == Stored || entry.compression == Zlib) return;
    refuse(path_, "entry " + (name.empty() ? entry.describe() : std::string(name)) + " uses compression " +
                      std::to_string(entry.compression) + ", which this program cannot read (only none and zlib)");
}

std::vector<uint8_t> Container::readEntry(File& file, const Entry& entry, std::string_view name) const {
    requireReadable(entry, name);
    std::vector<uint8_t> stored(entry.storedSize);
    file.seek(entry.dataOffset());
    if (!stored.empty()) file.read(stored.data(), stored.size());
    if (entry.compression == Stored) return stored;
    std::vector<uint8_t> unpacked(entry.unpackedSize);
    uLongf got = uLongf(unpacked.size());
    const int rc = ::uncompress(unpacked.data(), &got, stored.data(), uLong(stored.size()));
    if (rc != Z_OK || got != unpacked.size())
        refuse(path_, "entry " + (name.empty() ? entry.describe() : std::string(name)) +
                          " cannot be unpacked: its zlib data is damaged or not of its stated size");
    return unpacked;
}

void writeContainer(const std::string& path, const NewEntries& entries, const Progress& progress) {
    if (entries.count > size_t(std::numeric_limits<int32_t>::max())) refuse(path, "too many entries for one container");
    AtomicFile out(path);
    File& f = out.file();
    std::vector<uint8_t> header(FirstTableOffset, 0);
    le::put32(header.data(), Magic);
    le::put32(header.data() + 4, Version);
    le::put32(header.data() + 8, Signature);
    put64(header.data() + 12, FirstTableOffset);
    le::put32(header.data() + 20, uint32_t(TableCapacity));
    le::put32(header.data() + 24, uint32_t(entries.count));
    f.write(header.data(), header.size());

    const uint64_t tableBytes = TableHeaderSize + uint64_t(TableCapacity) * SlotSize;
    std::vector<uint8_t> table(tableBytes), bytes;
    uint64_t tableOffset = FirstTableOffset;
    progress.report(0);
    // An empty container still has its one (empty) table: readers expect a first table.
    for (size_t first = 0; first == 0 || first < entries.count; first += size_t(TableCapacity)) {
        const size_t n = std::min(entries.count - first, size_t(TableCapacity));
        std::fill(table.begin(), table.end(), 0);
        le::put32(table.data(), uint32_t(n));
        // The table is written once its entries' places and checksums are known.
        uint64_t at = tableOffset + tableBytes;
        f.seek(at);
        for (size_t i = 0; i < n; ++i) {
            bytes.clear();
            entries.bytes(first + i, bytes);
            if (bytes.size() > size_t(std::numeric_limits<int32_t>::max()))
                refuse(path, "entry " + entries.name(first + i) + " is too large for a container");
            uint8_t* slot = table.data() + TableHeaderSize + i * SlotSize;
            put64(slot, at);
            le::put32(slot + 8, 0);
            le::put32(slot + 12, uint32_t(bytes.size()));
            le::put32(slot + 16, uint32_t(bytes.size()));
            put64(slot + 20, nameHash(entries.name(first + i)));
            le::put32(slot + 28, adler32(bytes.data(), bytes.size()));
            le::put16(slot + 32, Stored);
            if (!bytes.empty()) f.write(bytes.data(), bytes.size());
            at += bytes.size();
            progress.report(int(uint64_t(first + i + 1) * 100 / entries.count));
            progress.pumpEvents();
        }
        const uint64_t next = first + n < entries.count ? at : 0;
        put64(table.data() + 4, next);
        f.seek(tableOffset);
        f.write(table.data(), table.size());
        tableOffset = next;
    }
    out.commit();
    progress.report(100);
}

} // namespace tq::uop
