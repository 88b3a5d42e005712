// What gridshow-headless records of a run with --capture DIR: the timeline
// (one line per show tick), a picture of the whole screen every `every` ticks,
// and the contact sheet. The sound (DIR/show.wav) is saved by the host.
#pragma once
#include "show/show_state.h"
#include "tools/gridshow-headless/contact_sheet.h"
#include <cstdint>
#include <cstdio>
#include <string>

struct ScreenView {
    const std::uint32_t* pixels; // 0x00RRGGBB
    int width;
    int height;
    int stride;
};

// The show as it stands after one delivered tick.
struct TickRecord {
    std::uint64_t tick; // 1 for the first tick
    ShowPhase phase;
    std::uint64_t effect_index;
    float effect_time;
    bool has_replay;
    std::uint32_t order_counter;
    bool has_window;
    int window_x;
    int window_y;
};

struct Capture {
    std::string dir;
    std::uint64_t every;
    std::FILE* timeline;
    ContactSheet sheet;
    bool failed; // some file could not be written
};

const char* show_phase_name(ShowPhase phase);

// Creates DIR (and its parents) and the timeline with its header line.
bool capture_begin(Capture& capture, const std::string& dir, std::uint64_t every, int screen_width,
                   int screen_height);
// Whether capture_tick needs the screen at this tick (taking it costs a copy).
bool capture_wants_screen(const Capture& capture, std::uint64_t tick);
// `screen` may be empty (null pixels) when capture_wants_screen said no.
void capture_tick(Capture& capture, const TickRecord& record, ScreenView screen);
// The last picture of the run (at `last_tick`, labelled with how the run
// ended), the contact sheet, and the timeline closed. False if any file of the
// capture failed.
bool capture_finish(Capture& capture, std::uint64_t last_tick, const char* ending,
                    ScreenView screen);
