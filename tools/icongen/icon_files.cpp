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

// Rows of 1, 4 or 32 bit pixels are padded to whole 32-bit words.
std::uint32_t bitmap_row_bytes(int size, int bits) {
    return std::uint32_t((size * bits + 31) / 32 * 4);
}

// A 16-grey palette bitmap with its see-through mask, as icon files store
// small sizes: rows bottom up, the colour rows then the mask rows, and the
// height doubled for the two. See-through pixels are black under a set mask
// bit, so that the screen shows through unchanged.
Bytes icon_bitmap(int size) {
    const IconPicture picture = draw_icon(size);
    const std::uint32_t colour_row = bitmap_row_bytes(size, 4);
    const std::uint32_t mask_row = bitmap_row_bytes(size, 1);
    Bytes out;
    put32(out, 40); // the header's own size
    put32(out, std::uint32_t(size));
    put32(out, std::uint32_t(size) * 2);
    put16(out, 1); // planes
    put16(out, 4); // bits per pixel
    put32(out, 0); // no compression
    put32(out, (colour_row + mask_row) * std::uint32_t(size));
    put32(out, 0);
    put32(out, 0);
    put32(out, icon_levels);
    put32(out, 0);
    for (int level = 0; level < icon_levels; ++level) {
        const std::uint8_t grey = icon_grey(level);
        out.insert(out.end(), {grey, grey, grey, 0});
    }
    const std::size_t colours = out.size();
    const std::size_t mask = colours + std::size_t(colour_row) * size;
    out.resize(mask + std::size_t(mask_row) * size);
    for (int y = 0; y < size; ++y) {
        const std::size_t row = std::size_t(size - 1 - y);
        for (int x = 0; x < size; ++x) {
            const int level = picture.levels[std::size_t(y) * size + x];
            if (level == see_through) {
                out[mask + row * mask_row + x / 8] |= std::uint8_t(0x80 >> (x % 8));
            } else {
                out[colours + row * colour_row + x / 2] |= std::uint8_t(level << (x % 2 ? 0 : 4));
            }
        }
    }
    return out;
}

// Kept apart from its caller so that no local of the caller lives across
// libpng's longjmp.
bool write_png(png_structp png, png_infop info, int size, const Bytes& rgba, Bytes& out) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    png_set_write_fn(png, &out, append_to_bytes, no_flush);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, png_uint_32(size), png_uint_32(size), 8, PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
    png_write_info(png, info);
    for (int y = 0; y < size; ++y) {
        png_write_row(png, &rgba[std::size_t(y) * size * 4]);
    }
    png_write_end(png, nullptr);
    return true;
}

} // namespace

Bytes icon_png(int size) {
    const IconPicture picture = draw_icon(size);
    Bytes rgba(std::size_t(size) * size * 4);
    for (std::size_t i = 0; i < picture.levels.size(); ++i) {
        const int level = picture.levels[i];
        const std::uint8_t grey = level == see_through ? 0 : icon_grey(level);
        rgba[i * 4] = rgba[i * 4 + 1] = rgba[i * 4 + 2] = grey;
        rgba[i * 4 + 3] = level == see_through ? 0 : 255;
    }
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    const bool written = info && write_png(png, info, size, rgba, out);
    png_destroy_write_struct(&png, &info);
    return written ? out : Bytes{};
}

// The 256 px image as PNG keeps the executable small; Windows reads PNG
// images in icon files since Vista.
Bytes icon_ico() {
    const int sizes[] = {16, 32, 48, 256};
    const int image_count = 4;
    Bytes images[image_count];
    for (int i = 0; i < image_count; ++i) {
        images[i] = sizes[i] == 256 ? icon_png(256) : icon_bitmap(sizes[i]);
        if (images[i].empty()) return {};
    }
    Bytes out;
    put16(out, 0);
    put16(out, 1); // an icon, not a cursor
    put16(out, image_count);
    std::uint32_t offset = 6 + 16 * image_count;
    for (int i = 0; i < image_count; ++i) {
        const bool png = sizes[i] == 256;
        out.push_back(std::uint8_t(sizes[i] % 256)); // 0 stands for 256
        out.push_back(std::uint8_t(sizes[i] % 256));
        out.push_back(png ? 0 : icon_levels);
        out.push_back(0);
        put16(out, 1);            // planes
        put16(out, png ? 32 : 4); // bits per pixel
        put32(out, std::uint32_t(images[i].size()));
        put32(out, offset);
        offset += std::uint32_t(images[i].size());
    }
    for (const Bytes& image : images) out.insert(out.end(), image.begin(), image.end());
    return out;
}
