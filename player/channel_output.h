// A channel's outputs: every row and tick ends with update_outputs, leaving
// frequency, amplitude and balance current for the mixer.
#pragma once
#include "player/replay.h"

void update_outputs(Channel& channel);
void apply_auto_vibrato(Channel& channel);
// The instrument's pitch envelope, unless it is a filter envelope.
void apply_pitch_envelope(Channel& channel);
void update_frequency(Channel& channel);
void update_amplitude(Channel& channel);
