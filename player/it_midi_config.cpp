#include "player/it_midi_config.h"
#include <algorithm>

namespace {

// The configuration's global macros (start, stop, tick, note on and off,
// volume, panning, bank and program change) come before SF0; the replay
// uses none of them.
constexpr std::size_t global_macros = 9;

void set_defaults(char* macros) {
    std::copy_n("F0F000z", 7, macros); // the rest stays NUL
    for (int i = 0; i < 16; ++i) {
        char* fixed = macros + (parametered_macros + i) * midi_macro_length;
        std::copy_n("F0F001", 6, fixed);
        fixed[6] = "01234567"[i / 2];
        fixed[7] = i % 2 == 0 ? '0' : '8';
    }
}

} // namespace

bool it_load_midi_config(Module& module, const LoadData& data, std::size_t at, bool embedded,
                         std::uint64_t& announced_end) {
    char* macros = allocate<char>(midi_macro_count * midi_macro_length);
    if (!macros) return false;
    module.midi_macros = macros;
    if (!embedded) {
        set_defaults(macros);
        return true;
    }
    const std::size_t first = at + global_macros * midi_macro_length;
    const std::size_t bytes = midi_macro_count * midi_macro_length;
    announced_end = std::max<std::uint64_t>(announced_end, first + bytes);
    // The last character stays NUL: each macro ends inside its field.
    for (std::size_t i = 0; i < bytes; ++i)
        macros[i] = i % midi_macro_length == midi_macro_length - 1
                        ? '\0'
                        : static_cast<char>(data.byte(first + i));
    return true;
}
