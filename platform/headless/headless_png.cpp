// Pictures as PNG files: the composed screen, and any 0x00RRGGBB picture
// (the driver's frames and contact sheet).
#include "platform/headless/headless.h"

#include <csetjmp>
#include <cstdio>
#include <png.h>

// The fastest compression: captures are mostly flat colour, which compresses
// well anyway, and a run writes many frames.
bool headless_save_png(const char* path, const std::uint32_t* pixels, int width, int height,
                       int stride) {
    std::FILE* file = std::fopen(path, "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    std::vector<std::uint8_t> row(std::size_t(width) * 3);
    bool written = false;
    if (info && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_compression_level(png, 1);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
        png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
                     PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
        png_write_info(png, info);
        for (int y = 0; y < height; ++y) {
            const std::uint32_t* source = pixels + std::size_t(y) * stride;
            for (int x = 0; x < width; ++x) {
                row[3 * x] = std::uint8_t(source[x] >> 16);
                row[3 * x + 1] = std::uint8_t(source[x] >> 8);
                row[3 * x + 2] = std::uint8_t(source[x]);
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
        written = true;
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && written;
}

bool headless_save_screen_png(const char* path) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const std::vector<std::uint32_t> screen = headless_screen();
    return headless_save_png(path, screen.data(), width, GetSystemMetrics(SM_CYSCREEN), width);
}
