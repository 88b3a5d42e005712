// The caption bar's font. Internal to platform/.
#pragma once
#include <cstdint>

// Seven rows of five pixels (bit 4 leftmost) for a caption character; null
// for characters the font lacks (drawn as blanks).
const std::uint8_t* caption_glyph(char character);
constexpr int glyph_width = 5;
constexpr int glyph_height = 7;
