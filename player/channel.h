// Per-channel note, pitch and volume processing on rows and ticks; each
// ends with update_outputs (channel_output.h).
#pragma once
#include "player/replay.h"

void apply_row_note(Channel& channel, Note note);
// A delayed row's repetition: its first tick again, without its note.
void repeat_row(Channel& channel);
void apply_tick_effects(Channel& channel);
void trigger_note(Channel& channel);
