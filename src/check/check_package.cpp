#include "check/check_package.h"

#include "core/error.h"
#include "core/file_system.h"
#include "core/spaced_hex.h"
#include "diff/diff_package.h"

#include <vector>

namespace tq {

void CheckDiffPackageFile(const std::string& path, const std::vector<std::pair<std::string, uint32_t>>& indexCrcs,
                          CheckReport& report) {
    auto file = openFile(path, OpenMode::Read);
    const uint64_t size = file->size();
    TDiffHeader header;
    bool described = false;
    try {
        uint8_t bytes[DiffHeaderSize] = {};
        if (size >= uint64_t(DiffHeaderSize)) file->read(bytes, sizeof bytes);
        decodeDiffHeader(bytes, header);
        CheckDiffHeader(header, size);
        const WorldGeometry world = DiffHeaderWorld(header);
        report.checked(path, "diff package, version " + std::to_string(header.DiffVersion) + ", " +
                                 world.describe() + (header.StaticsIndexPos != -1 ? ", statics" : "") +
                                 (header.MapIndexPos != -1 ? ", map" : ""));
        described = true;
        std::vector<uint8_t> table;
        if (header.StaticsIndexPos != -1) {
            table.resize(DiffStaticsIndexSize(world));
            file->seek(uint64_t(header.StaticsIndexPos));
            file->read(table.data(), table.size());
            CheckDiffStaticsTable(table.data(), size, world);
        }
        if (header.MapIndexPos != -1) {
            table.resize(DiffMapIndexSize(world));
            file->seek(uint64_t(header.MapIndexPos));
            file->read(table.data(), table.size());
            CheckDiffMapTable(table.data(), size, world);
        }
    } catch (const Error& e) {
        if (!described) report.checked(path, "diff package");
        report.add({Severity::Error, path, KindBadPackage, "", e.what()});
        return;
    }
    if (header.StaticsIndexPos == -1) {
        report.note(path, "it holds no statics, so it is applied without a CRC check");
        return;
    }
    const std::string expected = IntToSpacedHex(header.OrigIndexCrc, 4);
    report.note(path, "it applies to an original static index whose CRC is " + expected);
    for (const auto& [index, crc] : indexCrcs)
        report.note(path, index + (crc == uint32_t(header.OrigIndexCrc)
                                       ? " has that CRC"
                                       : " has CRC " + IntToSpacedHex(int32_t(crc), 4) + ", not that one"));
}

} // namespace tq
