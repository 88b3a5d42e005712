// Renders one replay tick at a time into interleaved 32-bit stereo frames.
#pragma once
#include "player/mix_buffer.h"
#include "player/replay.h"
#include <cstddef>
#include <cstdint>

// Renders the current tick into int_mix_buffer, which holds
// mix_buffer_values(replay->output_rate) values, advances the replay by one
// tick and returns the number of stereo frames now at the start of the
// buffer.
std::int32_t mix_tick(Replay* replay, std::int32_t* int_mix_buffer);

// Copies `count` mixer values to 16-bit samples, saturating: below -32767
// becomes -32768, 32767 and above become 32767. The one conversion that both
// the wave output and modrender use.
void copy_saturated(const std::int32_t* from, std::int16_t* to, std::size_t count);
