// The effect table and the renderers that write the shade matrix.
#pragma once
#include <cstdint>

struct CellGrid;
struct Replay;
struct ShowState;

// Named rather than pointed to: the table then holds no addresses, which the
// Windows loader would have to move when it places the program elsewhere.
enum class EffectKind : std::uint8_t { BannerOne, Figure, Plasma, BannerTwo };

struct EffectEntry {
    EffectKind kind;
    std::uint8_t first_order;
    std::uint8_t end_order;
    std::uint8_t grid_cols;
    std::uint8_t grid_rows;
};

constexpr int effect_count = 4;
extern const EffectEntry effect_table[effect_count];

// Writes rows 0..rows-1, columns 0..cols-1 of `shades` (row stride 20) for the
// show's effect clock; `show.first_frame` marks an effect's first picture. A
// renderer may keep its own motion in the show state.
void render_effect(EffectKind kind, ShowState& show, std::uint8_t* shades, std::uint64_t cols,
                   std::uint64_t rows);

// The window bobs while one of the two banner effects is the one that counts.
bool is_banner_effect(EffectKind kind);

// One tick of the EffectRunning phase: draws the current effect while the
// song's order_counter is below its end, otherwise logs the hand-over and
// moves the show on (next effect, a grid resize, or the scroll-out).
void effect_step(ShowState& show, CellGrid& grid, const Replay* replay);

// Sets rows 0..rows-1, columns 0..cols-1 to black; every renderer starts so.
void clear_shades(std::uint8_t* shades, std::uint64_t cols, std::uint64_t rows);

void render_banner_one(ShowState& show, std::uint8_t* shades, std::uint64_t cols,
                       std::uint64_t rows);
void render_banner_two(ShowState& show, std::uint8_t* shades, std::uint64_t cols,
                       std::uint64_t rows);
void render_figure(ShowState& show, std::uint8_t* shades, std::uint64_t cols, std::uint64_t rows);
void render_plasma(ShowState& show, std::uint8_t* shades, std::uint64_t cols, std::uint64_t rows);
