// A scrolling line of 8 x 8 text over a two-frame picture that crosses the grid
// once. The motion comes from the show's clocks, not from the time argument.
#include "show/banner.h"
#include "grid/cell_grid.h"
#include "show/banner_data.h"
#include "show/effects.h"
#include <cmath>

const BannerStyle banner_one_style = {"  Cobalt Harvest Cooperative            ", 40, 255};
const BannerStyle banner_two_style = {"   Straight from Planet Vesko            ", 41, 192};

namespace {

void clear_area(std::uint8_t* shades, std::int64_t cols, std::int64_t rows) {
    for (std::int64_t r = 0; r < rows; ++r)
        for (std::int64_t c = 0; c < cols; ++c) shades[r * shade_stride + c] = 0;
}

void draw_picture(const ShowState& show, std::uint8_t* shades, std::int64_t cols,
                  std::int64_t rows) {
    const std::int32_t px = static_cast<std::int32_t>(std::floor(show.banner_picture_x));
    // Signed: a 7-row grid puts the picture's top row above the grid.
    const std::int64_t top = (rows - banner_picture_rows) / 2;
    for (std::int64_t i = 0; i < banner_picture_rows; ++i) {
        const std::int64_t y = top + i;
        if (y < 0 || y >= rows) continue;
        for (std::int64_t j = 0; j < banner_picture_cols; ++j) {
            const std::int64_t x = px + j;
            if (x >= 0 && x < cols && banner_picture_lit(show.blink_frame, i, j))
                shades[y * shade_stride + x] = banner_picture_shade;
        }
    }
}

void draw_glyph(std::uint8_t code, std::int64_t left, std::int64_t top, std::uint8_t shade,
                std::uint8_t* shades, std::int64_t cols, std::int64_t rows) {
    if (code < banner_font_first || code >= banner_font_glyphs) return;
    const std::uint8_t* glyph = banner_font + (code - banner_font_first) * banner_font_rows;
    for (std::int64_t i = 0; i < 8; ++i) {
        const std::int64_t x = left + i;
        if (x < 0 || x >= cols) continue;
        for (std::int64_t j = 0; j < banner_font_rows; ++j) {
            const std::int64_t y = top + j;
            if (y >= 0 && y < rows && (glyph[j] >> i & 1)) shades[y * shade_stride + x] = shade;
        }
    }
}

void draw_text(ShowState& show, const BannerStyle& style, std::uint8_t* shades, std::int64_t cols,
               std::int64_t rows) {
    const float length = static_cast<float>(style.length);
    while (show.banner_scroll >= length) show.banner_scroll -= length;
    const float s = show.banner_scroll;
    const float whole = std::floor(s);
    std::int64_t k = static_cast<std::int64_t>(whole);
    std::int64_t offset = -static_cast<std::int64_t>((s - whole) * 8.0f);
    const std::int64_t top = (rows - 6) / 2;
    for (; offset < cols; ++k, offset += 8) {
        const std::int64_t index = (k % style.length + style.length) % style.length;
        const auto code = static_cast<std::uint8_t>(style.text[index]);
        draw_glyph(code, offset, top, style.text_shade, shades, cols, rows);
    }
}

} // namespace

void draw_banner(ShowState& show, const BannerStyle& style, std::uint8_t* shades,
                 std::uint64_t cols, std::uint64_t rows, bool first) {
    if (first) {
        show.banner_scroll = 0;
        show.banner_picture_x = static_cast<float>(cols + 9);
        show.blink_frame = 0;
        show.blink_time = 0;
    }
    const auto signed_cols = static_cast<std::int64_t>(cols);
    const auto signed_rows = static_cast<std::int64_t>(rows);
    clear_area(shades, signed_cols, signed_rows);
    draw_picture(show, shades, signed_cols, signed_rows);
    draw_text(show, style, shades, signed_cols, signed_rows);
}

void render_banner_one(ShowState& show, std::uint8_t* shades, std::uint64_t cols,
                       std::uint64_t rows) {
    draw_banner(show, banner_one_style, shades, cols, rows, show.first_frame);
}

void render_banner_two(ShowState& show, std::uint8_t* shades, std::uint64_t cols,
                       std::uint64_t rows) {
    draw_banner(show, banner_two_style, shades, cols, rows, show.first_frame);
}
