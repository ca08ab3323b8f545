#pragma once
// The names of the values in the per-user settings store, Qt-free so that the windows'
// rules (which settings value fills which path field) and the store itself
// (ui/settings.h) share one spelling.
#include <array>
#include <cstdint>

namespace tq::settings {

inline constexpr const char* Organization = "Brannock";
inline constexpr const char* Application = "Terraquill";

// Value names. Windows share a name where they share the meaning.
inline constexpr const char* StaIdx = "StaIdx0.mul";
inline constexpr const char* Statics = "Statics0.mul";
inline constexpr const char* WorldSave = "UOX3.wsc";
inline constexpr const char* Mode = "Mode";  // an integer value, as SharedWorld
inline constexpr const char* OriginalStaIdx = "O-StaIdx0.mul";
inline constexpr const char* OriginalStatics = "O-Statics0.mul";
inline constexpr const char* OriginalMap = "O-Map0.mul";
inline constexpr const char* Map = "Map0.mul";
inline constexpr const char* ClientFolder = "UOPath";
inline constexpr const char* CoordX = "CoordX";
inline constexpr const char* CoordY = "CoordY";
// 1 when facet 1 is a copy of facet 0's world: a freeze of facet 1 takes the world-save's items too.
inline constexpr const char* SharedWorld = "SharedWorld";
// The folder last chosen with "Choose game folder…", where its dialog opens next time.
inline constexpr const char* GameFolder = "GameFolder";

// The diff window's "Compact package" box: "1" or "0"; unset until the user first clicks it.
inline constexpr const char* CompactPackage = "CompactPackage";

inline constexpr std::array<const char*, 14> AllNames = {StaIdx,       Statics, WorldSave, Mode,   OriginalStaIdx,
                                                         OriginalStatics, OriginalMap, Map,     ClientFolder, CoordX,
                                                         CoordY,       SharedWorld, GameFolder, CompactPackage};

} // namespace tq::settings

namespace tq {

// The values of settings::Mode: the run's mode. Any other value behaves as Normal.
inline constexpr uint8_t NormalMode = 0;
inline constexpr uint8_t SimpleMode = 1;

} // namespace tq
