// What the replay relies on in a module that any loader built: sample loops
// and their extra frame, envelopes it can evaluate, key maps inside the
// instrument, counts and gains in range. Any broken promise aborts.
#pragma once
#include "fuzz/song_player.h"
#include "player/module.h"
#include "player/sequencer.h"
#include <cstdint>

namespace fuzz {

inline void check_envelope(const Envelope& envelope) {
    if (!envelope.active) return;
    check(envelope.point_count >= 1 && envelope.point_count <= envelope_point_limit);
    check(envelope.point_ticks[0] == 0);
    for (int i = 0; i < envelope.point_count; ++i) {
        check(envelope.point_values[i] >= 0 && envelope.point_values[i] <= 64);
        if (i > 0) check(envelope.point_ticks[i] > envelope.point_ticks[i - 1]);
    }
}

inline void check_sample(const Sample& sample) {
    check(sample.loop_start >= 0);
    check(sample.loop_length == 0 || sample.loop_length >= 4);
    check(sample.data != nullptr);
    check(sample.data[sample.loop_start + sample.loop_length] == sample.data[sample.loop_start]);
    check(sample.volume >= 0 && sample.volume <= 64);
}

inline void check_module(const Module& module) {
    check(module.channel_count >= 1 && module.channel_count <= 64);
    check(module.song_length >= 1 && module.song_length <= order_list_size);
    check(module.mix_gain >= 1 && module.mix_gain <= most_mix_gain);
    for (std::int32_t n = 1; n <= module.instrument_count; ++n) {
        const Instrument& instrument = module.instruments[n];
        check(instrument.sample_count >= 1 && instrument.sample_count <= highest_key + 1);
        for (int key = 0; key <= highest_key; ++key) {
            check(instrument.key_samples[key] >= 0 &&
                  instrument.key_samples[key] < instrument.sample_count);
            check(instrument.key_notes[key] >= 0 && instrument.key_notes[key] <= highest_key);
        }
        check_envelope(instrument.volume_envelope);
        check_envelope(instrument.panning_envelope);
        check_envelope(instrument.pitch_envelope);
        for (std::int32_t s = 0; s < instrument.sample_count; ++s)
            check_sample(instrument.samples[s]);
    }
}

// Plays `ticks` ticks at the low rate from order-list entry `entry`.
inline void play_from(const Module& module, std::int32_t entry, bool interpolate,
                      std::int32_t ticks, MixBuffers& buffers) {
    Replay* replay = new_replay(&module, song_output_rate, interpolate);
    if (!replay) return;
    start_sequence_at(replay, entry);
    mix_ticks(*replay, buffers, ticks);
    replay_dispose(replay);
}

// One input of a loader's target: loads it with `load` (data, size,
// load_message, announced length), checks the module and plays two passes,
// without and with interpolation, from the entry that the byte at
// `choice_at` names (a byte the loader never reads).
template <typename Load>
int load_check_and_play(Load load, const std::uint8_t* data, std::size_t size,
                        std::size_t choice_at) {
    constexpr std::int32_t ticks_per_pass = 300;
    static MixBuffers buffers;
    char load_message[load_message_size] = {};
    std::uint64_t announced = 0;
    Module* module = load(data, size, load_message, announced);
    if (!module) {
        check(load_message[0] != '\0'); // allocations do not fail here
        return 0;
    }
    check_module(*module);
    const std::int32_t entry = size > choice_at ? data[choice_at] & 0x7F : 0;
    play_from(*module, entry, false, ticks_per_pass, buffers);
    play_from(*module, entry, true, ticks_per_pass, buffers);
    module_dispose(module);
    return 0;
}

} // namespace fuzz
