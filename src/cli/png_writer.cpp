#include "png_writer.h"

#include "core/bytes.h"
#include "core/error.h"

#include <zlib.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace tq::cli {

namespace {

constexpr const char* EncodeFailed = "Could not encode the picture as PNG";
constexpr size_t ChunkLimit = 1 << 16;  // compressed bytes per IDAT chunk
constexpr int FilterCount = 5;          // none, sub, up, average, Paeth

void putBig32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24), p[1] = uint8_t(v >> 16), p[2] = uint8_t(v >> 8), p[3] = uint8_t(v);
}

int paeth(int a, int b, int c) {
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return a;
    return pb <= pc ? b : c;
}

} // namespace

struct PngStream::State {
    int width, height, rowsLeft;
    Sink sink;
    z_stream z{};
    std::vector<uint8_t> previous, filtered[FilterCount], out;

    void chunk(const char* type, const uint8_t* data, size_t size) {
        uint8_t head[8];
        putBig32(head, uint32_t(size));
        std::memcpy(head + 4, type, 4);
        uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
        if (size) crc = crc32(crc, data, uInt(size));
        uint8_t tail[4];
        putBig32(tail, uint32_t(crc));
        sink(head, 8);
        if (size) sink(data, size);
        sink(tail, 4);
    }
    // Runs the compressor over `data`, sending full chunks on; `finish` ends the stream.
    void deflateBytes(const uint8_t* data, size_t size, bool finish) {
        z.next_in = const_cast<Bytef*>(data);
        z.avail_in = uInt(size);
        for (;;) {
            const int rc = deflate(&z, finish ? Z_FINISH : Z_NO_FLUSH);
            if (rc == Z_STREAM_ERROR) throw Error(EncodeFailed);
            if (z.avail_out == 0) {
                chunk("IDAT", out.data(), out.size());
                z.next_out = out.data();
                z.avail_out = uInt(out.size());
                continue;
            }
            if (finish ? rc == Z_STREAM_END : z.avail_in == 0) break;
        }
        if (finish && z.avail_out != out.size()) chunk("IDAT", out.data(), out.size() - z.avail_out);
    }
};

PngStream::PngStream(int width, int height, Sink sink) : state_(nullptr) {
    if (width <= 0 || height <= 0 || int64_t(width) * 3 + 1 > INT32_MAX) throw Error(EncodeFailed);
    auto s = std::make_unique<State>();
    s->width = width, s->height = height, s->rowsLeft = height;
    s->sink = std::move(sink);
    if (deflateInit(&s->z, 3) != Z_OK) throw Error(EncodeFailed);
    s->previous.assign(size_t(width) * 3, 0);
    for (auto& f : s->filtered) f.resize(size_t(width) * 3 + 1);
    s->out.resize(ChunkLimit);
    s->z.next_out = s->out.data();
    s->z.avail_out = uInt(s->out.size());
    state_ = s.release();

    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    state_->sink(signature, 8);
    uint8_t header[13];
    putBig32(header, uint32_t(width));
    putBig32(header + 4, uint32_t(height));
    header[8] = 8;   // bits per channel
    header[9] = 2;   // RGB
    header[10] = 0;  // deflate
    header[11] = 0;  // adaptive filtering
    header[12] = 0;  // not interlaced
    state_->chunk("IHDR", header, sizeof header);
}

PngStream::~PngStream() {
    if (!state_) return;
    deflateEnd(&state_->z);
    delete state_;
}

void PngStream::writeRow(const uint8_t* rgb) {
    State& s = *state_;
    if (s.rowsLeft <= 0) throw Error(EncodeFailed);
    const size_t n = size_t(s.width) * 3;
    const uint8_t* up = s.previous.data();
    // Each filter tried; the row goes out with the one whose bytes sum smallest (as signed),
    // which usually compresses best.
    size_t best = 0;
    uint64_t bestSum = UINT64_MAX;
    for (int f = 0; f < FilterCount; ++f) {
        uint8_t* o = s.filtered[f].data();
        o[0] = uint8_t(f);
        uint8_t* d = o + 1;
        // One loop per filter: the pixel to the left is 3 bytes back, none for the first.
        switch (f) {
        case 0: std::memcpy(d, rgb, n); break;
        case 1:
            for (size_t i = 0; i < n; ++i) d[i] = uint8_t(rgb[i] - (i >= 3 ? rgb[i - 3] : 0));
            break;
        case 2:
            for (size_t i = 0; i < n; ++i) d[i] = uint8_t(rgb[i] - up[i]);
            break;
        case 3:
            for (size_t i = 0; i < n; ++i) d[i] = uint8_t(rgb[i] - ((i >= 3 ? rgb[i - 3] : 0) + up[i]) / 2);
            break;
        default:
            for (size_t i = 0; i < 3 && i < n; ++i) d[i] = uint8_t(rgb[i] - up[i]);  // Paeth with a = c = 0
            for (size_t i = 3; i < n; ++i) d[i] = uint8_t(rgb[i] - paeth(rgb[i - 3], up[i], up[i - 3]));
            break;
        }
        uint64_t sum = 0;
        for (size_t i = 0; i < n; ++i) sum += uint64_t(std::abs(int(int8_t(d[i]))));
        if (sum < bestSum) bestSum = sum, best = size_t(f);
    }
    std::memcpy(s.previous.data(), rgb, n);
    --s.rowsLeft;
    s.deflateBytes(s.filtered[best].data(), n + 1, s.rowsLeft == 0);
    if (s.rowsLeft == 0) s.chunk("IEND", nullptr, 0);
}

std::string encodePng(int width, int height, const std::vector<uint8_t>& rgb) {
    if (width <= 0 || height <= 0 || rgb.size() != size_t(width) * size_t(height) * 3) throw Error(EncodeFailed);
    std::string png;
    PngStream stream(width, height, [&png](const void* data, size_t size) {
        png.append(static_cast<const char*>(data), size);
    });
    for (int y = 0; y < height; ++y) stream.writeRow(rgb.data() + size_t(y) * size_t(width) * 3);
    return png;
}

} // namespace tq::cli
