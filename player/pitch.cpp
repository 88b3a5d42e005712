#include "player/pitch.h"
#include "player/fixed_point.h"

namespace {

constexpr std::int32_t amiga_lowest_key = 37;  // ProTracker's C-1, period 856
constexpr std::int32_t amiga_highest_key = 72; // ProTracker's B-3, period 113
constexpr std::int32_t table_notes = amiga_highest_key - amiga_lowest_key + 1;
// Each fine tune's table is its notes and a 0; the sixteen follow each other
// in the order of the fine-tune nibble (0..7, then -8..-1).
constexpr std::int32_t table_entries = table_notes + 1;
constexpr std::int32_t fine_tunes = 16;

std::int32_t table_period(const Module& module, std::int32_t nibble, std::int32_t note) {
    const std::int32_t fine_tune = (nibble >= 8 ? nibble - 16 : nibble) * 16;
    return key_period(module, amiga_lowest_key + note, fine_tune);
}

} // namespace

std::int32_t key_period(const Module& module, std::int32_t key, std::int32_t fine_tune) {
    const std::int32_t q = key * 64 + (fine_tune >> 1);
    if (module.linear_pitch) return 7744 - q;
    return static_cast<std::int32_t>(std::int64_t{29021} * fixed_exp2((q * 32768) / -768) >> 15);
}

PeriodRange amiga_period_range(const Module& module, std::int32_t fine_tune) {
    return PeriodRange{key_period(module, amiga_highest_key, fine_tune),
                       key_period(module, amiga_lowest_key, fine_tune)};
}

std::int32_t amiga_table_step(const Module& module, std::int32_t fine_tune, std::int32_t period,
                              std::int32_t semitones) {
    std::int32_t nibble = (fine_tune / 16) & 15;
    std::int32_t note = 0;
    while (note < table_notes - 1 && table_period(module, nibble, note) > period) ++note;
    note += semitones;
    nibble += note / table_entries;
    note %= table_entries;
    if (nibble >= fine_tunes || note == table_notes) return 0;
    return table_period(module, nibble, note);
}
