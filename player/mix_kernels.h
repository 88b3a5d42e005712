// The mixer's inner loops, each written twice: plainly, for any CPU, and with
// SSE2 where the build takes it (simd.h). The two give the same values bit for
// bit; the mixer takes the SSE2 ones where they exist, and the tests hold
// each pair against the other.
#pragma once
#include "player/simd.h"

#include <cstdint>
#include <cstring>
#if defined(GRIDSHOW_SSE2_KERNELS)
#include <emmintrin.h>
#endif

namespace mix_kernels {

constexpr std::int32_t max_voices = 4;

struct Gains {
    std::int32_t left;
    std::int32_t right;
};

namespace portable {

// Stores `value` over the eight values from `at`.
inline void store_eight(std::int16_t* at, std::int16_t value) {
    for (int i = 0; i < 8; ++i) at[i] = value;
}

inline void add_scaled(const std::int16_t* values, std::int32_t count, Gains gains,
                       std::int32_t* out) {
    for (std::int32_t i = 0; i < count; ++i) {
        out[2 * i] += (values[i] * gains.left) >> 15;
        out[2 * i + 1] += (values[i] * gains.right) >> 15;
    }
}

// Adds the scaled values of `voice_count` voices to `count` stereo frames, or
// writes them there when `overwrite`.
inline void add_voices(const std::int16_t* const* values, const Gains* gains,
                       std::int32_t voice_count, std::int32_t count, std::int32_t* out,
                       bool overwrite) {
    if (overwrite) std::memset(out, 0, sizeof(std::int32_t) * 2 * count);
    for (std::int32_t v = 0; v < voice_count; ++v) add_scaled(values[v], count, gains[v], out);
}

// Output frame j of the down-sampling filter, in place (see downsample).
inline void downsample_frame(std::int32_t* buffer, std::int32_t j) {
    for (int side = 0; side < 2; ++side) {
        const std::int32_t* in = buffer + 4 * j + side;
        buffer[2 * j + side] = (in[0] >> 2) + (in[2] >> 1) + (in[4] >> 2);
    }
}

// out[j] = in[2j] / 4 + in[2j + 1] / 2 + in[2j + 2] / 4 per side, each term
// shifted before the sum, in place: output frame j only overwrites frames that
// have been read.
inline void downsample(std::int32_t* buffer, std::int32_t out_frames) {
    for (std::int32_t j = 0; j < out_frames; ++j) downsample_frame(buffer, j);
}

inline std::int16_t saturated(std::int32_t value) {
    return static_cast<std::int16_t>(value < -32767 ? -32768 : (value >= 32767 ? 32767 : value));
}

inline void copy_saturated(const std::int32_t* from, std::int16_t* to, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) to[i] = saturated(from[i]);
}

} // namespace portable

#if defined(GRIDSHOW_SSE2_KERNELS)
namespace sse2 {

inline void store_eight(std::int16_t* at, std::int16_t value) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(at), _mm_set1_epi16(value));
}

// Voices with gains from -16383 to 16383 only: doubled, such a gain fits 16
// bits, and then the high half of v * (2 * gain) is exactly (v * gain) >> 15
// (both round toward minus infinity), so one multiply scales eight values,
// and the result (|r| <= 16383) leaves room to add two voices in 16 bits.
// Voices are scaled and summed in pairs in 16 bits; the pairs' sums meet in
// 32 bits, interleaved by side, in one multiply-add by 1. Eight frames at a
// time; returns the frames done, leaving count % 8. The voice count is fixed
// at compile time so that the sums stay in registers.
template <bool overwrite, std::int32_t voice_count>
std::int32_t add_voices_wide(const std::int16_t* const* values, const Gains* gains,
                             std::int32_t count, std::int32_t* out) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i ones = _mm_set1_epi16(1);
    __m128i left_gain[max_voices] = {};
    __m128i right_gain[max_voices] = {};
    for (std::int32_t v = 0; v < voice_count; ++v) {
        left_gain[v] = _mm_set1_epi16(static_cast<std::int16_t>(gains[v].left * 2));
        right_gain[v] = _mm_set1_epi16(static_cast<std::int16_t>(gains[v].right * 2));
    }
    const auto put = [](std::int32_t* at, __m128i sum) {
        auto* target = reinterpret_cast<__m128i*>(at);
        if constexpr (!overwrite) sum = _mm_add_epi32(_mm_loadu_si128(target), sum);
        _mm_storeu_si128(target, sum);
    };
    std::int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        __m128i left[2] = {zero, zero};
        __m128i right[2] = {zero, zero};
        // Unrolled, the pair sums are plain registers.
