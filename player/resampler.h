// The output-rate resampler: renders a tick as mix_tick does, at the output
// rate itself, by the interpolation that replay->resampler names.
#pragma once
#include "player/replay.h"
#include <cstdint>

// mix_tick's contract (the same buffer, the same crossfade of the previous
// tick's look-ahead, the same gains; the replay advances one tick). For
// Resampler::show it is mix_tick. Otherwise each channel is read at the
// output rate from a 32.32 position (position, fraction and fraction_low)
// moving on by fine_frequency / output_rate frames per output frame:
// nearest, linear (as the show's), a 4-point Catmull-Rom spline, or a
// Kaiser-windowed sinc of 16 taps, with a lower cutoff on more taps for
// steps above 1. Frames before 0 and after the end of a sample without a
// loop read as 0; past a loop's end the loop repeats, and a voice that has
// wrapped (one in its loop with a fraction, which the channel code never
// leaves when it places a voice) reads the loop's last frames before its
// start.
std::int32_t resample_tick(Replay* replay, std::int32_t* buffer);
