#include "tools/gridshow-headless/png_file.h"
#include <png.h>
#include <vector>

bool save_png(const char* path, const std::uint32_t* pixels, int width, int height, int stride) {
    std::vector<std::uint8_t> rgb(std::size_t(width) * height * 3);
    std::uint8_t* out = rgb.data();
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* row = pixels + std::size_t(y) * stride;
        for (int x = 0; x < width; ++x) {
            *out++ = std::uint8_t(row[x] >> 16);
            *out++ = std::uint8_t(row[x] >> 8);
            *out++ = std::uint8_t(row[x]);
        }
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path, 0, rgb.data(), 0, nullptr) != 0;
}
