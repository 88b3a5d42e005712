// modrender's command line: what to render, where to, and how.
#pragma once
#include <cstdint>
#include <string>

#include "player/replay.h"

struct RenderOptions {
    const char* input = nullptr;
    const char* output = nullptr; // "-": standard output
    double seconds = 600;         // at most; the song's end may come first
    std::int32_t rate = 48000;    // output frames per second
    // How sample frames become output frames; sinc, the best of them, stays
    // well under half of xmp's time at its own default.
    Resampler interpolation = Resampler::sinc;
    // The show's loader, rules and mixer, for comparisons with the show.
    bool as_show = false;
    bool interpolation_chosen = false; // --interpolation or --interpolate given
    bool help = false;
    bool version = false;
};

// The usage message, each line ending in '\n'.
extern const char* const render_usage;

// Fills `options` from the command line; returns "" or the one line (without
// the tool's name) that says what is wrong with it.
std::string parse_render_options(int argc, char** argv, RenderOptions& options);

// Whether the show's mixer interpolates: --as-show with --interpolate or
// --interpolation linear.
bool show_interpolates(const RenderOptions& options);

// The seconds as a number of output frames.
std::uint64_t frame_limit(const RenderOptions& options);
