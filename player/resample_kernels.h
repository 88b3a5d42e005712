// The output-rate resampler's inner loops (resampler.cpp): each reads a run
// of output frames whose taps all lie inside `frames`, from a 32.32 fixed
// point position `at` (whole frames from frames[0] in the high half) moving
// on by `step`. The weighted reads come twice, plainly and with SSE2 where
// the build takes it (simd.h); the two give the same values bit for bit (the
// sums are exact in 32 bits), and the tests hold each against the other.
#pragma once
#include "player/simd.h"

#include <cstdint>
#if defined(GRIDSHOW_SSE2_KERNELS)
#include <emmintrin.h>
#endif

namespace resample_kernels {

// Weights scale to 1 << weight_bits: a weight near 1 and the negative
// lobes both fit 16 bits, and a sum of taps * 32767 * weight fits 32.
constexpr int weight_bits = 14;
// Rows of weights for fractions j / 2^phase_bits of a frame, j from 0 to
// 2^phase_bits: `taps` weights each, for the frames from taps_before(taps)
// ahead of the position on, summing to 1 << weight_bits. Taps are 4 (a
// cubic) or a multiple of 8.
constexpr int phase_bits = 10;
constexpr std::int32_t phase_rows = (1 << phase_bits) + 1;

constexpr std::int32_t taps_before(std::int32_t taps) {
    return taps / 2 - 1;
}

// The row for the fraction in the low half of `at`, rounded to the nearest.
template <std::int32_t taps>
const std::int16_t* row_at(const std::int16_t* weights, std::uint64_t at) {
    const auto fraction = static_cast<std::uint32_t>(at);
    const std::uint32_t row = ((fraction >> (31 - phase_bits)) + 1) >> 1;
    return weights + row * static_cast<std::uint32_t>(taps);
}

// The frames that the taps of the position `at` read from.
template <std::int32_t taps>
const std::int16_t* taps_at(const std::int16_t* frames, std::uint64_t at) {
    return frames + static_cast<std::int64_t>(at >> 32) - taps_before(taps);
}

// Weighted reads come out at half scale: a spline or sinc overshoots a
// full-scale edge, and the bit of headroom keeps it from clipping. The
// resampler doubles such voices' gains.
constexpr int weighted_shift = weight_bits + 1;

inline std::int16_t rounded_sum(std::int32_t sum) {
    const std::int32_t value = (sum + (1 << (weighted_shift - 1))) >> weighted_shift;
    return static_cast<std::int16_t>(value < -32768 ? -32768 : (value > 32767 ? 32767 : value));
}

// The frame at the whole position.
inline void nearest(const std::int16_t* frames, std::uint64_t at, std::uint64_t step,
                    std::int32_t count, std::int16_t* values) {
    std::int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        values[i] = frames[at >> 32];
        values[i + 1] = frames[(at + step) >> 32];
        values[i + 2] = frames[(at + 2 * step) >> 32];
        values[i + 3] = frames[(at + 3 * step) >> 32];
        at += 4 * step;
    }
    for (; i < count; ++i, at += step) values[i] = frames[at >> 32];
}

// Between the frame and the next, by the top 15 bits of the fraction, as the
// show's linear read.
inline std::int16_t linear_value(const std::int16_t* frames, std::uint64_t at) {
    const std::int16_t* frame = frames + (at >> 32);
    const auto weight = static_cast<std::int32_t>(static_cast<std::uint32_t>(at) >> 17);
    return static_cast<std::int16_t>(frame[0] + (((frame[1] - frame[0]) * weight) >> 15));
}

// Four frames a round, each position counted from the round's start, so that
// the reads do not wait on one another.
inline void linear(const std::int16_t* frames, std::uint64_t at, std::uint64_t step,
                   std::int32_t count, std::int16_t* values) {
    std::int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        values[i] = linear_value(frames, at);
        values[i + 1] = linear_value(frames, at + step);
        values[i + 2] = linear_value(frames, at + 2 * step);
        values[i + 3] = linear_value(frames, at + 3 * step);
        at += 4 * step;
    }
    for (; i < count; ++i, at += step) values[i] = linear_value(frames, at);
}

namespace portable {

// The weighted sum of the taps of each position, rounded and saturated.
template <std::int32_t taps>
void weighted(const std::int16_t* frames, std::uint64_t at, std::uint64_t step, std::int32_t count,
              const std::int16_t* weights, std::int16_t* values) {
    for (std::int32_t i = 0; i < count; ++i, at += step) {
        const std::int16_t* frame = taps_at<taps>(frames, at);
        const std::int16_t* row = row_at<taps>(weights, at);
        std::int32_t sum = 0;
        for (std::int32_t k = 0; k < taps; ++k) sum += frame[k] * row[k];
        values[i] = rounded_sum(sum);
    }
}

} // namespace portable

