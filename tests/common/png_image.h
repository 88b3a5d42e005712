// Reads a PNG the headless host wrote (a captured frame, the contact sheet, a
// saved screen) into memory, so that tests can look at its pixels.
#pragma once
#include <cstdint>
#include <png.h>
#include <string>
#include <vector>

struct PngImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels; // 0x00RRGGBB, row-major, no padding

    std::uint32_t at(int x, int y) const { return pixels[std::size_t(y) * width + x]; }
};

// An empty image (width 0) when the file is missing or not a PNG.
inline PngImage read_png(const std::string& path) {
    PngImage result;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return result;
    image.format = PNG_FORMAT_BGRA;
    std::vector<std::uint32_t> pixels(std::size_t(image.width) * image.height);
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        png_image_free(&image);
        return result;
    }
    for (std::uint32_t& pixel : pixels) pixel &= 0x00FFFFFF;
    result.width = int(image.width);
    result.height = int(image.height);
    result.pixels = std::move(pixels);
    return result;
}
