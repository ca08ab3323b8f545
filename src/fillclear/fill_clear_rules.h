#pragma once
// The fill/clear window's decisions, apart from its widgets: its path fields and their
// settings values, what the window enables, the rule that keeps one pass chosen, the
// altitude field's clamp, and the texts it puts into the main window's status label.
#include "core/part_choice.h"
#include "core/path_field_rules.h"
#include "fillclear/fill_clear.h"

#include <array>
#include <optional>
#include <string>

namespace tq {

enum class FillClearField { MStaIdx, MStatics, MMap };
inline constexpr int FillClearFieldCount = 3;

struct FillClearFieldInfo {
    const char* control;       // the QLineEdit's object name
    const char* settingName;   // its value in the settings store (shared with the other windows)
    PathKind kind;             // the world file it takes (of the facet all three share)
    bool userEditable;         // only the map path can be typed here
};
const std::array<FillClearFieldInfo, FillClearFieldCount>& fillClearFields();

// CheckFillClearPaths: all three files are needed whichever passes are chosen.
struct FillClearGoState {
    bool savePaths = false;
    bool go = false;
    friend bool operator==(const FillClearGoState&, const FillClearGoState&) = default;
};
FillClearGoState decideFillClearGo(const std::array<bool, FillClearFieldCount>& green);

// The two pass check boxes and what hangs on them.
using FillClearPasses = PartChoice;
struct FillClearPassControls {
    FillClearPasses passes;   // the boxes after the rule: never both clear
    bool staticsClearInfo;    // StaticsClearInfoLabel
    bool tileAndAltitude;     // FillTileLabel, FillTileComboBox, FillAltitudeLabel, FillAltitudeEdit
};
// After either box changed: clearing the last checked one checks the other.
FillClearPassControls decideFillClearPasses(FillClearPasses now, bool staticsClicked);

// Leaving the altitude field: a number above the range becomes "127", below it "-128";
// a number in range stays as typed (nullopt). Not a number: ConvertError, text kept.
std::optional<std::string> clampedAltitudeText(const std::string& text);

// The main window's status label while fill/clear runs (on red), and after it (on green).
inline constexpr const char* FillClearBusyText = "BUSY";
inline constexpr const char* FillClearDoneText = "Ready";

} // namespace tq
