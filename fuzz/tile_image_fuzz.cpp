// The texture and land-art decoders over any index and data bytes.
//
// The input is split into the four client files: bytes 0-7 hold four 16-bit lengths
// (texidx.mul, texmaps.mul, artidx.mul, art.mul, each cut to what is left), bytes 8-15
// four tile ids to draw, and the files follow in that order.
//
// Promises checked: a picture is 64 x 64, 128 x 128, 45 x 45 or one black pixel; a damaged
// entry gives a clear error or the quiet fall-through, never a read outside a file.
#include "core/bytes.h"
#include "core/error.h"
#include "core/file_system.h"
#include "mapedit/tile_image.h"
#include "support/fuzz_check.h"
#include "support/memory_file_system.h"

#include <algorithm>
#include <string>

using namespace tq;

namespace {

void checkPicture(const TileImage& image) {
    const bool square = image.Width == image.Height;
    TQ_FUZZ_REQUIRE(square && (image.Width == 64 || image.Width == 128 || image.Width == 45 || image.Width == 1));
    TQ_FUZZ_REQUIRE(image.Pixels.size() == size_t(image.Width) * size_t(image.Height));
    if (image.Width == 1) TQ_FUZZ_REQUIRE(image.Pixels[0] == 0);
    if (image.Width == 45) TQ_FUZZ_REQUIRE(image.pixel(0, 0) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static fuzz::MemoryFileSystem fs;
    if (size < 16) return 0;
    const char* names[4] = {"/c/texidx.mul", "/c/texmaps.mul", "/c/artidx.mul", "/c/art.mul"};
    fs.clear();
    size_t at = 16;
    for (int i = 0; i < 4; ++i) {
        const size_t want = le::u16(data + 2 * i);
        const size_t take = std::min(want, size - at);
        fs.put(names[i], std::string(reinterpret_cast<const char*>(data + at), take));
        at += take;
    }
    ScopedFileSystem guard(fs);
    struct Clear {
        fuzz::MemoryFileSystem& fs;
        ~Clear() { fs.clear(); }  // every input frees what it took
    } clear{fs};

    TileImageLoader loader("/c");
    auto draw = [&](uint16_t id) {
        try {
            if (auto t = loader.texture(id)) {
                TQ_FUZZ_REQUIRE(t->Width == 64 || t->Width == 128);
                checkPicture(*t);
            }
        } catch (const Error&) {
        }
        try {
            if (auto a = loader.landArt(id)) {
                TQ_FUZZ_REQUIRE(a->Width == 45 && id != 7 && id != 8);
                checkPicture(*a);
            }
        } catch (const Error&) {
        }
        try {
            checkPicture(loader.tile(id));
        } catch (const Error&) {
        }
        try {
            checkPicture(LoadTileImage("/c", id));
        } catch (const Error&) {
        }
    };
    for (int i = 0; i < 4; ++i) draw(le::u16(data + 8 + 2 * i));
    // Every id the two indexes hold an entry for, and the first past them.
    const uint64_t entries = std::max(fs.node(names[0])->size, fs.node(names[2])->size) / 12;
    for (uint64_t id = 0; id <= std::min<uint64_t>(entries, TileImageIdLimit); ++id) draw(uint16_t(id));
    return 0;
}
