// Plays a loaded module the way the fuzz targets need: the whole song, a tick
// at a time through the mixer, checking what the mixer and the channels hand
// on after every tick. Any broken invariant aborts, which libFuzzer reports
// as a crash together with the input.
#pragma once
#include "player/mixer.h"
#include "player/module.h"
#include "player/sequencer.h"
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace fuzz {

// The whole song is played at a low output rate: a tick then costs 450
// rendered frames at tempo 125 instead of 2050 at the show's 48 kHz, and the
// sequencer and channel paths do not depend on the rate.
constexpr std::int32_t song_output_rate = 8000;
constexpr std::int32_t show_output_rate = 48000;
// The loudest mix a loader sets: an S3M's master volume lifts a Sound
// Blaster song's up to 127 / 64 of full, and a channel's amplitude with it.
constexpr std::int32_t most_mix_gain = 127;

// Caps one pass over the song. A 128-entry song at speed 6 takes 49152
// ticks, at speed 31 with pattern delays well over a million; 16384 ticks
// (a song of about 42 patterns at speed 6) keep one input under a second
// under the sanitizers, and later ticks mostly repeat what earlier ones did.
constexpr std::int32_t song_tick_cap = 1 << 14;

inline void check(bool holds) {
    if (!holds) std::abort();
}

// What the mixer relies on and a MOD can never break: full volume is 16384
// at mix gain 64 (256 a unit of gain), the balance lies between the sides
// and the position's fraction has 15 bits.
inline void check_channels(const Replay& replay) {
    for (std::int32_t c = 0; c < replay.module->channel_count; ++c) {
        const Channel& channel = replay.channels[c];
        check(channel.amplitude >= 0 && channel.amplitude <= 256 * most_mix_gain);
        check(channel.balance >= 0 && channel.balance <= full_right(rules_of(*replay.module)));
        check(channel.fraction >= 0 && channel.fraction < 32768);
        check(channel.position >= 0);
        check(channel.sample != nullptr);
    }
}

struct MixBuffers {
    std::vector<std::int32_t> mixed = std::vector<std::int32_t>(int_mix_buffer_values);
    std::vector<std::int16_t> samples = std::vector<std::int16_t>(int_mix_buffer_values);
};

inline void mix_ticks(Replay& replay, MixBuffers& buffers, std::int32_t ticks) {
    for (std::int32_t tick = 0; tick < ticks; ++tick) {
        const std::int32_t frames = mix_tick(&replay, buffers.mixed.data());
        check(frames > 0 && static_cast<std::size_t>(frames) * 2 <= buffers.mixed.size());
        copy_saturated(buffers.mixed.data(), buffers.samples.data(),
                       static_cast<std::size_t>(frames) * 2);
        check_channels(replay);
    }
}

// Plays from entry 0 until every entry of the song has been entered and the
// last one played out (the replay wraps back and enters entry 0 again), or
// until the tick cap; returns the ticks played.
inline std::int32_t play_whole_song(Replay& replay, MixBuffers& buffers) {
    const auto entries = static_cast<std::uint32_t>(replay.module->song_length);
    std::int32_t ticks = 0;
    for (; ticks < song_tick_cap && replay.order_counter <= entries; ++ticks) {
        mix_ticks(replay, buffers, 1);
    }
    return ticks;
}

} // namespace fuzz
