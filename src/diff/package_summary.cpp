#include "core/facets.h"
#include "core/file_system.h"
#include "core/spaced_hex.h"
#include "diff/buffered_io.h"
#include "diff/compact_package.h"
#include "diff/diff.h"
#include "diff/package_reader.h"

#include <cstdio>

namespace tq {

namespace {

std::string share(uint64_t part, uint64_t whole) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f%%", whole == 0 ? 0.0 : 100.0 * double(part) / double(whole));
    return text;
}

std::string blockText(const WorldGeometry& world, int n) {
    return "(" + std::to_string(n / world.blocksHigh) + ", " + std::to_string(n % world.blocksHigh) + ")";
}

} // namespace

std::string PackageSizeText(uint64_t size, uint64_t fullSize) {
    if (size == fullSize) return "Package size: " + groupedNumber(size) + " bytes (the full form)";
    return "Package size: " + groupedNumber(size) + " bytes, " + share(size, fullSize) + " of the full form (" +
           groupedNumber(fullSize) + " bytes)";
}

std::string DiffVersionText(int32_t version) {
    if (version == ClassicDiffVersion) return "version 2";
    if (version == SizedDiffVersion) return "version 3 (any world size)";
    if (version == CompactDiffVersion) return "version 4 (compact)";
    return "version " + std::to_string(version);
}

DiffPackageSummary SummarizeDiffPackage(const std::string& packageName) {
    auto file = openFile(packageName, OpenMode::Read);
    WindowedReader package(*file);
    const CheckedPackage p = [&] {
        try {
            return ReadCheckedPackage(package);
        } catch (Error& e) {
            e.setPathIfMissing(packageName);
            throw;
        }
    }();
    DiffPackageSummary s;
    s.version = p.header.DiffVersion;
    s.size = package.size();
    s.world = p.world;
    s.hasStatics = p.hasStatics();
    s.hasMap = p.hasMap();
    s.fullSize = DiffHeaderSize;
    if (s.hasStatics) {
        s.origIndexCrc = uint32_t(p.header.OrigIndexCrc);
        s.fullSize += DiffStaticsIndexSize(p.world);
        for (int n = 0; n < p.world.blockCount(); ++n) {
            const TDiffStaticsEntry e = p.staticsEntry(n);
            // A compact package leaves out what the original index implies: only the
            // blocks it names are counted.
            if (e.unchanged() || e == CompactImplied) continue;
            s.staticsBlocks.push_back(n);
            s.staticsCounts.push_back(e.emptied() ? -1 : e.Length / StaticRecSize);
            if (!e.emptied()) s.fullSize += uint64_t(e.Length);
        }
    }
    if (s.hasMap) {
        s.fullSize += DiffMapIndexSize(p.world);
        for (int n = 0; n < p.world.blockCount(); ++n)
            if (p.mapEntry(n) != -1) s.mapBlocks.push_back(n);
        s.fullSize += uint64_t(s.mapBlocks.size()) * MapBlockSize;
    }
    file->close();
    return s;
}

std::vector<std::string> DiffSummaryLines(const DiffPackageSummary& s, bool blocks) {
    std::vector<std::string> lines;
    lines.push_back("Package: " + DiffVersionText(s.version) + ", for a world of " + s.world.blocksText() +
                    " blocks (facet " + std::to_string(s.world.facet) + ")");
    lines.push_back(PackageSizeText(s.size, s.fullSize));
    if (s.hasStatics) {
        lines.push_back("Original statics CRC expected: " + IntToSpacedHex(int32_t(s.origIndexCrc), 4));
        size_t emptied = 0;
        for (int count : s.staticsCounts) emptied += count < 0 ? 1 : 0;
        lines.push_back("Statics blocks changed: " + groupedNumber(s.staticsBlocks.size()) + " (" +
                        groupedNumber(emptied) + " of them left empty)");
    } else {
        lines.push_back("Statics: not in this package");
    }
    lines.push_back(s.hasMap ? "Map blocks changed: " + groupedNumber(s.mapBlocks.size()) : "Map: not in this package");
    if (!blocks) return lines;
    for (size_t i = 0; i < s.staticsBlocks.size(); ++i) {
        const int count = s.staticsCounts[i];
        lines.push_back("  statics " + blockText(s.world, s.staticsBlocks[i]) + ": " +
                        (count < 0 ? std::string("emptied") : std::to_string(count) + " statics"));
    }
    for (int n : s.mapBlocks) lines.push_back("  map " + blockText(s.world, n));
    return lines;
}

} // namespace tq
