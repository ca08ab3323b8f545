// The UOP container reader and the map it holds, over any bytes.
//
// Byte 0 picks where a 3-byte write lands in the map (as a fraction of its length); the
// rest is the file map2LegacyMUL.uop.
//
// Promises checked: a container is refused with an Error naming the file, or its entries
// all lie within the file with distinct hashes; a map read gives exactly the bytes asked
// for; a refused write changes nothing; an accepted one keeps the file's length and leaves
// the written entry's Adler-32 matching its bytes. Never a hang: tables that loop are refused.
#include "core/error.h"
#include "core/file_system.h"
#include "core/map_file.h"
#include "core/uop/container.h"
#include "core/uop/map_container.h"
#include "support/fuzz_check.h"
#include "support/memory_file_system.h"

#include <string>
#include <vector>

using namespace tq;

namespace {

const std::string Path = "/c/map2LegacyMUL.uop";

bool namesThePath(const Error& e) { return e.path() == Path && std::string(e.what()).rfind(Path, 0) == 0; }

void checkEntries(File& file, const uop::Container& c) {
    const uint64_t length = file.size();
    for (size_t i = 0; i < c.entries().size(); ++i) {
        const uop::Entry& e = c.entries()[i];
        TQ_FUZZ_REQUIRE(e.offset != 0 && e.dataOffset() + e.storedSize <= length);
        if (i > 0) TQ_FUZZ_REQUIRE(c.entries()[i - 1].hash < e.hash);
        try {
            TQ_FUZZ_REQUIRE(c.readEntry(file, e).size() == e.unpackedSize);
        } catch (const Error& err) {
            TQ_FUZZ_REQUIRE(namesThePath(err));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::MemoryFileSystem fs;
    if (size < 1) return 0;
    fs.clear();
    const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
    fs.put(Path, bytes);
    ScopedFileSystem guard(fs);
    struct Clear {
        fuzz::MemoryFileSystem& fs;
        ~Clear() { fs.clear(); }
    } clear{fs};

    try {
        auto file = openFile(Path, OpenMode::Read);
        checkEntries(*file, uop::Container::read(*file, Path));
    } catch (const Error& e) {
        TQ_FUZZ_REQUIRE(namesThePath(e));
    }

    uint64_t length = 0;
    try {
        auto map = openMapFile(Path, OpenMode::Read);
        length = map->size();
        TQ_FUZZ_REQUIRE(length == mapFileLength(Path));
        std::vector<uint8_t> buffer(777);
        uint64_t got = 0;
        for (size_t n; (n = map->readSome(buffer.data(), buffer.size())) > 0;) got += n;
        TQ_FUZZ_REQUIRE(got == length);
    } catch (const Error& e) {
        TQ_FUZZ_REQUIRE(namesThePath(e));
        return 0;
    }
    if (length < 3) return 0;

    const uint64_t at = (length - 3) * data[0] / 255;
    const uint8_t cell[3] = {0xA8, 0x00, 0x05};
    try {
        auto map = openMapFile(Path, OpenMode::ReadWrite);
        map->seek(at);
        map->write(cell, sizeof cell);
        map->close();
    } catch (const Error& e) {
        TQ_FUZZ_REQUIRE(namesThePath(e));
        TQ_FUZZ_REQUIRE(fs.get(Path) == bytes);
        return 0;
    }
    TQ_FUZZ_REQUIRE(fs.get(Path).size() == bytes.size());
    auto file = openFile(Path, OpenMode::Read);
    const uop::Container c = uop::Container::read(*file, Path);
    // The entries the write touched: the one holding `at` and, across a boundary, the next.
    for (uint64_t p : {at, at + 2}) {
        const uop::Entry* e = c.find(uop::mapEntryName(2, uint32_t(p / uop::mapEntryBytes())));
        TQ_FUZZ_REQUIRE(e != nullptr);
        const std::vector<uint8_t> stored = c.readEntry(*file, *e);
        TQ_FUZZ_REQUIRE(uop::adler32(stored.data(), stored.size()) == e->adler);
    }
    auto map = openMapFile(Path, OpenMode::Read);
    uint8_t back[3];
    map->seek(at);
    map->read(back, 3);
    TQ_FUZZ_REQUIRE(back[0] == cell[0] && back[1] == cell[1] && back[2] == cell[2]);
    return 0;
}
