// A channel's resonant filter on rows and ticks: what a new note and Zxx
// set, and the coefficients the resampler filters the voice with. The
// filter plays once its cutoff is below full or it has a resonance; back at
// rest it keeps its last coefficients, until a new note (not one slid to)
// turns it off.
#pragma once
#include "player/replay.h"

// A struck note: its instrument's filter where it has one, a fresh history.
void start_note_filter(Channel& channel);
// Zxx: Z00..Z7F run the parametered macro SFx picked, Z80..ZFF their own.
void run_midi_macro(Channel& channel, std::int32_t param);
// Turns the filter on or off and computes its coefficients when they change.
void update_filter(Channel& channel);
