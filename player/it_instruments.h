// The instruments and samples of an IT file in the data model's terms.
#pragma once
#include "player/load_data.h"
#include "player/module.h"
#include <cstdint>

// IT's notes run C-0..B-9 (0..119); the replay's key of note n is n + 1.
// Its C-5, which plays at a sample's C5 speed, sounds as the other formats'
// key 49: the module's key shift.
constexpr std::int32_t it_key_shift = 12;
inline std::int32_t it_note_key(std::int32_t note) {
    return note + 1;
}

struct ItLayout {
    std::int32_t instrument_count;
    std::int32_t sample_count;
    std::size_t instrument_pointers;
    std::size_t sample_pointers;
    bool instrument_mode;
    bool old_instruments; // Cmwt < 0x200
};

// Fills module.instruments (module.instrument_count and the counts in
// `layout` set); false only when an allocation fails. `announced_end` grows
// to the end of every sample's data.
bool it_load_instruments(Module& module, const LoadData& data, const ItLayout& layout,
                         std::uint64_t& announced_end);
