#include "png_writer.h"

#include "core/error.h"

// The encoder is stb_image_write (Debian's libstb-dev): header-only, no Qt, and it builds
// for Windows with MinGW, so both builds of the tool write the same bytes.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STB_IMAGE_WRITE_STATIC
#define STBI_WRITE_NO_STDIO
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#endif
#include <stb_image_write.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace tq::cli {

std::string encodePng(int width, int height, const std::vector<uint8_t>& rgb) {
    if (width <= 0 || height <= 0 || rgb.size() != size_t(width) * size_t(height) * 3)
        throw Error("Could not encode the picture as PNG");
    std::string png;
    auto append = [](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<const char*>(data), size_t(size));
    };
    if (!stbi_write_png_to_func(append, &png, width, height, 3, rgb.data(), width * 3))
        throw Error("Could not encode the picture as PNG");
    return png;
}

} // namespace tq::cli
