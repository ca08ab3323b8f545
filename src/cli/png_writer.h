#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace tq::cli {

// The bytes of a PNG file of a width x height picture given as 8-bit RGB triples, rows
// top to bottom. The same bytes on every platform for the same picture.
std::string encodePng(int width, int height, const std::vector<uint8_t>& rgb);

} // namespace tq::cli
