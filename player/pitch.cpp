#include "player/pitch.h"
#include "player/fixed_point.h"

namespace {

constexpr std::int32_t amiga_lowest_key = 37;  // ProTracker's C-1, period 856
constexpr std::int32_t amiga_highest_key = 72; // ProTracker's B-3, period 113

} // namespace

std::int32_t key_period(const Module& module, std::int32_t key, std::int32_t fine_tune) {
    const std::int32_t q = key * 64 + (fine_tune >> 1);
    if (module.linear_pitch) return 7744 - q;
    return 29021 * fixed_exp2((q * 32768) / -768) >> 15;
}

PeriodRange amiga_period_range(const Module& module, std::int32_t fine_tune) {
    return PeriodRange{key_period(module, amiga_highest_key, fine_tune),
                       key_period(module, amiga_lowest_key, fine_tune)};
}
