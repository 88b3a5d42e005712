// The buffer that both tick renderers (mix_tick, resample_tick) fill: its
// size at an output rate, and the frames rendered beyond a tick.
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
