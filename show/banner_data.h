// Constant data of the two banner effects.
#pragma once
#include <cstdint>

constexpr int banner_picture_frames = 2;
constexpr int banner_picture_rows = 9;
constexpr int banner_picture_cols = 16;
extern const std::uint16_t banner_picture[banner_picture_frames * banner_picture_rows];

inline bool banner_picture_lit(std::uint64_t frame, std::int64_t row, std::int64_t col) {
    const std::uint16_t bits = banner_picture[frame * banner_picture_rows + std::uint64_t(row)];
    return (bits >> (15 - col) & 1) != 0;
}

constexpr int banner_font_first = 32;
constexpr int banner_font_glyphs = 128;
constexpr int banner_font_rows = 7; // the 8 x 8 shapes' bottom row is empty in every glyph
extern const std::uint8_t banner_font[(banner_font_glyphs - banner_font_first) * banner_font_rows];
