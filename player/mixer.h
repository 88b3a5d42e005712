// Renders one replay tick at a time into interleaved 32-bit stereo frames.
#pragma once
#include "player/replay.h"
#include <cstddef>
#include <cstdint>

constexpr std::size_t int_mix_buffer_values = 16384;

// The output rates the mixer serves: it divides by a quarter of the rate,
// and its 64 frames of crossfade need a weight step (524288 / rate) of at
// least 4. Higher rates than 51609 Hz shorten the ticks of the lowest tempos
// to what int_mix_buffer holds.
constexpr std::int32_t lowest_output_rate = 4;
constexpr std::int32_t highest_output_rate = 131072;

// Renders the current tick into int_mix_buffer (int_mix_buffer_values
// values), advances the replay by one tick and returns the number of stereo
// frames now at the start of the buffer.
std::int32_t mix_tick(Replay* replay, std::int32_t* int_mix_buffer);

// Copies `count` mixer values to 16-bit samples, saturating: below -32767
// becomes -32768, 32767 and above become 32767. The one conversion that both
// the wave output and modrender use.
void copy_saturated(const std::int32_t* from, std::int16_t* to, std::size_t count);
