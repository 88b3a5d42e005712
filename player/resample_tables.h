// The resampler's weight tables, built once at first use with floating point:
// a cubic spline's and windowed sincs' for ranges of steps. Each holds
// resample_kernels::phase_rows rows of `taps` weights.
#pragma once
#include "player/resample_kernels.h"
#include <cstdint>
#include <utility>

struct WeightTable {
    std::int32_t taps;
    const std::int16_t* weights;
};

// Every table's number of taps is one of these, the widest last.
using TableTaps = std::integer_sequence<std::int32_t, 4, 8, 16, 24, 32>;
constexpr std::int32_t most_taps = 32;

// 4-point Catmull-Rom spline weights, frames p-1 .. p+2.
const WeightTable& cubic_table();

// Kaiser-windowed sinc weights for a 32.32 step (sample frames per output
// frame). Up to a step of 1 the cutoff is the sample's Nyquist frequency, on
// 8 taps; above, the table for the next of a few step bounds, whose cutoff
// lies that many times lower and whose taps are that many times more, so
// that every table has the same transition in proportion; steps above the
// last bound take its table.
const WeightTable& sinc_table(std::uint64_t step);
