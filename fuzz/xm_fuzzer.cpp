// Loads arbitrary bytes as an XM module, checks what the replay relies on
// (sample loops and their extra frame, envelopes it can evaluate, key maps
// inside the instrument), then plays a few hundred ticks without and with
// interpolation from a song position taken from the data.
#include "fuzz/song_player.h"
#include "player/module.h"
#include "player/replay.h"
#include "player/xm_loader.h"
#include <cstdint>

namespace {

using fuzz::check;

constexpr std::int32_t ticks_per_pass = 300;

void check_envelope(const Envelope& envelope) {
    if (!envelope.active) return;
    check(envelope.point_count >= 1 && envelope.point_count <= 12);
    check(envelope.point_ticks[0] == 0);
    for (int i = 0; i < envelope.point_count; ++i) {
        check(envelope.point_values[i] >= 0 && envelope.point_values[i] <= 64);
        if (i > 0) check(envelope.point_ticks[i] > envelope.point_ticks[i - 1]);
    }
}

void check_sample(const Sample& sample) {
    check(sample.loop_start >= 0);
    check(sample.loop_length == 0 || sample.loop_length >= 4);
    check(sample.data != nullptr);
    check(sample.data[sample.loop_start + sample.loop_length] == sample.data[sample.loop_start]);
    check(sample.volume >= 0 && sample.volume <= 64);
}

void check_module(const Module& module) {
    check(module.channel_count >= 1 && module.channel_count <= 32);
    check(module.song_length >= 1 && module.song_length <= order_list_size);
    check(module.mix_gain >= 1 && module.mix_gain <= 64);
    for (std::int32_t n = 1; n <= module.instrument_count; ++n) {
        const Instrument& instrument = module.instruments[n];
        check(instrument.sample_count >= 1 && instrument.sample_count <= 17);
        for (int key = 0; key <= 96; ++key) {
            check(instrument.key_samples[key] >= 0 &&
                  instrument.key_samples[key] < instrument.sample_count);
        }
        check_envelope(instrument.volume_envelope);
        check_envelope(instrument.panning_envelope);
        for (std::int32_t s = 0; s < instrument.sample_count; ++s)
            check_sample(instrument.samples[s]);
    }
}

void play(const Module& module, std::int32_t rate, std::uint8_t choice, fuzz::MixBuffers& buffers) {
    Replay* replay = new_replay(&module, rate, (choice & 0x80) != 0);
    if (!replay) return;
    start_sequence_at(replay, choice & 0x7F);
    fuzz::mix_ticks(*replay, buffers, ticks_per_pass);
    replay_dispose(replay);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::MixBuffers buffers;
    char load_message[load_message_size] = {};
    std::uint64_t announced = 0;
    Module* module = xm_load(data, size, load_message, announced);
    if (!module) {
        check(load_message[0] != '\0'); // allocations do not fail here
        return 0;
    }
    check_module(*module);
    // The tracker name's first byte is never read: a free choice of
    // interpolation and first entry.
    const std::uint8_t choice = size > 38 ? data[38] : 0;
    play(*module, fuzz::song_output_rate, choice & 0x7F, buffers);
    play(*module, fuzz::song_output_rate, static_cast<std::uint8_t>(choice | 0x80), buffers);
    module_dispose(module);
    return 0;
}
