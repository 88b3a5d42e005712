// The volume column: set volume and panning, fine and per-tick volume and
// panning slides, vibrato speed and depth, and tone slide.
#pragma once
#include "player/replay.h"

// Row action of the volume column, inside trigger_note before the key.
void apply_volume_column_row(Channel& channel);
// Tick action of the volume column, before the effect's.
void apply_volume_column_tick(Channel& channel);
