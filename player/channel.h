// Per-channel note, pitch, volume, envelope and auto-vibrato processing. Every
// row and tick ends with update_outputs, leaving frequency, amplitude and
// balance current for the mixer.
#pragma once
#include "player/replay.h"

void apply_row_note(Channel& channel, Note note);
void apply_tick_effects(Channel& channel);
void trigger_note(Channel& channel);
void update_outputs(Channel& channel);
void apply_auto_vibrato(Channel& channel);
void update_frequency(Channel& channel);
void update_amplitude(Channel& channel);
void advance_envelopes(Channel& channel);
std::int32_t envelope_value(const Envelope& envelope, std::int32_t tick);
// A waveform value in -255..255 for a phase of 64 steps per cycle.
std::int32_t lfo_value(Channel& channel, std::int32_t phase, std::int32_t shape);
