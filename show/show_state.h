// The show's state machine, driven one step per show-timer tick.
#pragma once
#include "platform/win32.h"
#include <cstdint>

struct CellGrid;
struct Replay;

enum class ShowPhase : std::uint8_t {
    WindowSlidingIn = 0,
    EffectRunning = 2,
    GridScalingDown = 3,
    GridResizing = 4,
    GridScalingUp = 5,
    WindowScrollingOut = 6,
    ShowFinished = 7,
};

struct ShowState {
    ShowPhase phase;
    float effect_time;
    float phase_time;
    float slide_time;
    float blink_time;
    std::uint64_t blink_frame;
    std::int32_t bob_offset;
    float banner_scroll;
    float banner_picture_x;
    std::uint64_t effect_index;
    bool first_frame; // true at the start (set by show_start)
    std::uint64_t target_cols;
    std::uint64_t target_rows;
    std::int32_t slide_from_x;
    std::int32_t home_x;
    std::int32_t home_y;
};

constexpr UINT_PTR show_timer_id = 1;
// The main window's share of the screen's width and of its height.
constexpr float screen_fraction = 0.8f;

// The start values of the main window's creation: home position, slide start,
// the window placed beyond the left screen edge, shown, the timer started and
// the phase set.
void show_start(ShowState& show, HWND main_window);
// One step of the show: clocks, the current phase's work, the window bob. The
// replay (null when there is none) tells the effects where the song is.
void show_tick(ShowState& show, CellGrid& grid, const Replay* replay, HWND main_window);
// The clocks every tick advances in every phase: effect clock, banner motion, blink.
void advance_show_clocks(ShowState& show);

float ease_out_bounce(float x);
