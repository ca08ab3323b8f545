#include "diff/diff_rules.h"

#include "core/error.h"
#include "core/file_system.h"
#include "core/setting_names.h"
#include "diff/diff_package.h"

namespace tq {

namespace {
const std::array<DiffFieldInfo, DiffFieldCount> Fields = {{
    {"OStaIdxEdit", settings::OriginalStaIdx, PathKind::StaticIndex, true},
    {"OStaticsEdit", settings::OriginalStatics, PathKind::Statics, true},
    {"OMapEdit", settings::OriginalMap, PathKind::Map, true},
    // The main window's working files, shared through the settings store.
    {"MStaIdxEdit", settings::StaIdx, PathKind::StaticIndex, false},
    {"MStaticsEdit", settings::Statics, PathKind::Statics, false},
    {"MMapEdit", settings::Map, PathKind::Map, true},
}};
} // namespace

const std::array<DiffFieldInfo, DiffFieldCount>& diffFields() { return Fields; }
const DiffFieldInfo& diffFieldInfo(DiffField field) { return Fields[size_t(field)]; }

DiffControlStates decideDiffControls(const std::array<bool, DiffFieldCount>& green, bool simpleMode) {
    DiffControlStates s;
    for (bool g : green)
        if (!g) return s;
    s.savePaths = true;
    s.apply = true;
    s.generate = s.staticsCheckBox = s.mapCheckBox = !simpleMode;
    return s;
}

const std::vector<std::string>& diffExplanationLines() {
    // Typos and the blank after "original" are the text users know; keep them.
    static const std::vector<std::string> lines = {
        "TQ-Diff is used to write a file that allows players on public shrads to",
        "use a whole new world!",
        "The shrad operators use the \"Generate\"-function to build this file.",
        "The players use the \"Apply\"-function to update their world data.",
        "",
        "In the fields for \"Original files\" you put the paths to the files on",
        "your UO-CDRom. The \"Modified files\" should be in your UO",
        "directory on the HD.",
        "",
        "The progress-bar of the main window is used",
        "by TQ-Diff as well, so move this window until it is visible.",
        "",
        "CRC values of known files:",
        "  Original OSI statics: 0D C2 9C 5A",
        "  OSI T2A: D7 53 AF 9C",
        "",
        "The progress bar indicates the progress of each STEP!",
        "While generating the TQD the steps are",
        "  1. Reading the original index (probably from CD)",
        "  2. Reading the modified index (probably from your UO-directory)",
        "  3. Generating a CRC value for the original ",
        "  4. Preparing the TQD file",
        "  5. Analyzing and writing the differences of",
        "      Map0.mul",
        "      StaIdx0.mul/Statics0.mul",
        "  6. Saveing the index of the TQD file",
        "",
        "While applying the TQD the steps are",
        "  1. Reading the original index (probably from CD)",
        "  2. Generating a CRC value for the original",
        "  3. Reading the TQD index",
        "  4. Writing the differences to your",
        "      Map0.mul",
        "      StaIdx0.mul/Statics0.mul",
        "  5. Writing the modified index",
    };
    return lines;
}

std::string diffOverwriteQuestion(std::string_view packagePath) {
    return std::string(packagePath) + " already exists.\nDo you want to replace it?";
}

bool diffPackageRewritesIndex(const std::string& packagePath) {
    try {
        auto file = openFile(packagePath, OpenMode::Read);
        uint8_t bytes[DiffHeaderSize];
        file->read(bytes, sizeof bytes);
        TDiffHeader header;
        decodeDiffHeader(bytes, header);
        return header.StaticsIndexPos != -1;
    } catch (const Error&) {
        return true;
    }
}

bool compactPackageChecked(const std::string& stored, const std::optional<WorldGeometry>& world) {
    if (stored == "1") return true;
    if (stored == "0") return false;
    return world && !world->isClassic();
}

} // namespace tq
