#include "icon_files.h"
#include "icon_picture.h"
#include <csetjmp>
#include <png.h>

namespace {

using Bytes = std::vector<std::uint8_t>;

void put16(Bytes& out, std::uint32_t value) {
    out.push_back(std::uint8_t(value));
    out.push_back(std::uint8_t(value >> 8));
}

void put32(Bytes& out, std::uint32_t value) {
    put16(out, value & 0xffff);
    put16(out, value >> 16);
}

void append_to_bytes(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void no_flush(png_structp /*png*/) {}

// Kept apart from its caller so that no local of the caller lives across
// libpng's longjmp. Grey and alpha, two bytes a pixel: the flat cells
// compress to a few bytes a row, with no palette to carry.
bool write_png(png_structp png, png_infop info, int size, const Bytes& grey_alpha, Bytes& out) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    png_set_write_fn(png, &out, append_to_bytes, no_flush);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, png_uint_32(size), png_uint_32(size), 8, PNG_COLOR_TYPE_GRAY_ALPHA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_write_info(png, info);
    for (int y = 0; y < size; ++y) {
        png_write_row(png, &grey_alpha[std::size_t(y) * size * 2]);
    }
    png_write_end(png, nullptr);
    return true;
}

} // namespace

Bytes icon_png(int size) {
    const IconPicture picture = draw_icon(size);
    Bytes grey_alpha(picture.levels.size() * 2);
    for (std::size_t i = 0; i < picture.levels.size(); ++i) {
        const int level = picture.levels[i];
        grey_alpha[i * 2] = level == see_through ? 0 : icon_grey(level);
        grey_alpha[i * 2 + 1] = level == see_through ? 0 : 255;
    }
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const bool written = info && write_png(png, info, size, grey_alpha, out);
    png_destroy_write_struct(&png, &info);
    return written ? out : Bytes{};
}

// Every size as PNG keeps the executable small (a fifth of 4-bit bitmaps);
// Windows reads PNG images in icon files since Vista.
Bytes icon_ico() {
    const int sizes[] = {16, 32, 48, 256};
    const int image_count = 4;
    Bytes images[image_count];
    for (int i = 0; i < image_count; ++i) {
        images[i] = icon_png(sizes[i]);
        if (images[i].empty()) return {};
    }
    Bytes out;
    put16(out, 0);
    put16(out, 1); // an icon, not a cursor
    put16(out, image_count);
    std::uint32_t offset = 6 + 16 * image_count;
    for (int i = 0; i < image_count; ++i) {
        out.push_back(std::uint8_t(sizes[i] % 256)); // 0 stands for 256
        out.push_back(std::uint8_t(sizes[i] % 256));
        out.push_back(0); // no palette of the entry's own: the PNG holds it
        out.push_back(0);
        put16(out, 1);  // planes
        put16(out, 32); // bits per pixel, as Windows expects of PNG images
        put32(out, std::uint32_t(images[i].size()));
        put32(out, offset);
        offset += std::uint32_t(images[i].size());
    }
    for (const Bytes& image : images) out.insert(out.end(), image.begin(), image.end());
    return out;
}
