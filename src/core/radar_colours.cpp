#include "core/radar_colours.h"

#include "core/bytes.h"
#include "core/file_system.h"

#include <algorithm>

namespace tq {

Rgb8 rgbOf555(uint16_t colour) {
    auto widen = [](int v) { return uint8_t((2 * v * 255 + 31) / 62); };
    return {widen((colour >> 10) & 31), widen((colour >> 5) & 31), widen(colour & 31)};
}

RadarColours RadarColours::load(const std::string& path) {
    auto file = openFile(path, OpenMode::Read);
    const uint64_t size = file->size();
    // A table larger than every id can reach is read only as far as the ids go.
    const size_t count = size_t(std::min<uint64_t>(size / RadarColourSize, RadarFullEntries));
    std::vector<uint8_t> bytes(count * RadarColourSize);
    if (!bytes.empty()) file->read(bytes.data(), bytes.size());
    file->close();
    std::vector<uint16_t> entries(count);
    for (size_t i = 0; i < count; ++i) entries[i] = le::u16(bytes.data() + i * RadarColourSize);
    return RadarColours(std::move(entries));
}

} // namespace tq
