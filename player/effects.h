// Effect commands and volume-column commands: what each does on the row and
// on the ticks after it. Codes are the unfolded codes that apply_row_note
// stores (MOD/XM 0x00..0x21, extended E 0x70.., S3M 0x81..0x96, S3M S 0xF0..).
#pragma once
#include "player/replay.h"
#include <cstdint>

// Row action of the channel's effect, after the note trigger.
void apply_effect_row(Channel& channel);
// Tick action of the channel's effect, after the volume column's.
void apply_effect_tick(Channel& channel);

// Pitch slides: q >= 0xF0 fine and 0xE0..0xEF extra fine (first tick only),
// anything else coarse (every tick but the first); with coarse_slide set,
// the low byte is coarse whatever its value.
constexpr std::int32_t coarse_slide = 0x100;
void pitch_slide_up(Channel& channel, std::int32_t q);
void pitch_slide_down(Channel& channel, std::int32_t q);
void tone_slide(Channel& channel);
void slide_volume(Channel& channel);
// Moves the vibrato phase on by its step, once per tick.
void advance_vibrato(Channel& channel);
// Sets period_offset from the vibrato oscillator; `shift` is 5, or 7 for the
// fine vibrato.
void set_vibrato_value(Channel& channel, std::int32_t shift);
// A vibrato's tick: the phase moves on and the value follows, or where the
// rules skip the first tick, the value at the phase comes first.
void vibrato_tick(Channel& channel, std::int32_t shift);
void set_tremolo_value(Channel& channel);
void multi_retrigger(Channel& channel);
void tremor_step(Channel& channel);

// Adds a small non-negative step to a counter that only grows. Its readers
// look only at the low bits (oscillator phases) or compare it with small
// limits, so instead of overflowing it drops back by 2^29 once it reaches
// 2^30: the low 29 bits and every small comparison stay as they were.
constexpr std::int32_t grow_counter(std::int32_t value, std::int32_t step) {
    value += step;
    return value >= (1 << 30) ? value - (1 << 29) : value;
}
