// The volume column: set volume and panning, fine and per-tick volume and
// panning slides, vibrato speed and depth, and tone slide.
#pragma once
#include "player/replay.h"

// Where the rules say so, a volume-column tone slide beside a note delay
// keeps its speed and target, and the delayed note strikes.
bool delay_keeps_volume_column_tone_slide(const Channel& channel);

// Row action of the volume column, inside trigger_note before the key.
void apply_volume_column_row(Channel& channel);
// Tick action of the volume column, before the effect's.
void apply_volume_column_tick(Channel& channel);
