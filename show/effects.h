// The effect table and the renderers that write the shade matrix.
#pragma once
#include <cstdint>

// Writes rows 0..rows-1, columns 0..cols-1 of `shades` (row stride 20).
using EffectRender = void (*)(std::uint8_t* shades, std::uint64_t cols, std::uint64_t rows,
                              float time, bool first);

struct EffectEntry {
    EffectRender render;
    std::uint64_t first_order;
    std::uint64_t end_order;
    std::uint64_t grid_cols;
    std::uint64_t grid_rows;
};

constexpr int effect_count = 4;
extern const EffectEntry effect_table[effect_count];

void render_banner_one(std::uint8_t* shades, std::uint64_t cols, std::uint64_t rows, float time,
                       bool first);
void render_banner_two(std::uint8_t* shades, std::uint64_t cols, std::uint64_t rows, float time,
                       bool first);
void render_figure(std::uint8_t* shades, std::uint64_t cols, std::uint64_t rows, float time,
                   bool first);
void render_plasma(std::uint8_t* shades, std::uint64_t cols, std::uint64_t rows, float time,
                   bool first);
