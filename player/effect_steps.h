// The steps that effects share, each changing a channel: slides of pitch,
// tone and volume, the oscillators' values, retriggers, tremor, arpeggio,
// note cuts; the effect commands (effects.h) and the volume column
// (volume_column.h) are made of them.
#pragma once
#include "player/replay.h"
#include <cstdint>

inline bool on_first_tick(const Channel& channel) {
    return channel.tick_in_row == 0;
}

inline const PlayRules& rules_of(const Channel& channel) {
    return rules_of(*channel.replay->module);
}

// The sample has no loop and the voice has played it to its end.
inline bool sample_played_out(const Channel& channel) {
    const Sample& sample = *channel.sample;
    return sample.loop_length < 2 && channel.position >= sample.loop_start + sample.loop_length;
}

// The voice starts again `from` the given frame: a new note or a retrigger.
inline void restart_voice(Channel& channel, std::int32_t from) {
    channel.position = from;
    channel.fraction = 0;
    channel.struck = 1;
}

// A panning command: the channel's own panning from now, out of surround
// and no longer the note's.
inline void take_panning(Channel& channel, std::int32_t panning) {
    channel.panning = panning;
    channel.surround = 0;
    channel.pan_borrowed = 0;
}

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
// A vibrato's row: where the rules update it on every tick, as on the
// others; else the value at the phase, unless the rules skip the first tick.
void vibrato_row(Channel& channel, std::int32_t shift);
// The memory of Exx (`down`) or Fxx, one for both where the rules say so.
std::int32_t& pitch_slide_memory(Channel& channel, bool down);
// Remembers a pitch slide's parameter (not 0), also as the tone slide's
// speed where the rules link the two.
void remember_pitch_slide(Channel& channel, bool down, std::int32_t q);
// Gxx's parameter (not 0) as the tone slide's speed, and as the pitch
// slides' memory where the rules link the two.
void remember_tone_slide(Channel& channel, std::int32_t q);
void set_tremolo_value(Channel& channel);
// Qxy's restart: the sample from its start (where the rules let it) and
// the volume changed by the retrigger's mode.
void retrigger_note(Channel& channel);
void multi_retrigger(Channel& channel);
// FastTracker 2's Rxy: every tick counts, and the interval's last restarts
// the note with the volume change.
void count_retrigger(Channel& channel);
// FastTracker 2's Txy: the phases count down from x + 1 and y + 1 ticks.
void count_tremor(Channel& channel);
// The volume offset a row starts with: that of the tremolo or tremor
// before, where it lasts.
std::int32_t lasting_volume_offset(const Channel& channel);
void tremor_step(Channel& channel);

// Silences the note: its volume goes to 0, and where the rules say so the
// note stops, so that nothing but a new note brings it back.
void cut_note(Channel& channel);
// E9x where the rules count ticks from the row's start.
void retrigger_on_multiples(Channel& channel, std::int32_t param);
// Moves the tremolo phase on by its step, once per tick.
void advance_tremolo(Channel& channel);
// The step of the global and panning slides from their nibbles.
std::int32_t nibble_slide(const Channel& channel, std::int32_t q);
// Arpeggio's tick: the note, then the two offsets, then the note again.
void arpeggio_tick(Channel& channel);
// Where the rules say so, the arpeggio plays around the note itself, whatever
// slides did to the period since, and leaves the period as they made it.
void arpeggio_around_note(Channel& channel);

// The global volume's top: 64, or 128 where the rules say so.
inline std::int32_t highest_global_volume(const Channel& channel) {
    return rules_of(channel).global_volume_of_128 ? 128 : 64;
}

// Adds a small non-negative step to a counter that only grows. Its readers
// look only at the low bits (oscillator phases) or compare it with small
// limits, so instead of overflowing it drops back by 2^29 once it reaches
// 2^30: the low 29 bits and every small comparison stay as they were.
constexpr std::int32_t grow_counter(std::int32_t value, std::int32_t step) {
    value += step;
    return value >= (1 << 30) ? value - (1 << 29) : value;
}
