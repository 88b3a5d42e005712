// A 3 × 5 pixel font for the contact sheet's labels: digits, capital letters
// (small letters are drawn as capitals), space and a little punctuation.
#pragma once
#include <cstdint>

struct Picture {
    std::uint32_t* pixels; // 0x00RRGGBB
    int width;
    int height;
    int stride;
};

// Draws `text` with its top-left corner at (x, y), each font pixel `scale`
// pixels wide and high, clipped to the picture. Unknown characters are blank.
// Returns the x just after the text.
int draw_text(Picture picture, int x, int y, const char* text, int scale, std::uint32_t colour);

constexpr int glyph_width = 3;
constexpr int glyph_height = 5;
constexpr int glyph_advance = 4;
