// The resonant low-pass filter's per-frame loop, run by the output-rate
// resampler on the values a filtered voice reads: two poles, each output
// the weighted input plus the two outputs before it. Floating point, so
// that a sharp resonance near the top of the range does not grind.
#pragma once
#include <cstdint>

// y[n] = input * x[n] + first * y[n - 1] + second * y[n - 2].
struct FilterCoefficients {
    float input;
    float first;
    float second;
};

// The two outputs before the next frame's.
struct FilterHistory {
    float last;
    float before_last;
};

namespace filter_kernel {

// Outputs past 16 bits are cut there, and the history with them, so that a
// resonance driven into the limits recovers instead of running away.
inline float saturated(float value) {
    return value < -32768.0f ? -32768.0f : (value > 32767.0f ? 32767.0f : value);
}

// Filters `count` values in place, moving the history on with them.
inline void filter_values(const FilterCoefficients& filter, FilterHistory& history,
                          std::int16_t* values, std::int32_t count) {
    float last = history.last;
    float before_last = history.before_last;
    for (std::int32_t i = 0; i < count; ++i) {
        const float y = saturated(filter.input * static_cast<float>(values[i]) +
                                  filter.first * last + filter.second * before_last);
        before_last = last;
        last = y;
        values[i] = static_cast<std::int16_t>(y < 0.0f ? y - 0.5f : y + 0.5f);
    }
    // A history too small to be heard is 0: a silent voice's ringing would
    // otherwise decay into denormal numbers, which are slow to compute.
    const bool faded =
        last > -0.001f && last < 0.001f && before_last > -0.001f && before_last < 0.001f;
    history.last = faded ? 0.0f : last;
    history.before_last = faded ? 0.0f : before_last;
}

} // namespace filter_kernel
