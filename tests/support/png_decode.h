#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tq::test {

// A PNG decoded to 8-bit RGB with stb_image, a decoder apart from the writer the tool
// uses, so a test can compare what a viewer would show pixel by pixel.
struct DecodedPng {
    bool ok = false;
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // width * height triples, rows top to bottom
    uint32_t pixel(int x, int y) const {
        const size_t at = (size_t(y) * size_t(width) + size_t(x)) * 3;
        return uint32_t(rgb[at]) << 16 | uint32_t(rgb[at + 1]) << 8 | rgb[at + 2];
    }
};

DecodedPng decodePng(const std::string& bytes);

} // namespace tq::test
