#pragma once
// The diff window's decisions, apart from its widgets: which settings value belongs to
// which path field, what the window enables for a given set of field colours, the rule
// that keeps one part checked, and the explanation text it lists.
#include "core/part_choice.h"
#include "core/path_field_rules.h"
#include "core/world.h"

#include <optional>

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tq {

// The six path fields in their tab order: the original files, then the modified ones.
enum class DiffField { OStaIdx, OStatics, OMap, MStaIdx, MStatics, MMap };
inline constexpr int DiffFieldCount = 6;

struct DiffFieldInfo {
    const char* control;        // the QLineEdit's object name
    const char* settingName;    // its value in the settings store
    PathKind kind;              // the world file it takes (of the facet all six share)
    bool userEditable;          // MStaIdxEdit/MStaticsEdit come from the main window only
};
const DiffFieldInfo& diffFieldInfo(DiffField field);
const std::array<DiffFieldInfo, DiffFieldCount>& diffFields();

// What CheckDiffPaths does for the colours of the six fields (true = green).
struct DiffControlStates {
    bool savePaths = false;  // write all six texts to the settings store
    bool staticsCheckBox = false;
    bool mapCheckBox = false;
    bool generate = false;
    bool apply = false;
    friend bool operator==(const DiffControlStates&, const DiffControlStates&) = default;
};
// Every action needs all six files: a red field disables them again, so nothing is
// generated from, or applied to, a file that is not the one it claims to be. Simple
// mode offers only applying.
DiffControlStates decideDiffControls(const std::array<bool, DiffFieldCount>& green, bool simpleMode);

// Whether the "Compact package" box is checked: as the user last left it (the stored
// "1" or "0"); never set, on for a world other than the old clients' size,
// whose players' tools may read only version 2.
bool compactPackageChecked(const std::string& stored, const std::optional<WorldGeometry>& world);

// The explanation list, one item per line, leading blanks included.
const std::vector<std::string>& diffExplanationLines();

// A package is always written under a name ending in ".tq2" (DiffPackageName). When that
// is not the name chosen in the save dialog, the dialog's overwrite question was about
// another file; the window asks this one (title "TQ-Diff") before replacing packagePath.
std::string diffOverwriteQuestion(std::string_view packagePath);

// Whether applying this package rewrites staidx0.mul (it has a statics part). A package
// whose header cannot be read counts as one that does: the caller only uses the answer
// to tell the main window that its loaded index may be stale.
bool diffPackageRewritesIndex(const std::string& packagePath);

} // namespace tq
