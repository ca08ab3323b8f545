#include "core/uop/map_convert.h"

#include "core/ascii_case.h"
#include "core/atomic_file.h"
#include "core/error.h"
#include "core/facets.h"
#include "core/file_system.h"
#include "core/map_file.h"
#include "core/uop/container.h"
#include "core/uop/map_container.h"
#include "core/world_lock.h"

#include <algorithm>

namespace tq::uop {

std::string convertedMapName(const std::string& source) {
    const std::string name = nameOf(source);
    const std::string lower = asciiLower(name);
    const auto endsWith = [&](const std::string& tail) {
        return lower.size() >= tail.size() && lower.compare(lower.size() - tail.size(), tail.size(), tail) == 0;
    };
    std::string converted;
    if (endsWith("legacymul.uop")) converted = name.substr(0, name.size() - 13) + ".mul";
    else if (endsWith(".uop")) converted = name.substr(0, name.size() - 4) + ".mul";
    else if (endsWith(".mul")) converted = name.substr(0, name.size() - 4) + "LegacyMUL.uop";
    else converted = name + "LegacyMUL.uop";
    return source.substr(0, source.size() - name.size()) + converted;
}

void writeMapContainer(File& map, const std::string& destination, int facet, const Progress& progress) {
    const uint64_t length = map.size(), piece = mapEntryBytes();
    NewEntries entries;
    entries.count = size_t((length + piece - 1) / piece);
    entries.name = [&](size_t i) { return mapEntryName(facet, uint32_t(i)); };
    entries.bytes = [&](size_t i, std::vector<uint8_t>& bytes) {
        bytes.resize(size_t(std::min(piece, length - uint64_t(i) * piece)));
        map.seek(uint64_t(i) * piece);
        map.read(bytes.data(), bytes.size());
    };
    writeContainer(destination, entries, progress);
}

WorldGeometry convertMap(const std::string& source, const std::string& destination, std::optional<int> facet,
                         const Progress& progress) {
    const bool toMul = isContainerPath(source);
    if (toMul == isContainerPath(destination))
        throw Error("Convert goes from a map{N}.mul to a map{N}LegacyMUL.uop or back: " + source + " and " +
                    destination + " are both " + (toMul ? "containers" : "plain maps"));
    if (fileExists(destination) && fileSystem().sameFile(source, destination))
        throw Error(source + " and " + destination + " are the same file", destination);
    // The facet and size, from the names and the source's map; refused before anything is written.
    const WorldGeometry world =
        resolveWorld({{WorldFileKind::Map, source}, {WorldFileKind::Rebuilt, destination}}, facet);
    const WorldLock lock({destination}, "convert");
    progress.report(0);
    auto in = openMapFile(source, OpenMode::Read, world.facet);
    const uint64_t length = in->size();
    const uint64_t piece = mapEntryBytes();
    if (toMul) {
        AtomicFile out(destination);
        std::vector<uint8_t> bytes(size_t(std::min(piece, length)));
        for (uint64_t at = 0; at < length; at += piece) {
            const size_t n = size_t(std::min(piece, length - at));
            in->read(bytes.data(), n);
            out.file().write(bytes.data(), n);
            progress.report(int((at + n) * 100 / length));
            progress.pumpEvents();
        }
        out.commit();
    } else {
        writeMapContainer(*in, destination, world.facet, progress);
    }
    in->close();
    progress.report(100);
    return world;
}

} // namespace tq::uop
