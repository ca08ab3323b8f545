#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tq::cli {

// A PNG of 8-bit RGB written row by row as the rows come: only one row and its filtered
// copies are held, so a picture of the whole world is not kept twice. Bytes go to `sink`
// as they are made. The same bytes on every platform for the same picture.
class PngStream {
public:
    using Sink = std::function<void(const void* data, size_t size)>;
    PngStream(int width, int height, Sink sink);
    ~PngStream();
    PngStream(const PngStream&) = delete;
    PngStream& operator=(const PngStream&) = delete;
    // The next row, width * 3 bytes; the picture ends with its last row.
    void writeRow(const uint8_t* rgb);

private:
    struct State;
    State* state_;
};

// The bytes of a PNG file of a width x height picture given as 8-bit RGB triples, rows
// top to bottom.
std::string encodePng(int width, int height, const std::vector<uint8_t>& rgb);

} // namespace tq::cli
