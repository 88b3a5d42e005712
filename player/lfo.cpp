#include "player/lfo.h"

namespace {

// Half a sine cycle in 32 steps, peak 255.
constexpr std::uint8_t sine_table[32] = {0,   24,  49,  74,  97,  120, 141, 161, 180, 197, 212,
                                         224, 235, 244, 250, 253, 255, 253, 250, 244, 235, 224,
                                         212, 197, 180, 161, 141, 120, 97,  74,  49,  24};

} // namespace

std::int32_t lfo_value(Channel& channel, std::int32_t phase, std::int32_t shape) {
    const std::int32_t step = phase & 63;
    const std::int32_t saw = (step * 8) ^ 256;
    switch (shape) {
    case 1:
    case 7:
        return 255 - saw;
    case 2:
    case 5:
        return (step & 32) == 0 ? -255 : 255;
    case 3:
    case 8: {
        const std::int32_t r = channel.noise_state;
        // Unsigned so that the multiplication wraps instead of overflowing;
        // the mask keeps the same bits either way.
        channel.noise_state =
            static_cast<std::int32_t>((static_cast<std::uint32_t>(r) * 65u + 17u) & 0x1FFFFFFFu);
        return (r >> 20) - 255;
    }
    case 6:
        return saw - 255;
    default: {
        const std::int32_t value = sine_table[step & 31];
        return (step & 32) == 0 ? value : -value;
    }
    }
}
