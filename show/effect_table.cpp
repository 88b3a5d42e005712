// The show's effects in running order, tied to the song by the replay's
// order_counter, and the step that draws the current one or hands over.
#include "base/diagnostics.h"
#include "grid/cell_grid.h"
#include "player/player.h"
#include "show/effects.h"
#include "show/show_state.h"

// Effect 1 gets a 5 x 5 grid: its figure needs five rows, and on fewer the
// whole slot would show black cells.
const EffectEntry effect_table[effect_count] = {
    {EffectKind::BannerOne, 0, 4, 16, 9},
    {EffectKind::Figure, 4, 5, 5, 5},
    {EffectKind::Plasma, 5, 7, 16, 14},
    {EffectKind::BannerTwo, 7, 9, 24, 7},
};

void render_effect(EffectKind kind, ShowState& show, std::uint8_t* shades, std::uint64_t cols,
                   std::uint64_t rows) {
    switch (kind) {
    case EffectKind::BannerOne:
        render_banner_one(show, shades, cols, rows);
        break;
    case EffectKind::Figure:
        render_figure(show, shades, cols, rows);
        break;
    case EffectKind::Plasma:
        render_plasma(show, shades, cols, rows);
        break;
    case EffectKind::BannerTwo:
        render_banner_two(show, shades, cols, rows);
        break;
    }
}

bool is_banner_effect(EffectKind kind) {
    return kind == EffectKind::BannerOne || kind == EffectKind::BannerTwo;
}

void clear_shades(std::uint8_t* shades, std::uint64_t cols, std::uint64_t rows) {
    for (std::uint64_t r = 0; r < rows; ++r)
        for (std::uint64_t c = 0; c < cols; ++c) shades[r * shade_stride + c] = 0;
}

namespace {

void start_scroll_out(ShowState& show) {
    show.phase = ShowPhase::WindowScrollingOut;
    show.slide_time = 0;
    show.slide_from_x = show.home_x;
}

void log_effect_finished(std::uint64_t index, std::uint64_t order) {
    diag_lock();
    if (diag_write("Effect ") && diag_write_uint(index) && diag_write(" finished at order ") &&
        diag_write_uint(order))
        diag_write("\n");
    diag_unlock();
}

} // namespace

void effect_step(ShowState& show, CellGrid& grid, const Replay* replay) {
    if (!replay) {
        diag_line("No replay or sequence ended, starting scroll out.\n");
        start_scroll_out(show);
        return;
    }
    const std::uint64_t order = replay->order_counter;
    const EffectEntry& current = effect_table[show.effect_index];
    if (order < current.end_order) {
        render_effect(current.kind, show, grid.shades.values, grid.cols, grid.rows);
        show.first_frame = false;
        invalidate_cells(grid);
        return;
    }
    log_effect_finished(show.effect_index, order);
    show.first_frame = true;
    if (show.effect_index >= effect_count - 1) {
        diag_line("Animation sequence finished.\n");
        start_scroll_out(show);
        return;
    }
    const std::uint64_t next = show.effect_index + 1;
    const EffectEntry& following = effect_table[next];
    // Compared as wanted, before the cut to the shade matrix's size.
    if (following.grid_cols != grid.cols || following.grid_rows != grid.rows) {
        show.target_cols =
            following.grid_cols < max_grid_size ? following.grid_cols : max_grid_size;
        show.target_rows =
            following.grid_rows < max_grid_size ? following.grid_rows : max_grid_size;
        show.phase = ShowPhase::GridScalingDown;
    }
    show.effect_index = next;
}
