#pragma once
// The main window's decisions, kept apart from the widgets so they are tested without
// a display: what UpdateButtons enables, which guidance
// step Simple mode shows, how the block fields are brought into range.
// Header-only and Qt-free: the plain test binary links neither Qt nor the windows.
#include "core/error.h"
#include "core/file_system.h"
#include "core/int_parse.h"
#include "core/path_field_rules.h"
#include "core/setting_names.h"
#include "core/world.h"
#include "worldsave/world_save_reader.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tq {


// What UpdateButtons looks at.
struct MainWindowState {
    FieldColour staIdx = FieldColour::Plain;
    FieldColour statics = FieldColour::Plain;
    FieldColour worldSave = FieldColour::Plain;
    bool indexLoaded = false;
    bool frozen = false;
    uint8_t mode = NormalMode;  // any value but 1 behaves as Normal mode
    // After a completed freeze the rule and "Write PAT" stay fixed for the run.
    bool freezeChoicesLocked = false;
    // The diff, fill/clear and map-editor windows, when the program has them.
    bool diffWindow = true;
    bool fillClearWindow = true;
    bool mapEditWindow = true;
};

// What UpdateButtons sets.
struct MainButtonStates {
    enum class Save { Nothing, StaticsPaths, AllPaths };
    // StaticsPaths: store both statics paths and an empty world-save path;
    // AllPaths: store all three.
    Save save = Save::Nothing;
    bool getStaticIndex = false;
    bool blockFields = false;  // XBlockEdit, XBlockUpDown, YBlockEdit, YBlockUpDown
    bool getStaticBlock = false;
    bool melt = false;
    bool freeze = false;
    bool selectItems = false;  // SelectItemsRadioGroup
    bool writePat = false;     // WritePATCheckBox
    bool fillClear = false;
    bool tqDiff = false;
    bool mapEdit = false;
    // "Choose game folder…": once the index is loaded its two files stay for the run.
    bool chooseGameFolder = false;
    friend bool operator==(const MainButtonStates&, const MainButtonStates&) = default;
};

inline MainButtonStates decideMainButtons(const MainWindowState& s) {
    MainButtonStates b;
    const bool staticsGreen = s.staIdx == FieldColour::Green && s.statics == FieldColour::Green;
    const bool allGreen = staticsGreen && s.worldSave == FieldColour::Green;

    // 1. Both statics paths valid: store them and offer the windows that work on them.
    b.save = allGreen ? MainButtonStates::Save::AllPaths
                      : staticsGreen ? MainButtonStates::Save::StaticsPaths : MainButtonStates::Save::Nothing;
    b.tqDiff = staticsGreen && s.diffWindow;
    b.fillClear = staticsGreen && s.fillClearWindow;

    // 2./3. All three valid: load the index first, then the block operations.
    b.getStaticIndex = allGreen && !s.indexLoaded;
    const bool blockOps = allGreen && s.indexLoaded;
    b.blockFields = b.getStaticBlock = b.melt = b.freeze = blockOps;

    b.selectItems = b.writePat = !s.freezeChoicesLocked;
    b.mapEdit = s.mapEditWindow;
    b.chooseGameFolder = !s.indexLoaded;

    // 4. Simple mode: a player only loads the index and freezes, once.
    if (s.mode == SimpleMode) {
        b.blockFields = b.getStaticBlock = b.melt = false;
        if (s.frozen) b.freeze = false;
        b.selectItems = b.writePat = false;
        b.fillClear = false;
        b.mapEdit = false;
    }
    return b;
}

// The freeze rule chosen in the "Freeze items" radio group: item 0 "type 255", item 1
// "auto", none checked (-1) selects nothing.
inline SelectionRule selectionRuleOfItem(int itemIndex) {
    switch (itemIndex) {
    case 0: return SelectionRule::Type255;
    case 1: return SelectionRule::Auto;
    default: return SelectionRule::None;
    }
}

inline std::string mainCaption(uint8_t mode) {
    if (mode == NormalMode) return "Terraquill 6.2 (Normal mode)";
    if (mode == SimpleMode) return "Terraquill 6.2 (Simple mode)";
    return "CustomTerraquill (Version 6X)";
}

// Simple mode's guidance: the first step whose condition holds. A plain (not yet
// judged) field does not count as red.
inline int guidanceStep(const MainWindowState& s) {
    if (s.staIdx == FieldColour::Red) return 0;
    if (s.statics == FieldColour::Red) return 1;
    if (s.worldSave == FieldColour::Red) return 2;
    if (!s.indexLoaded) return 3;
    if (s.frozen) return 5;
    return 4;
}

inline const std::vector<std::string>& guidanceLines(int step) {
    static const std::array<std::vector<std::string>, 6> steps = {{
        {"Click \"Choose game folder\u2026\" and pick the folder of your game.",
         "The left box turns green when Terraquill found",
         "staidx0.mul there."},
        {"Click \"Choose game folder\u2026\" and pick the folder of your game.",
         "The middle box turns green when Terraquill found",
         "statics0.mul there."},
        {"Click the \"\u2026\" button of the right box and pick the file you",
         "got from the server operator, or drop the file on the box.",
         "It turns green when Terraquill found the file."},
        {"Click on the \"GetStaticIndex\"-button to the right.", "This can take up to 30 seconds! Please wait until",
         "Terraquill has finished."},
        {"Click on the \"Freeze\"-button to the right.", "This can take up to some minutes! Please wait until",
         "Terraquill has finished."},
        {"Finished! You can now close Terraquill and connect to", "the server. Enjoy!"},
    }};
    return steps.at(size_t(step));
}

// Leaving a block field: a number above max becomes max, below 0 becomes 0; a number
// in range stays as typed (nullopt). Not a number: the parser's ConvertError.
inline std::optional<std::string> clampedBlockFieldText(const std::string& text, int max) {
    const int32_t value = parseInt(text);
    if (value > max) return std::to_string(max);
    if (value < 0) return std::string("0");
    return std::nullopt;
}

// The block fields as GetStaticBlock and Melt read them: numbers inside the world,
// never an index outside StaticIndex.
struct BlockCoords {
    int x = 0;
    int y = 0;
};
inline BlockCoords readBlockFields(const std::string& xText, const std::string& yText,
                                   const WorldGeometry& world = {}) {
    const int32_t x = parseInt(xText);
    const int32_t y = parseInt(yText);
    if (!world.validBlock(x, y))
        throw Error("Block " + std::to_string(x) + ", " + std::to_string(y) + " is outside the world: X must be 0.." +
                    std::to_string(world.blocksWide - 1) + " and Y 0.." + std::to_string(world.blocksHigh - 1) + ".");
    return {x, y};
}

} // namespace tq
