// The composed screen as a PNG file.
#include "platform/headless/headless.h"

#include <png.h>

bool headless_save_screen_png(const char* path) {
    int width = GetSystemMetrics(SM_CXSCREEN);
    int height = GetSystemMetrics(SM_CYSCREEN);
    std::vector<std::uint32_t> screen = headless_screen();
    std::vector<png_byte> rgb(screen.size() * 3);
    for (std::size_t i = 0; i < screen.size(); ++i) {
        rgb[i * 3] = png_byte(screen[i] >> 16);
        rgb[i * 3 + 1] = png_byte(screen[i] >> 8);
        rgb[i * 3 + 2] = png_byte(screen[i]);
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = png_uint_32(width);
    image.height = png_uint_32(height);
    image.format = PNG_FORMAT_RGB;
    return png_image_write_to_file(&image, path, 0, rgb.data(), width * 3, nullptr) != 0;
}
