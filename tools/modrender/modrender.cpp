// Renders a module to a WAV file: module_load_any (MOD, S3M, XM or IT, picked
// by the data's signature, with the rules of the tracker that writes the
// format), new_replay at the chosen rate, one resample_tick after another
// with the chosen interpolation and the shared saturating copy; with
// --as-show, exactly as the show plays its song (its loader, its rules, its
// mixer). Rendering stops where a tracker user hears the song end (the first
// time a row would play again in the same pattern-loop state), or after the
// requested number of seconds.
#include "base/wav_file.h"
#include "gridshow_version.h"
#include "player/mixer.h"
#include "player/mod_loader.h"
#include "player/module.h"
#include "player/module_formats.h"
#include "player/resampler.h"
#include "player/sequencer.h"
#include "tools/modrender/render_options.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unordered_set>
#include <vector>

namespace {

// Samples gathered before each write to the file: 512 KiB. Smaller writes
// cost the kernel more per byte; a larger buffer costs more in first-touch
// page clearing than it saves.
constexpr std::size_t write_block_samples = 1 << 18;
// No module comes near this; a larger input (such as /dev/zero) is no module.
constexpr std::size_t largest_module = std::size_t{1} << 28;

int fail(const std::string& message) {
    std::fprintf(stderr, "modrender: %s\n", message.c_str());
    return 1;
}

// Whether both name the same file, by whatever path: writing the WAV there
// would destroy the song.
bool same_file(const char* input, const char* output) {
    struct stat in {};
    struct stat out {};
    if (stat(input, &in) != 0) return false;
    const int found = std::strcmp(output, "-") == 0 ? fstat(1, &out) : stat(output, &out);
    return found == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino;
}

bool read_file(const char* path, std::vector<std::uint8_t>& bytes, std::string& error) {
    std::FILE* file = std::fopen(path, "rb");
    if (!file) {
        error = std::strerror(errno);
        return false;
    }
    std::uint8_t chunk[65536];
    std::size_t got = 0;
    while (bytes.size() <= largest_module && (got = std::fread(chunk, 1, sizeof chunk, file)) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    bool ok = !std::ferror(file);
    if (!ok) error = std::strerror(errno);
    if (ok && bytes.size() > largest_module) {
        ok = false;
        error = "too large to be a module";
    }
    std::fclose(file);
    return ok;
}

// Recognises the song's end from the rows the replay plays: the first time a
// row would play again in the same pattern-loop state. A row that a loop
// repeats comes with other loop counts, so it is new music; a loop without
// end comes back to a state it was in, and ends the song there.
class SongEnd {
  public:
    explicit SongEnd(const Replay& replay) { remember(replay); }

    // Call after every tick; true once the row just entered was played before.
    bool reached(const Replay& replay) {
        const bool new_row =
            replay.order_counter != last_order_counter || replay.current_row != last_row;
        if (!new_row) return false;
        if (played.count(state(replay)) != 0) return true;
        remember(replay);
        return false;
    }

  private:
    // The row, every loop count and a jump waiting for a loop, folded into 64 bits (FNV-1a).
    static std::uint64_t state(const Replay& replay) {
        std::uint64_t hash = 14695981039346656037ull;
        const auto fold = [&hash](std::int32_t value) {
            hash = (hash ^ static_cast<std::uint32_t>(value)) * 1099511628211ull;
        };
        fold(replay.order_index);
        fold(replay.current_row);
        fold(replay.loop_repeats_left);
        fold(replay.loop_channel);
        fold(replay.waiting_order);
        fold(replay.waiting_row);
        for (std::int32_t c = 0; c < replay.module->channel_count; ++c) {
            fold(replay.channels[c].loop_count);
        }
        return hash;
    }
    void remember(const Replay& replay) {
        played.insert(state(replay));
        last_order_counter = replay.order_counter;
        last_row = replay.current_row;
    }

    std::unordered_set<std::uint64_t> played;
    std::uint32_t last_order_counter = 0;
    std::int32_t last_row = 0;
};

// Renders into `wav` until the song ends or the limit; returns the frames
// written, or -1 when a write failed.
std::int64_t render(Replay& replay, WavFile& wav, std::uint64_t frame_limit) {
    const std::size_t values = mix_buffer_values(replay.output_rate);
    std::vector<std::int32_t> mix(values);
    std::vector<std::int16_t> block(write_block_samples + values);
    std::size_t pending = 0;
    std::uint64_t frames = 0;
    SongEnd song_end(replay);
    while (frames < frame_limit) {
        const std::uint64_t rendered =
            static_cast<std::uint64_t>(resample_tick(&replay, mix.data()));
        const std::uint64_t taken = std::min(rendered, frame_limit - frames);
        copy_saturated(mix.data(), block.data() + pending, taken * 2);
        pending += taken * 2;
        frames += taken;
        if (pending >= write_block_samples) {
            if (!wav_append(wav, block.data(), pending)) return -1;
            pending = 0;
        }
        if (song_end.reached(replay)) break;
    }
    if (pending > 0 && !wav_append(wav, block.data(), pending)) return -1;
    return static_cast<std::int64_t>(frames);
}

std::string trimmed_title(const Module& module) {
    std::string title(module.title, strnlen(module.title, sizeof module.title));
    while (!title.empty() && title.back() == ' ') title.pop_back();
    return title;
}

bool open_output(WavFile& wav, const char* path, std::int32_t rate) {
    if (std::strcmp(path, "-") == 0) return wav_open_stream(wav, stdout, rate, 2);
    return wav_open(wav, path, rate, 2);
}

// The module through the table of formats, or as the show loads its song.
Module* load(const std::vector<std::uint8_t>& bytes, const RenderOptions& options,
             char* load_message, LoadedFormat& format) {
    if (!options.as_show) {
        return module_load_any(bytes.data(), bytes.size(), load_message, format);
    }
    constexpr char name[] = "MOD, show";
    static_assert(sizeof name <= sizeof format.name);
    std::memcpy(format.name, name, sizeof name);
    return module_load(bytes.data(), bytes.size(), load_message);
}

} // namespace

int main(int argc, char** argv) {
    RenderOptions options;
    const std::string problem = parse_render_options(argc, argv, options);
    if (!problem.empty()) {
        std::fprintf(stderr, "modrender: %s\n%s", problem.c_str(), render_usage);
        return 2;
    }
    if (options.help) {
        std::fputs(render_usage, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("modrender %s\n", gridshow_version);
        return 0;
    }
    if (same_file(options.input, options.output)) {
        return fail("will not write over the input " + std::string(options.input));
    }
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!read_file(options.input, bytes, error)) {
        return fail("cannot read " + std::string(options.input) + ": " + error);
    }
    char load_message[load_message_size] = {};
    LoadedFormat format{};
    Module* module = load(bytes, options, load_message, format);
    if (!module) {
        const std::string reason = load_message[0] ? load_message : "out of memory";
        return fail("cannot load " + std::string(options.input) + ": " + reason);
    }
    if (format.missing_bytes > 0) {
        std::fprintf(stderr,
                     "modrender: warning: %s is %llu bytes shorter than its headers announce; "
                     "the missing data plays as silence\n",
                     options.input, static_cast<unsigned long long>(format.missing_bytes));
    }
    Replay* replay =
        new_replay(module, options.rate, options.as_show && show_interpolates(options));
    if (replay && !options.as_show) replay->resampler = options.interpolation;
    if (!replay) {
        module_dispose(module);
        return fail("cannot start the replay: out of memory");
    }

    WavFile wav;
    std::int64_t frames = -1;
    if (open_output(wav, options.output, options.rate)) {
        frames = render(*replay, wav, frame_limit(options));
        if (frames < 0) {
            wav_abandon(wav);
        } else if (!wav_finish(wav)) {
            frames = -1;
        }
    }
    const std::string title = trimmed_title(*module);
    const std::int32_t song_length = module->song_length;
    const std::int32_t pattern_count = module->pattern_count;
    const std::int32_t channel_count = module->channel_count;
    replay_dispose(replay);
    module_dispose(module);
    if (frames < 0) {
        return fail("cannot write " + std::string(options.output) + ": " +
                    (errno ? std::strerror(errno) : "write failed"));
    }
    std::fprintf(stderr,
                 "\"%s\": %s, song length %d, %d patterns, %d channels, %.3f s rendered "
                 "(%lld frames)\n",
                 title.c_str(), format.name, song_length, pattern_count, channel_count,
                 static_cast<double>(frames) / options.rate, static_cast<long long>(frames));
    return 0;
}
