#include "tools/modrender/render_options.h"
#include "tools/command_line/command_line.h"
#include <algorithm>
#include <cmath>
#include <string_view>

const char* const render_usage =
    "usage: modrender IN OUT.wav [--seconds S] [--rate HZ] [--interpolation MODE] [--as-show]\n"
    "       modrender --help | --version\n"
    "  IN: a MOD, S3M, XM or IT module; OUT.wav: the WAV file to write, - for standard output\n"
    "  --seconds S: stop after S seconds, 0 to 22369.6 (default 600), or earlier where\n"
    "               the song ends\n"
    "  --rate HZ: output rate, 8000 to 192000 (default 48000)\n"
    "  --interpolation none|linear|cubic|sinc: how sample frames are read (default sinc)\n"
    "  --interpolate: the same as --interpolation linear\n"
    "  --as-show: play as the show's player does: its loader (four-channel MODs only),\n"
    "             its rules and its mixer, without interpolation unless asked for\n";

namespace {

// What a WAV file can describe: 4 GiB less its header, in stereo frames.
constexpr std::uint64_t most_frames = (0xFFFFFFFFull - 44) / 4;

// The longest render a WAV file holds, at the lowest rate; frame_limit keeps
// any rate's within what the file can describe.
std::string take_seconds(const char* value, RenderOptions& options) {
    return parse_fraction(value, 0, static_cast<double>(most_frames) / 48000, options.seconds);
}

std::string take_rate(const char* value, RenderOptions& options) {
    std::uint64_t rate = 0;
    std::string problem = parse_whole_number(value, lowest_output_rate, highest_output_rate, rate);
    options.rate = static_cast<std::int32_t>(rate);
    return problem;
}

std::string take_interpolation(const char* value, RenderOptions& options) {
    constexpr struct {
        const char* name;
        Resampler resampler;
    } modes[] = {{"none", Resampler::nearest},
                 {"linear", Resampler::linear},
                 {"cubic", Resampler::cubic},
                 {"sinc", Resampler::sinc}};
    for (const auto& mode : modes) {
        if (std::string_view(value) == mode.name) {
            options.interpolation = mode.resampler;
            options.interpolation_chosen = true;
            return {};
        }
    }
    return "is not one of none, linear, cubic, sinc";
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
    {{"rate", true}, take_rate},
    {{"interpolation", true}, take_interpolation},
    {{"interpolate", false},
     [](const char*, RenderOptions& options) {
         options.interpolation = Resampler::linear;
         options.interpolation_chosen = true;
         return std::string{};
     }},
    {{"as-show", false},
     [](const char*, RenderOptions& options) { return set_flag(options.as_show); }},
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
    if (options.as_show && options.interpolation_chosen &&
        options.interpolation != Resampler::nearest && options.interpolation != Resampler::linear) {
        return "--as-show: the show's mixer reads with none or linear interpolation only";
    }
    return {};
}

bool show_interpolates(const RenderOptions& options) {
    return options.interpolation_chosen && options.interpolation == Resampler::linear;
}

std::uint64_t frame_limit(const RenderOptions& options) {
    const double frames = std::round(options.seconds * options.rate);
    return static_cast<std::uint64_t>(std::min(frames, static_cast<double>(most_frames)));
}
