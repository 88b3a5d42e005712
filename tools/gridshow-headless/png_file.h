// Saving 0x00RRGGBB pictures as PNG files (libpng).
#pragma once
#include <cstdint>

bool save_png(const char* path, const std::uint32_t* pixels, int width, int height, int stride);
