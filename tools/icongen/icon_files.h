// The icon's file formats: PNG for the desktop's icon themes, and a Windows
// icon file with 16, 32 and 48 px bitmaps and a PNG-compressed 256 px image.
#pragma once
#include <cstdint>
#include <vector>

// Empty when libpng fails.
std::vector<std::uint8_t> icon_png(int size);
std::vector<std::uint8_t> icon_ico();
