// The resonant low-pass filter's coefficients for a cutoff and resonance of
// 0..127 at an output rate, computed when either changes, never per frame.
#pragma once
#include "player/filter_kernel.h"
#include "player/replay.h"
#include <cstdint>

// `envelope` scales the cutoff: 256 leaves it, 0 halves it, -256 closes it
// (the filter envelope's range).
FilterCoefficients filter_coefficients(std::int32_t cutoff, std::int32_t resonance,
                                       std::int32_t envelope, std::int32_t output_rate);
