#pragma once
// The fill/clear window's decisions, apart from its widgets: its path fields and their
// settings values, what the window enables, the rule that keeps one pass chosen, the
// altitude field's range, and the texts it puts into the main window's status label.
#include <array>
#include <optional>
#include <string>

namespace tq {

struct FillClearInput;

enum class FillClearField { MStaIdx, MStatics, MMap };
inline constexpr int FillClearFieldCount = 3;

struct FillClearFieldInfo {
    const char* control;       // the QLineEdit's object name
    const char* settingName;   // its value in the settings store (shared with the other windows)
    const char* expectedName;  // the file name, lower-cased, that makes the field valid
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
struct FillClearPasses {
    bool statics = true;  // StaticsCheckBox
    bool map = true;      // MapCheckBox
    friend bool operator==(const FillClearPasses&, const FillClearPasses&) = default;
};
struct FillClearPassControls {
    FillClearPasses passes;   // the boxes after the rule: never both clear
    bool staticsClearInfo;    // StaticsClearInfoLabel
    bool tileAndAltitude;     // FillTileLabel, FillTileComboBox, FillAltitudeLabel, FillAltitudeEdit
};
// After either box changed: clearing the last checked one checks the other.
FillClearPassControls decideFillClearPasses(FillClearPasses now, bool staticsClicked);

// The altitude spinner's range: a signed byte.
inline constexpr int FillAltitudeMin = -128;
inline constexpr int FillAltitudeMax = 127;
// Leaving the altitude field: a number above the range becomes "127", below it "-128";
// a number in range stays as typed (nullopt). Not a number: ConvertError, text kept.
std::optional<std::string> clampedAltitudeText(const std::string& text);

// The texts of a run checked the way the run checks them (borders; altitude and tile
// only when the map is filled), throwing the run's own messages. A run whose texts pass
// can only fail on its files.
void checkFillClearTexts(const FillClearInput& input);

// The main window's status label while fill/clear runs (on red), and after it (on green).
inline constexpr const char* FillClearBusyText = "BUSY";
inline constexpr const char* FillClearDoneText = "Ready";

} // namespace tq
