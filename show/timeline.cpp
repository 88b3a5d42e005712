// The show's state machine: one step per timer tick. Show time advances by a
// fixed 0.016 s per tick and is never read from a clock.
#include "base/diagnostics.h"
#include "grid/cell_grid.h"
#include "show/effects.h"
#include "show/show_state.h"

namespace {

constexpr float tick_seconds = 0.016f;
constexpr float picture_step = 0.046400003f; // 2.9 cells per second of show time
constexpr float scroll_step = 0.032f;        // 2 characters per second of show time
constexpr float blink_period = 0.2f;
constexpr std::int32_t bob_pixels = 4;
constexpr float slide_in_seconds = 5.0f;
constexpr float scroll_out_seconds = 8.0f;
constexpr UINT slide_flags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOCOPYBITS;
constexpr UINT leave_flags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
constexpr UINT timer_period_ms = 2;

std::int32_t eased_x(float e, std::int32_t from, std::int32_t to) {
    return static_cast<std::int32_t>(e * (static_cast<float>(to) - static_cast<float>(from)) +
                                     static_cast<float>(from));
}

void slide_in(ShowState& show, HWND window) {
    show.slide_time += tick_seconds;
    std::int32_t x;
    if (show.slide_time >= slide_in_seconds) {
        // Exactly home, whatever the easing formula would give.
        show.slide_time = slide_in_seconds;
        x = show.home_x;
        // The first effect's grid follows the slide-in.
        show.target_cols = effect_table[0].grid_cols;
        show.target_rows = effect_table[0].grid_rows;
        show.phase = ShowPhase::GridResizing;
        show.phase_time = 0;
    } else {
        x = eased_x(ease_out_bounce(show.slide_time / slide_in_seconds), show.slide_from_x,
                    show.home_x);
    }
    SetWindowPos(window, nullptr, x, show.home_y, 0, 0, slide_flags);
    InvalidateRect(window, nullptr, FALSE);
}

void resize_grid(ShowState& show, CellGrid& grid, HWND window) {
    // The window's teardown releases what the failed rebuild left.
    if (rebuild_grid(grid, window, show.target_cols, show.target_rows) != ErrorName::Ok)
        DestroyWindow(window);
    show.phase = ShowPhase::GridScalingUp;
    show.phase_time = 0;
}

void scale_up(ShowState& show, CellGrid& grid, HWND window) {
    show.phase_time += tick_seconds;
    show.effect_time += tick_seconds; // the effect clock runs at double speed here
    const float end = grow_in_end(grid);
    const GrowInStep step = grow_in_step(grid, show.phase_time);
    if (step.moved > 0) {
        render_effect(effect_table[show.effect_index].kind, show, grid.shades.values, grid.cols,
                      grid.rows);
        show.first_frame = false;
        invalidate_cells(grid);
        // Erasing repaints the gaps between the growing cells.
        InvalidateRect(window, nullptr, TRUE);
    }
    if (show.phase_time >= end || step.finished) show.phase = ShowPhase::EffectRunning;
}

void scale_down(ShowState& show) {
    show.effect_time += tick_seconds;
    diag_line("GridScalingDown (skipping to resize)\n");
    show.phase = ShowPhase::GridResizing;
}

void scroll_out(ShowState& show, HWND window) {
    show.slide_time += tick_seconds;
    const int screen_width = GetSystemMetrics(SM_CXSCREEN);
    std::int32_t x;
    if (show.slide_time >= scroll_out_seconds) {
        show.slide_time = scroll_out_seconds;
        show.phase = ShowPhase::ShowFinished;
        KillTimer(window, show_timer_id);
        PostQuitMessage(0);
        x = screen_width;
    } else {
        x = eased_x(ease_out_bounce(show.slide_time / scroll_out_seconds), show.slide_from_x,
                    screen_width);
    }
    SetWindowPos(window, nullptr, x, show.home_y, 0, 0, leave_flags);
}

// The effect whose banner status sets the bob, or null.
const EffectEntry* bobbing_effect(const ShowState& show) {
    switch (show.phase) {
    case ShowPhase::EffectRunning:
    case ShowPhase::GridScalingUp:
        return &effect_table[show.effect_index];
    case ShowPhase::GridScalingDown:
        // The effect that has just finished.
        return show.effect_index > 0 ? &effect_table[show.effect_index - 1] : nullptr;
    default:
        return nullptr;
    }
}

void bob_window(const ShowState& show, HWND window) {
    const EffectEntry* effect = bobbing_effect(show);
    const bool bobbing = effect && is_banner_effect(effect->kind);
    const std::int32_t wanted_top = show.home_y + (bobbing ? show.bob_offset : 0);
    RECT rect;
    // A window destroyed by this tick's work has no rectangle left to move.
    if (!GetWindowRect(window, &rect) || rect.top == wanted_top) return;
    SetWindowPos(window, nullptr, rect.left, wanted_top, 0, 0, leave_flags);
}

} // namespace

