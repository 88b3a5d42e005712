// Loads arbitrary bytes as a module and, when they load, plays and mixes
// them for 3000 ticks, restarts at a song position taken from the data and
// mixes on. The sanitizers turn any out-of-bounds access, signed overflow or
// leak into a crash.
#include "player/mixer.h"
#include "player/module.h"
#include "player/replay.h"
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

constexpr int first_ticks = 3000;
constexpr int restarted_ticks = 200;

void mix(Replay* replay, int ticks, std::vector<std::int32_t>& buffer,
         std::vector<std::int16_t>& samples) {
    for (int tick = 0; tick < ticks; ++tick) {
        const std::int32_t frames = mix_tick(replay, buffer.data());
        if (frames < 0 || static_cast<std::size_t>(frames) * 2 > buffer.size()) std::abort();
        copy_saturated(buffer.data(), samples.data(), static_cast<std::size_t>(frames) * 2);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    char load_message[load_message_size] = {};
    Module* module = module_load(data, size, load_message);
    if (!module) return 0;
    const bool interpolate = size % 2 == 1;
    Replay* replay = new_replay(module, 48000, interpolate);
    if (replay) {
        static std::vector<std::int32_t> buffer(int_mix_buffer_values);
        static std::vector<std::int16_t> samples(int_mix_buffer_values);
        mix(replay, first_ticks, buffer, samples);
        const std::int32_t entry = size > 951 ? data[951] % 130 : 0;
        start_sequence_at(replay, entry);
        mix(replay, restarted_ticks, buffer, samples);
        replay_dispose(replay);
    }
    module_dispose(module);
    return 0;
}
