#include "player/mix_level.h"

std::int32_t mix_gain_for_channels(std::int32_t channel_count) {
    if (channel_count <= 4) return 64;
    // The largest gain g with g * g * channels <= 64 * 64 * 4.
    std::int32_t gain = 64;
    while (gain * gain * channel_count > 64 * 64 * 4) --gain;
    return gain;
}
