// Renders one replay tick at a time into interleaved 32-bit stereo frames.
#pragma once
#include "player/replay.h"
#include <cstddef>
#include <cstdint>

// The show's mix buffer: enough for every tick at 48000 Hz.
constexpr std::size_t int_mix_buffer_values = 16384;

// Rendered frames beyond a tick: 64 frames of look-ahead plus one for the
// filter; the mixer works at twice the rate, in stereo.
constexpr std::size_t mix_lookahead_frames = 65;

// The values mix_tick needs in its buffer at an output rate: the longest
// tick (at minimum_tempo) with its look-ahead, at twice the rate, in stereo;
// at least int_mix_buffer_values, so that the show's buffer always serves
// 48000 Hz.
constexpr std::size_t mix_buffer_values(std::int32_t output_rate) {
    const auto longest = static_cast<std::size_t>(output_rate * 5 / (minimum_tempo * 2));
    const std::size_t values = (longest + mix_lookahead_frames) * 4;
    return values > int_mix_buffer_values ? values : int_mix_buffer_values;
}
static_assert(mix_buffer_values(48000) == int_mix_buffer_values);

// Renders the current tick into int_mix_buffer, which holds
// mix_buffer_values(replay->output_rate) values, advances the replay by one
// tick and returns the number of stereo frames now at the start of the
// buffer.
std::int32_t mix_tick(Replay* replay, std::int32_t* int_mix_buffer);

// Copies `count` mixer values to 16-bit samples, saturating: below -32767
// becomes -32768, 32767 and above become 32767. The one conversion that both
// the wave output and modrender use.
void copy_saturated(const std::int32_t* from, std::int16_t* to, std::size_t count);
