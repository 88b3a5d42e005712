// What a MIDI macro tells the resonant filter. A macro is text: pairs of
// upper-case hex digits are bytes, letters stand for values (z the Zxx
// parameter, v and u two reckonings of the note's volume, each 0..127;
// others for nothing), spaces separate. Of the bytes,
// F0 F0 00 x sets the cutoff to x and F0 F0 01 x the resonance, for x up to
// 7F; everything else is ignored.
#pragma once
#include <cstdint>

struct MacroValues {
    std::int32_t parameter;
    std::int32_t volume;
    std::int32_t mixed_volume;
};

// What the macro sets, -1 for what it leaves; the last message counts.
struct MacroFilter {
    std::int32_t cutoff;
    std::int32_t resonance;
};

// `macro` holds up to `length` characters, a NUL ending it early.
MacroFilter macro_filter(const char* macro, std::int32_t length, MacroValues values);
