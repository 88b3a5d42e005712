// The waveform generator of every oscillator: vibrato, tremolo and
// auto-vibrato read it at a phase of 64 steps per cycle.
#pragma once
#include "player/replay.h"
#include <cstdint>

// A waveform value in -255..255 for a phase of 64 steps per cycle: 0 and 4
// sine, 1 and 7 falling saw, 2 and 5 square, 3 and 8 random (from the
// channel's noise state), 6 rising saw.
std::int32_t lfo_value(Channel& channel, std::int32_t phase, std::int32_t shape);
