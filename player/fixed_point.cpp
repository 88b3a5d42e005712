#include "player/fixed_point.h"
#include <limits>

const std::uint16_t pow2_table[129] = {
    0,     178,   357,   537,   718,   899,   1082,  1266,  1451,  1637,  1823,  2011,  2200,
    2390,  2581,  2773,  2966,  3160,  3355,  3551,  3748,  3947,  4146,  4346,  4548,  4750,
    4954,  5159,  5365,  5572,  5780,  5989,  6200,  6412,  6624,  6838,  7053,  7269,  7487,
    7705,  7925,  8146,  8368,  8592,  8816,  9042,  9269,  9497,  9727,  9958,  10190, 10423,
    10657, 10893, 11130, 11369, 11608, 11849, 12091, 12335, 12580, 12826, 13074, 13323, 13573,
    13825, 14078, 14332, 14588, 14845, 15103, 15363, 15625, 15887, 16152, 16417, 16684, 16953,
    17223, 17494, 17767, 18042, 18317, 18595, 18874, 19154, 19436, 19720, 20005, 20291, 20579,
    20869, 21160, 21453, 21747, 22043, 22341, 22640, 22941, 23244, 23548, 23854, 24161, 24470,
    24781, 25093, 25408, 25723, 26041, 26360, 26681, 27004, 27329, 27655, 27983, 28313, 28645,
    28978, 29313, 29651, 29989, 30330, 30673, 31017, 31364, 31712, 32062, 32414, 32768,
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
    // step < 256 keeps v below 32768 + pow2_table[128] = 65536, so v * 32768
    // is at most 2^31 - 32768 and fits; the shift only makes it smaller.
    const std::int32_t low = pow2_table[index];
    const std::int32_t v = 32768 + low + ((step * (pow2_table[index + 1] - low)) >> 8);
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
