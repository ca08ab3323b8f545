#pragma once
#include <cstdint>
#include <string>
#include <vector>

// radarcol.mul: one 16-bit colour (1-5-5-5, like the art) per land tile and per static,
// the colours every small picture of the world is drawn with.
namespace tq {

inline constexpr const char* RadarColourFileName = "radarcol.mul";
inline constexpr int RadarColourSize = 2;            // bytes per entry
inline constexpr uint32_t RadarLandEntries = 0x4000;  // land tile ids 0..0x3FFF
inline constexpr uint32_t RadarStaticBase = 0x4000;   // static id N is entry 0x4000 + N
inline constexpr uint32_t RadarFullEntries = RadarStaticBase + 0x10000;

// An 8-bit colour as a picture holds it.
struct Rgb8 {
    uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb8&, const Rgb8&) = default;
};
// A 1-5-5-5 colour widened to 8 bits a channel, rounded (31 becomes 255).
Rgb8 rgbOf555(uint16_t colour);

// The colours of one radarcol.mul. A file shorter than the full table lacks the entries past
// its end: those tiles have no colour (the renderer draws them black and counts them).
class RadarColours {
public:
    RadarColours() = default;
    explicit RadarColours(std::vector<uint16_t> entries) : entries_(std::move(entries)) {}
    // Reads the whole file (a trailing odd byte is no entry).
    static RadarColours load(const std::string& path);

    size_t entryCount() const { return entries_.size(); }
    // The entry of land tile `tile`; ids past 0x3FFF are no land tile and have none.
    bool hasLand(uint16_t tile) const { return tile < RadarLandEntries && tile < entries_.size(); }
    bool hasStatic(uint16_t id) const { return RadarStaticBase + id < entries_.size(); }
    uint16_t land(uint16_t tile) const { return hasLand(tile) ? entries_[tile] : 0; }
    uint16_t staticColour(uint16_t id) const { return hasStatic(id) ? entries_[RadarStaticBase + id] : 0; }
    const std::vector<uint16_t>& entries() const { return entries_; }

private:
    std::vector<uint16_t> entries_;
};

} // namespace tq
