#include "tools/modrender/render_options.h"
#include "tools/command_line/command_line.h"
#include <cmath>

const char* const render_usage =
    "usage: modrender IN OUT.wav [--seconds S] [--interpolate]\n"
    "       modrender --help | --version\n"
    "  IN: a MOD, S3M or XM module; OUT.wav: the WAV file to write, - for standard output\n"
    "  --seconds S: stop after S seconds, 0 to 22369.6 (default 600), or earlier where\n"
    "               the song ends\n"
    "  --interpolate: interpolate between sample frames\n";

namespace {

// What a WAV file can describe: 4 GiB less its header, in stereo frames.
constexpr std::uint64_t most_frames = (0xFFFFFFFFull - 44) / 4;

std::string take_seconds(const char* value, RenderOptions& options) {
    return parse_fraction(value, 0, static_cast<double>(most_frames) / output_rate,
                          options.seconds);
}

std::string take_file(const char* text, RenderOptions& options) {
    if (!options.input) {
        options.input = text;
    } else if (!options.output) {
        options.output = text;
    } else {
        return "is one file too many";
    }
    return {};
}

// Every option: a new one is an entry here and the function that takes it.
constexpr ToolOption<RenderOptions> render_option_table[] = {
    {{"seconds", true}, take_seconds},
    {{"interpolate", false},
     [](const char*, RenderOptions& options) { return set_flag(options.interpolate); }},
    {{"help", false}, [](const char*, RenderOptions& options) { return set_flag(options.help); }},
    {{"version", false},
     [](const char*, RenderOptions& options) { return set_flag(options.version); }},
};

} // namespace

std::string parse_render_options(int argc, char** argv, RenderOptions& options) {
    std::string problem = parse_command_line(argc, argv, render_option_table, take_file, options);
    if (!problem.empty() || options.help) return problem;
    if (options.version) return argc == 2 ? "" : "--version: stands alone";
    if (!options.output) return "needs a module and a WAV file to write";
    return {};
}

std::uint64_t frame_limit(const RenderOptions& options) {
    return static_cast<std::uint64_t>(std::round(options.seconds * output_rate));
}
