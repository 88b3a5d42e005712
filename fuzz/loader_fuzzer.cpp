// Feeds arbitrary sample headers and note periods to the MOD loader inside an
// otherwise valid module, checks what the loop repair and the period-to-key
// conversion made of them, then plays the pattern once at the show's rate.
#include "fuzz/crafted_module.h"
#include "fuzz/song_player.h"
#include "player/mod_loader.h"
#include "player/module.h"
#include "player/sequencer.h"
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

using fuzz::check;

// A repaired loop lies inside the sample data, or there is none and the
// sample plays once; the frame past the loop repeats its first frame.
void check_samples(const Module& module, const fuzz::CraftedInput& input) {
    for (std::int32_t n = 1; n <= 31; ++n) {
        const Sample& sample = module.instruments[n].samples[0];
        const std::int32_t length = input.length_frames(n);
        if (sample.loop_length == 0) {
            check(sample.loop_start == length);
        } else {
            check(sample.loop_length >= 4 && sample.loop_start >= 0 &&
                  sample.loop_start + sample.loop_length <= length);
        }
        const std::int32_t end = sample.loop_start + sample.loop_length;
        check(sample.data[end] == sample.data[sample.loop_start]);
        check(sample.volume >= 0 && sample.volume <= 64);
        check(sample.fine_tune >= -128 && sample.fine_tune <= 112 && sample.fine_tune % 16 == 0);
    }
}

// Keys 25..96 for the Amiga periods 28..1712, the nearest key on the
// logarithmic scale; no key for any other period.
void check_keys(const Module& module, const fuzz::CraftedInput& input) {
    const Pattern& pattern = module.patterns[0];
    for (std::size_t cell = 0; cell < fuzz::crafted_cell_count; ++cell) {
        const std::uint8_t* note = pattern.notes + cell * note_size;
        const std::int32_t period = input.period(cell);
        check(note[1] == input.instrument(cell));
        if (period < 28 || period > 1712) {
            check(note[0] == 0);
            continue;
        }
        const double a = std::floor(period * 131072.0 / 29021.0);
        const auto nearest = static_cast<std::int32_t>(std::floor(12 * (15 - std::log2(a)) + 0.5));
        check(note[0] >= 25 && note[0] <= 96 && note[0] == nearest);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::MixBuffers buffers;
    const fuzz::CraftedInput input{data, size};
    const std::vector<std::uint8_t> bytes = fuzz::crafted_module(input);
    char load_message[load_message_size] = {};
    Module* module = module_load(bytes.data(), bytes.size(), load_message);
    if (!module) {
        // Sample 1's fine tune, volume and loop start can spell "SCRM".
        check(std::strcmp(load_message, "Not an S3M file!") == 0);
        return 0;
    }
    check_samples(*module, input);
    check_keys(*module, input);
    Replay* replay = new_replay(module, fuzz::show_output_rate, (input.at(0) & 1) != 0);
    if (replay) {
        fuzz::play_whole_song(*replay, buffers);
        replay_dispose(replay);
    }
    module_dispose(module);
    return 0;
}
