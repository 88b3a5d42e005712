// The program's icon: a 4 x 4 grid of grey cells with see-through gutters,
// drawn at any size from code.
#pragma once
#include <cstdint>
#include <vector>

// Sixteen grey levels are all flat cells need; level n is grey 17 n.
constexpr int icon_levels = 16;
constexpr std::uint8_t icon_grey(int level) {
    return std::uint8_t(level * 17);
}

constexpr std::uint8_t see_through = 255; // a level where the gutters let the background show

struct IconPicture {
    int size;
    std::vector<std::uint8_t> levels; // size x size, top row first
};

IconPicture draw_icon(int size);