float ease_out_bounce(float x) {
    constexpr float n = 7.5625f;
    if (x < 0.36363637f) return x * (x * n);
    float u;
    if (x < 0.72727275f) {
        u = x - 0.54545456f;
        return u * (u * n) + 0.75f;
    }
    if (x < 0.90909094f) {
        u = x - 0.8181818f;
        return u * (u * n) + 0.9375f;
    }
    u = x - 0.95454544f;
    return u * (u * n) + 0.984375f;
}

void advance_show_clocks(ShowState& show) {
    show.effect_time += tick_seconds;
    show.banner_picture_x -= picture_step;
    show.blink_time += tick_seconds;
    if (show.blink_time >= blink_period) {
        // Subtracted, not zeroed: the flips fall 12 and 13 ticks apart in turn.
        show.blink_time -= blink_period;
        show.blink_frame = 1 - show.blink_frame;
        show.bob_offset = bob_pixels * static_cast<std::int32_t>(show.blink_frame);
    }
    show.banner_scroll += scroll_step;
}

void show_start(ShowState& show, HWND main_window) {
    const int screen_width = GetSystemMetrics(SM_CXSCREEN);
    const int screen_height = GetSystemMetrics(SM_CYSCREEN);
    const auto w = static_cast<std::int32_t>(static_cast<float>(screen_width) * screen_fraction);
    const auto h = static_cast<std::int32_t>(static_cast<float>(screen_height) * screen_fraction);
    show.home_x = (screen_width - w) / 2;
    show.home_y = (screen_height - h) / 2;
    show.slide_from_x = -w;
    show.slide_time = 0;
    show.first_frame = true;
    // Wholly left of the screen, from where the show slides it in.
    SetWindowPos(main_window, nullptr, -w, show.home_y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ShowWindow(main_window, SW_SHOWNORMAL);
    UpdateWindow(main_window);
    SetTimer(main_window, show_timer_id, timer_period_ms, nullptr);
    show.phase = ShowPhase::WindowSlidingIn;
    show.phase_time = 0;
}

void show_tick(ShowState& show, CellGrid& grid, const Replay* replay, HWND main_window) {
    advance_show_clocks(show);
    switch (show.phase) {
    case ShowPhase::WindowSlidingIn:
        slide_in(show, main_window);
        break;
    case ShowPhase::GridResizing:
        resize_grid(show, grid, main_window);
        break;
    case ShowPhase::GridScalingUp:
        scale_up(show, grid, main_window);
        break;
    case ShowPhase::EffectRunning:
        effect_step(show, grid, replay);
        break;
    case ShowPhase::GridScalingDown:
        scale_down(show);
        break;
    case ShowPhase::WindowScrollingOut:
        scroll_out(show, main_window);
        break;
    case ShowPhase::ShowFinished:
        break;
    }
    bob_window(show, main_window);
}