#pragma GCC unroll 4
        for (std::int32_t v = 0; v < voice_count; ++v) {
            const __m128i eight = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values[v] + i));
            left[v / 2] = _mm_add_epi16(left[v / 2], _mm_mulhi_epi16(eight, left_gain[v]));
            right[v / 2] = _mm_add_epi16(right[v / 2], _mm_mulhi_epi16(eight, right_gain[v]));
        }
        // (left, right) of each pair per frame, then the two pairs side by side.
        const __m128i first_low = _mm_unpacklo_epi16(left[0], right[0]);
        const __m128i first_high = _mm_unpackhi_epi16(left[0], right[0]);
        const __m128i second_low = _mm_unpacklo_epi16(left[1], right[1]);
        const __m128i second_high = _mm_unpackhi_epi16(left[1], right[1]);
        const auto sum = [&](__m128i first, __m128i second) {
            return _mm_madd_epi16(_mm_unpacklo_epi16(first, second), ones);
        };
        const auto sum_high = [&](__m128i first, __m128i second) {
            return _mm_madd_epi16(_mm_unpackhi_epi16(first, second), ones);
        };
        std::int32_t* frames = out + 2 * i;
        put(frames, sum(first_low, second_low));
        put(frames + 4, sum_high(first_low, second_low));
        put(frames + 8, sum(first_high, second_high));
        put(frames + 12, sum_high(first_high, second_high));
    }
    return i;
}

template <bool overwrite>
std::int32_t add_voices_wide(const std::int16_t* const* values, const Gains* gains,
                             std::int32_t voice_count, std::int32_t count, std::int32_t* out) {
    switch (voice_count) {
    case 0:
        return add_voices_wide<overwrite, 0>(values, gains, count, out);
    case 1:
        return add_voices_wide<overwrite, 1>(values, gains, count, out);
    case 2:
        return add_voices_wide<overwrite, 2>(values, gains, count, out);
    case 3:
        return add_voices_wide<overwrite, 3>(values, gains, count, out);
    default:
        return add_voices_wide<overwrite, 4>(values, gains, count, out);
    }
}

// portable::add_voices for up to max_voices voices with gains from -16383 to
// 16383.
// Kept out of the mixer's read loops, whose registers it would otherwise share.
[[gnu::noinline]] inline void add_voices(const std::int16_t* const* values, const Gains* gains,
                                         std::int32_t voice_count, std::int32_t count,
                                         std::int32_t* out, bool overwrite) {
    const std::int32_t done = overwrite
                                  ? add_voices_wide<true>(values, gains, voice_count, count, out)
                                  : add_voices_wide<false>(values, gains, voice_count, count, out);
    const std::int16_t* rest[max_voices] = {};
    for (std::int32_t v = 0; v < voice_count; ++v) rest[v] = values[v] + done;
    portable::add_voices(rest, gains, voice_count, count - done, out + 2 * done, overwrite);
}

// Two output frames at a time.
inline void downsample(std::int32_t* buffer, std::int32_t out_frames) {
    std::int32_t j = 0;
    for (; j + 2 <= out_frames; j += 2) {
        const std::int32_t* in = buffer + 4 * j;
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 4));
        const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 8));
        const __m128i even = _mm_unpacklo_epi64(a, b);
        const __m128i odd = _mm_unpackhi_epi64(a, b);
        const __m128i next_even = _mm_unpacklo_epi64(b, c);
        const __m128i sum =
            _mm_add_epi32(_mm_add_epi32(_mm_srai_epi32(even, 2), _mm_srai_epi32(odd, 1)),
                          _mm_srai_epi32(next_even, 2));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(buffer + 2 * j), sum);
    }
    for (; j < out_frames; ++j) portable::downsample_frame(buffer, j);
}

// packs saturates to -32768..32767, exactly the conversion wanted.
inline void copy_saturated(const std::int32_t* from, std::int16_t* to, std::size_t count) {
    std::size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i));
        const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(from + i + 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), _mm_packs_epi32(low, high));
    }
    portable::copy_saturated(from + i, to + i, count - i);
}

} // namespace sse2
#endif

// The kernels the mixers take: SSE2 where the compiler targets it.
#if defined(GRIDSHOW_SSE2_KERNELS)
namespace native = sse2;
#else
namespace native = portable;
#endif

} // namespace mix_kernels
