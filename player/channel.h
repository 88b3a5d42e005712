// Per-channel note, pitch, volume and auto-vibrato processing. Every
// row and tick ends with update_outputs, leaving frequency, amplitude and
// balance current for the mixer.
#pragma once
#include "player/replay.h"

void apply_row_note(Channel& channel, Note note);
// A delayed row's repetition: its first tick again, without its note.
void repeat_row(Channel& channel);
void apply_tick_effects(Channel& channel);
void trigger_note(Channel& channel);
void update_outputs(Channel& channel);
void apply_auto_vibrato(Channel& channel);
void update_frequency(Channel& channel);
void update_amplitude(Channel& channel);
