// The effect table and the renderers that write the shade matrix.
#pragma once
#include <cstdint>

struct CellGrid;
struct Replay;
struct ShowState;

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

// The window bobs while one of the two banner effects is the one that counts.
bool is_banner_effect(EffectRender render);

// One tick of the EffectRunning phase: draws the current effect while the
// song's order_counter is below its end, otherwise logs the hand-over and
// moves the show on (next effect, a grid resize, or the scroll-out).
void effect_step(ShowState& show, CellGrid& grid, const Replay* replay);

// Sets rows 0..rows-1, columns 0..cols-1 to black; every renderer starts so.
void clear_shades(std::uint8_t* shades, std::uint64_t cols, std::uint64_t rows);

void render_banner_one(std::uint8_t* shades, std::uint64_t cols, std::uint64_t rows, float time,
                       bool first);
void render_banner_two(std::uint8_t* shades, std::uint64_t cols, std::uint64_t rows, float time,
                       bool first);
void render_figure(std::uint8_t* shades, std::uint64_t cols, std::uint64_t rows, float time,
                   bool first);
void render_plasma(std::uint8_t* shades, std::uint64_t cols, std::uint64_t rows, float time,
                   bool first);
