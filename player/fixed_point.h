// Two to a fixed-point power and its inverse, in 1/32768 of an octave.
#pragma once
#include <cstdint>

// Entry i is 32768 * 2^(i/128), rounded, for i = 0..128, less the 32768 that
// all have, so that each fits 16 bits.
extern const std::uint16_t pow2_table[129];

// About 32768 * 2^(x / 32768), for octaves -16..15.
std::int32_t fixed_exp2(std::int32_t x);
// The inverse of fixed_exp2 by bisection: the smallest r with fixed_exp2(r) >= a.
std::int32_t fixed_log2(std::int32_t a);
