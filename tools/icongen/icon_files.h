// The icon's file formats: PNG for the desktop's icon themes, and a Windows
// icon file with 16, 32, 48 and 256 px images, each PNG-compressed.
#pragma once
#include <cstdint>
#include <vector>

// Empty when libpng fails.
std::vector<std::uint8_t> icon_png(int size);
std::vector<std::uint8_t> icon_ico();