#if defined(GRIDSHOW_SSE2_KERNELS)
namespace sse2 {

inline __m128i load(const std::int16_t* at) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}
inline __m128i load_four(const std::int16_t* at) {
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(at));
}

// Four sums rounded, saturated and stored as four values.
inline void store_sums(__m128i sums, std::int16_t* values) {
    const __m128i shifted = _mm_srai_epi32(
        _mm_add_epi32(sums, _mm_set1_epi32(1 << (weighted_shift - 1))), weighted_shift);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(values), _mm_packs_epi32(shifted, shifted));
}

// Four taps: two positions per multiply-add, four positions a round.
inline __m128i four_sums_of_four_taps(const std::int16_t* frames, std::uint64_t at,
                                      std::uint64_t step, const std::int16_t* weights) {
    __m128i pairs[2];
    for (int half = 0; half < 2; ++half) {
        const std::uint64_t first = at + 2 * half * step;
        const std::uint64_t second = first + step;
        const __m128i taps = _mm_unpacklo_epi64(load_four(taps_at<4>(frames, first)),
                                                load_four(taps_at<4>(frames, second)));
        const __m128i row = _mm_unpacklo_epi64(load_four(row_at<4>(weights, first)),
                                               load_four(row_at<4>(weights, second)));
        // Each position's two partial sums: a0 a1 b0 b1 -> a0 b0 a1 b1.
        pairs[half] = _mm_shuffle_epi32(_mm_madd_epi16(taps, row), 0xD8);
    }
    return _mm_add_epi32(_mm_unpacklo_epi64(pairs[0], pairs[1]),
                         _mm_unpackhi_epi64(pairs[0], pairs[1]));
}

// Taps a multiple of eight: each position's products summed in four lanes,
// then four positions' lanes folded together.
template <std::int32_t taps>
__m128i four_sums_of_eights(const std::int16_t* frames, std::uint64_t at, std::uint64_t step,
                            const std::int16_t* weights) {
    __m128i lanes[4];
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j) {
        const std::uint64_t position = at + j * step;
        const std::int16_t* frame = taps_at<taps>(frames, position);
        const std::int16_t* row = row_at<taps>(weights, position);
        __m128i sum = _mm_madd_epi16(load(frame), load(row));
#pragma GCC unroll 8
        for (std::int32_t k = 8; k < taps; k += 8)
            sum = _mm_add_epi32(sum, _mm_madd_epi16(load(frame + k), load(row + k)));
        lanes[j] = sum;
    }
    const __m128i first = _mm_add_epi32(_mm_unpacklo_epi32(lanes[0], lanes[1]),
                                        _mm_unpackhi_epi32(lanes[0], lanes[1]));
    const __m128i second = _mm_add_epi32(_mm_unpacklo_epi32(lanes[2], lanes[3]),
                                         _mm_unpackhi_epi32(lanes[2], lanes[3]));
    return _mm_add_epi32(_mm_unpacklo_epi64(first, second), _mm_unpackhi_epi64(first, second));
}

// portable::weighted, four positions at a time.
template <std::int32_t taps>
void weighted(const std::int16_t* frames, std::uint64_t at, std::uint64_t step, std::int32_t count,
              const std::int16_t* weights, std::int16_t* values) {
    std::int32_t i = 0;
    for (; i + 4 <= count; i += 4, at += 4 * step) {
        if constexpr (taps == 4) {
            store_sums(four_sums_of_four_taps(frames, at, step, weights), values + i);
        } else {
            store_sums(four_sums_of_eights<taps>(frames, at, step, weights), values + i);
        }
    }
    portable::weighted<taps>(frames, at, step, count - i, weights, values + i);
}

} // namespace sse2
#endif

// The weighted read the resampler takes: SSE2 where the compiler targets it.
template <std::int32_t taps>
void native_weighted(const std::int16_t* frames, std::uint64_t at, std::uint64_t step,
                     std::int32_t count, const std::int16_t* weights, std::int16_t* values) {
#if defined(GRIDSHOW_SSE2_KERNELS)
    sse2::weighted<taps>(frames, at, step, count, weights, values);
#else
    portable::weighted<taps>(frames, at, step, count, weights, values);
#endif
}

} // namespace resample_kernels
