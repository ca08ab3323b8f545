#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tq {

// A run of look-alike land tiles known by name.
struct TNamedTile {
    const char* Name;
    uint16_t FirstId;
    int32_t Count;
};

inline constexpr int NamedTileCount = 42;
extern const std::array<TNamedTile, NamedTileCount> NamedTiles;

// Index 0..41 of the group (ASCII letters compared without case, nothing trimmed), or -1.
int FindNamedTile(std::string_view name);
// A tile id drawn from the group with the shared generator. index must be 0..41.
uint16_t RandomTile(int index);
// Throws tq::Error "Invalid tile name: <name>" for an unknown name.
uint16_t RandomTileByName(std::string_view name);

} // namespace tq
