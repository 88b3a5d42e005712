// modrender's command line: what to render, where to, and how.
#pragma once
#include <cstdint>
#include <string>

constexpr std::int32_t output_rate = 48000;

struct RenderOptions {
    const char* input = nullptr;
    const char* output = nullptr; // "-": standard output
    double seconds = 600;         // at most; the song's end may come first
    bool interpolate = false;
    bool help = false;
    bool version = false;
};

// The usage message, each line ending in '\n'.
extern const char* const render_usage;

// Fills `options` from the command line; returns "" or the one line (without
// the tool's name) that says what is wrong with it.
std::string parse_render_options(int argc, char** argv, RenderOptions& options);

// The seconds as a number of output frames.
std::uint64_t frame_limit(const RenderOptions& options);
