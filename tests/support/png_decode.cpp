#include "support/png_decode.h"

#define STB_IMAGE_IMPLEMENTATION
#define STB_IMAGE_STATIC
#define STBI_ONLY_PNG
#define STBI_NO_STDIO
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wunused-parameter"
#pragma GCC diagnostic ignored "-Wsign-compare"
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#endif
#include <stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

namespace tq::test {

DecodedPng decodePng(const std::string& bytes) {
    DecodedPng png;
    int channels = 0;
    stbi_uc* data = stbi_load_from_memory(reinterpret_cast<const stbi_uc*>(bytes.data()), int(bytes.size()),
                                          &png.width, &png.height, &channels, 3);
    if (!data) return png;
    png.rgb.assign(data, data + size_t(png.width) * size_t(png.height) * 3);
    stbi_image_free(data);
    png.ok = true;
    return png;
}

} // namespace tq::test
