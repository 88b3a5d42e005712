// The filter is a damped resonator: its corner rises a quarter octave for
// every 6 steps of cutoff from 110 * 2^(1/4) Hz (about 5 kHz at 127), and
// its damping falls by 24 dB over the resonance's range, from a half (a
// slight rise before the corner) to a sharp peak at the corner. The difference equation is the
// resonator's backward-difference form, stable for every corner and
// damping.
#include "player/resonant_filter.h"
#include <algorithm>
#include <cmath>

namespace {

constexpr double two_pi = 6.283185307179586;
constexpr double lowest_corner = 120.0, highest_corner = 20000.0;

double corner_hertz(std::int32_t cutoff, std::int32_t envelope, std::int32_t output_rate) {
    const double steps = cutoff * (envelope + 256) / 512.0;
    const double hertz = 110.0 * std::pow(2.0, 0.25 + steps / 24.0);
    return std::min(std::clamp(hertz, lowest_corner, highest_corner), output_rate / 2.0);
}

} // namespace

FilterCoefficients filter_coefficients(std::int32_t cutoff, std::int32_t resonance,
                                       std::int32_t envelope, std::int32_t output_rate) {
    // The corner in radians per output frame.
    const double corner = corner_hertz(cutoff, envelope, output_rate) * two_pi / output_rate;
    const double damping = 0.5 * std::pow(10.0, -(24.0 / 128.0) * resonance / 20.0);
    // The damping term, held where a high corner would make it negative.
    const double d = (2.0 * damping - std::min((1.0 - 2.0 * damping) * corner, 2.0)) / corner;
    const double e = 1.0 / (corner * corner);
    const double scale = 1.0 / (1.0 + d + e);
    return FilterCoefficients{static_cast<float>(scale), static_cast<float>((d + 2.0 * e) * scale),
                              static_cast<float>(-e * scale)};
}
