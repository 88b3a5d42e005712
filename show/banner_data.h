// Constant data of the two banner effects.
#pragma once
#include <cstdint>

constexpr int banner_text_one_length = 40;
constexpr int banner_text_two_length = 41;
extern const char banner_text_one[banner_text_one_length + 1];
extern const char banner_text_two[banner_text_two_length + 1];

constexpr int banner_picture_frames = 2;
constexpr int banner_picture_rows = 9;
constexpr int banner_picture_cols = 16;
extern const std::uint8_t
    banner_picture[banner_picture_frames * banner_picture_rows * banner_picture_cols];

constexpr int banner_font_glyphs = 128;
extern const std::uint8_t banner_font[banner_font_glyphs * 8];
