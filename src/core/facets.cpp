#include "core/facets.h"

#include "core/ascii_case.h"
#include "core/error.h"
#include "core/file_system.h"
#include "core/uop/map_container.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace tq {

namespace {

// Facets 0 and 1 come in two sizes: the old clients' and the one of every client since the
// map grew east. The others have one size each.
const std::vector<WorldGeometry>& table(int facet) {
    static const std::vector<WorldGeometry> sizes[FacetCount] = {
        {WorldGeometry(0, 768, 512), WorldGeometry(0, 896, 512)},
        {WorldGeometry(1, 768, 512), WorldGeometry(1, 896, 512)},
        {WorldGeometry(2, 288, 200)},
        {WorldGeometry(3, 320, 256)},
        {WorldGeometry(4, 181, 181)},
        {WorldGeometry(5, 160, 512)},
    };
    return sizes[facet];
}

// "4,718,592 (768 × 512 blocks) or 5,505,024 (896 × 512) bytes"
template <typename BytesOf>
std::string sizesText(int facet, BytesOf bytesOf) {
    const auto& sizes = table(facet);
    if (sizes.size() == 1) return groupedNumber(bytesOf(sizes[0])) + " bytes (" + sizes[0].blocksText() + " blocks)";
    std::string text;
    for (size_t i = 0; i < sizes.size(); ++i) {
        if (i > 0) text += i + 1 == sizes.size() ? " or " : ", ";
        text += groupedNumber(bytesOf(sizes[i])) + " (" + sizes[i].blocksText() + (i == 0 ? " blocks)" : ")");
    }
    return text + " bytes";
}

std::string lowerFileName(const std::string& path) {
    return asciiLower(std::filesystem::path(path).filename().string());
}

// The digits of `name` between `prefix` and `suffix`, when it is exactly that.
std::optional<int> numberBetween(const std::string& name, const std::string& prefix, const std::string& suffix) {
    if (name.size() <= prefix.size() + suffix.size()) return std::nullopt;
    if (name.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
    if (name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0) return std::nullopt;
    const std::string digits = name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    if (digits.size() > 2 || !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
        return std::nullopt;
    return std::stoi(digits);
}

} // namespace

WorldGeometry::WorldGeometry() : WorldGeometry(table(0)[0]) {}

bool WorldGeometry::isClassic() const { return sameSize(table(0)[0]); }

std::string WorldGeometry::blocksText() const {
    return std::to_string(blocksWide) + " \u00d7 " + std::to_string(blocksHigh);
}

std::string WorldGeometry::describe() const {
    return "facet " + std::to_string(facet) + ", " + std::to_string(cellsWide()) + " \u00d7 " +
           std::to_string(cellsHigh());
}

bool isFacet(int facet) { return facet >= 0 && facet < FacetCount; }

std::string noSuchFacetMessage(int facet) {
    return "There is no facet " + std::to_string(facet) + "; facets are 0 to " + std::to_string(FacetCount - 1);
}

const std::vector<WorldGeometry>& facetSizes(int facet) {
    if (!isFacet(facet)) throw Error(noSuchFacetMessage(facet));
    return table(facet);
}

std::optional<int> facetFromFileName(const std::string& path) {
    const std::string name = lowerFileName(path);
    for (const char* prefix : {"staidx", "statics", "map"})
        if (auto n = numberBetween(name, prefix, ".mul")) return n;
    return numberBetween(name, "map", "legacymul.uop");
}

WorldGeometry staticIndexWorld(const std::string& path, uint64_t length, int facet) {
    for (const WorldGeometry& size : facetSizes(facet))
        if (size.staticIndexBytes() == length) return size;
    throw Error(path + " is " + groupedNumber(length) + " bytes; a facet " + std::to_string(facet) +
                    " static index is " + sizesText(facet, [](const WorldGeometry& g) { return g.staticIndexBytes(); }),
                path);
}

WorldGeometry mapWorld(const std::string& path, uint64_t length, int facet) {
    const auto& sizes = facetSizes(facet);
    for (auto size = sizes.rbegin(); size != sizes.rend(); ++size)
        if (size->mapBytes() <= length) return *size;
    const std::string is = uop::isContainerPath(path) ? " holds a map of " : " is ";
    throw Error(path + is + groupedNumber(length) + " bytes; a facet " + std::to_string(facet) +
                    " map holds at least " + sizesText(facet, [](const WorldGeometry& g) { return g.mapBytes(); }),
                path);
}

WorldGeometry inPlaceWorld(const std::string& path, WorldFileKind kind, uint64_t length, int facet) {
    const WorldGeometry& smallest = facetSizes(facet).front();
    const uint64_t smallestLength = kind == WorldFileKind::StaticIndex ? smallest.staticIndexBytes() : smallest.mapBytes();
    if (length < smallestLength) return smallest;
    return kind == WorldFileKind::StaticIndex ? staticIndexWorld(path, length, facet) : mapWorld(path, length, facet);
}

WorldGeometry resolveWorld(const std::vector<WorldFile>& files, std::optional<int> facet) {
    if (facet && !isFacet(*facet)) throw Error(noSuchFacetMessage(*facet));
    // The facet: what the names say must agree with each other and with the one asked for.
    const WorldFile* namedBy = nullptr;
    std::optional<int> named;
    for (const WorldFile& file : files) {
        const auto n = facetFromFileName(file.path);
        if (!n) continue;
        if (facet && *n != *facet)
            throw Error(file.path + " is a facet " + std::to_string(*n) + " file, not facet " + std::to_string(*facet));
        if (named && *n != *named)
            throw Error(namedBy->path + " is a facet " + std::to_string(*named) + " file but " + file.path +
                        " is of facet " + std::to_string(*n) + "; the files of one operation must be of one facet");
        if (!isFacet(*n)) throw Error(file.path + ": " + noSuchFacetMessage(*n));
        named = n;
        namedBy = &file;
    }
    const int chosen = facet ? *facet : named ? *named : 0;
    // The size: every file that tells one must tell the same.
    const WorldFile* sizedBy = nullptr;
    std::optional<WorldGeometry> world;
    for (const WorldFile& file : files) {
        if (file.kind != WorldFileKind::StaticIndex && file.kind != WorldFileKind::Map) continue;
        // A map in a container is as long as the map it holds.
        const uint64_t length = file.kind == WorldFileKind::Map && uop::isContainerPath(file.path)
                                    ? uop::mapContainerLength(file.path, chosen)
                                    : fileSystem().fileSize(file.path);
        const WorldGeometry size = file.inPlace ? inPlaceWorld(file.path, file.kind, length, chosen)
                                   : file.kind == WorldFileKind::StaticIndex ? staticIndexWorld(file.path, length, chosen)
                                                                             : mapWorld(file.path, length, chosen);
        if (world && !world->sameSize(size))
            throw Error(sizedBy->path + " holds a world of " + world->blocksText() + " blocks but " + file.path +
                        " one of " + size.blocksText() + "; the files of one operation must be of one world");
        world = size;
        sizedBy = &file;
    }
    return world ? *world : facetSizes(chosen).front();
}

void RequireBlockInWorld(const WorldGeometry& world, int bx, int by) {
    if (!world.validBlock(bx, by))
        throw Error("Block (" + std::to_string(bx) + ", " + std::to_string(by) + ") is outside the world: X must be 0.." +
                    std::to_string(world.blocksWide - 1) + " and Y 0.." + std::to_string(world.blocksHigh - 1));
}

std::string groupedNumber(uint64_t value) {
    std::string digits = std::to_string(value);
    for (int i = int(digits.size()) - 3; i > 0; i -= 3) digits.insert(size_t(i), ",");
    return digits;
}

} // namespace tq
