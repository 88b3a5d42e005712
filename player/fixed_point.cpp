#include "player/fixed_point.h"
#include <limits>

const std::int32_t pow2_table[129] = {
    32768, 32946, 33125, 33305, 33486, 33667, 33850, 34034, 34219, 34405, 34591, 34779, 34968,
    35158, 35349, 35541, 35734, 35928, 36123, 36319, 36516, 36715, 36914, 37114, 37316, 37518,
    37722, 37927, 38133, 38340, 38548, 38757, 38968, 39180, 39392, 39606, 39821, 40037, 40255,
    40473, 40693, 40914, 41136, 41360, 41584, 41810, 42037, 42265, 42495, 42726, 42958, 43191,
    43425, 43661, 43898, 44137, 44376, 44617, 44859, 45103, 45348, 45594, 45842, 46091, 46341,
    46593, 46846, 47100, 47356, 47613, 47871, 48131, 48393, 48655, 48920, 49185, 49452, 49721,
    49991, 50262, 50535, 50810, 51085, 51363, 51642, 51922, 52204, 52488, 52773, 53059, 53347,
    53637, 53928, 54221, 54515, 54811, 55109, 55408, 55709, 56012, 56316, 56622, 56929, 57238,
    57549, 57861, 58176, 58491, 58809, 59128, 59449, 59772, 60097, 60423, 60751, 61081, 61413,
    61746, 62081, 62419, 62757, 63098, 63441, 63785, 64132, 64480, 64830, 65182, 65536,
};

static_assert(65535LL * 32768 <= std::numeric_limits<std::int32_t>::max());

std::int32_t fixed_exp2(std::int32_t x) {
    const std::int32_t index = (x >> 8) & 127;
    const std::int32_t step = x & 255;
    const std::int32_t octave = x >> 15;
    // Beyond the supported octaves the shift would be undefined: the result
    // is 0 below (it already is at octave -16) and saturates above.
    if (octave < -16) return 0;
    if (octave > 15) return std::numeric_limits<std::int32_t>::max();
    // step < 256 keeps v below pow2_table[128] = 65536, so v * 32768 is at
    // most 2^31 - 32768 and fits; the shift only makes it smaller.
    const std::int32_t v =
        pow2_table[index] + ((step * (pow2_table[index + 1] - pow2_table[index])) >> 8);
    return (v * 32768) >> (15 - octave);
}

std::int32_t fixed_log2(std::int32_t a) {
    std::int32_t result = 1 << 19;
    for (std::int32_t step = 1 << 19; step > 0; step >>= 1) {
        const std::int32_t candidate = result - step;
        if (fixed_exp2(candidate) >= a) result = candidate;
    }
    return result;
}
