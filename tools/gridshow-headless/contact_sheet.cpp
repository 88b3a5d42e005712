#include "tools/gridshow-headless/contact_sheet.h"
#include "tools/gridshow-headless/tiny_font.h"
#include <algorithm>

namespace {

constexpr int margin = 6;
constexpr int label_scale = 2;
constexpr int label_height = glyph_height * label_scale + 6;
constexpr std::uint32_t background = 0x202020;
constexpr std::uint32_t label_colour = 0xE0E0E0;

// Each thumbnail pixel is the average of the screen pixels it covers.
std::vector<std::uint32_t> shrink(const ContactSheet& sheet, const std::uint32_t* screen,
                                  int stride) {
    std::vector<std::uint32_t> out(std::size_t(thumbnail_width) * sheet.thumbnail_height);
    for (int ty = 0; ty < sheet.thumbnail_height; ++ty) {
        int y0 = ty * sheet.screen_height / sheet.thumbnail_height;
        int y1 = std::max(y0 + 1, (ty + 1) * sheet.screen_height / sheet.thumbnail_height);
        for (int tx = 0; tx < thumbnail_width; ++tx) {
            int x0 = tx * sheet.screen_width / thumbnail_width;
            int x1 = std::max(x0 + 1, (tx + 1) * sheet.screen_width / thumbnail_width);
            std::uint64_t red = 0, green = 0, blue = 0;
            for (int y = y0; y < y1; ++y)
                for (int x = x0; x < x1; ++x) {
                    std::uint32_t pixel = screen[std::size_t(y) * stride + x];
                    red += pixel >> 16 & 0xFF;
                    green += pixel >> 8 & 0xFF;
                    blue += pixel & 0xFF;
                }
            std::uint64_t count = std::uint64_t(y1 - y0) * std::uint64_t(x1 - x0);
            out[std::size_t(ty) * thumbnail_width + tx] =
                std::uint32_t(red / count << 16 | green / count << 8 | blue / count);
        }
    }
    return out;
}

} // namespace

void contact_sheet_begin(ContactSheet& sheet, int screen_width, int screen_height,
                         std::uint64_t interval) {
    sheet.screen_width = screen_width;
    sheet.screen_height = screen_height;
    sheet.thumbnail_height = std::max(1, screen_height * thumbnail_width / screen_width);
    sheet.interval = std::max<std::uint64_t>(1, interval);
    sheet.thumbnails.clear();
}

bool contact_sheet_wants(const ContactSheet& sheet, std::uint64_t tick) {
    return tick % sheet.interval == 0;
}

void contact_sheet_add(ContactSheet& sheet, std::uint64_t tick, const std::uint32_t* screen,
                       int stride, const std::string& label) {
    contact_sheet_add_last(sheet, tick, screen, stride, label);
    if (sheet.thumbnails.size() <= contact_sheet_capacity) return;
    // Thinned after adding, so that the new thumbnail goes too when it is off
    // the new pace.
    sheet.interval *= 2;
    std::erase_if(sheet.thumbnails,
                  [&](const Thumbnail& old) { return old.tick % sheet.interval != 0; });
}

void contact_sheet_add_last(ContactSheet& sheet, std::uint64_t tick, const std::uint32_t* screen,
                            int stride, const std::string& label) {
    sheet.thumbnails.push_back(Thumbnail{tick, label, shrink(sheet, screen, stride)});
}

std::vector<std::uint32_t> contact_sheet_compose(const ContactSheet& sheet, int* width,
                                                 int* height) {
    int count = int(sheet.thumbnails.size());
    int rows = std::max(1, (count + contact_sheet_columns - 1) / contact_sheet_columns);
    int cell_width = thumbnail_width + margin;
    int cell_height = sheet.thumbnail_height + label_height + margin;
    *width = margin + contact_sheet_columns * cell_width;
    *height = margin + rows * cell_height;
    std::vector<std::uint32_t> picture(std::size_t(*width) * *height, background);
    Picture canvas{picture.data(), *width, *height, *width};
    for (int i = 0; i < count; ++i) {
        const Thumbnail& thumbnail = sheet.thumbnails[i];
        int left = margin + i % contact_sheet_columns * cell_width;
        int top = margin + i / contact_sheet_columns * cell_height;
        for (int y = 0; y < sheet.thumbnail_height; ++y)
            std::copy_n(thumbnail.pixels.data() + std::size_t(y) * thumbnail_width, thumbnail_width,
                        picture.data() + std::size_t(top + y) * *width + left);
        draw_text(canvas, left, top + sheet.thumbnail_height + 4, thumbnail.label.c_str(),
                  label_scale, label_colour);
    }
    return picture;
}
