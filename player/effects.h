// Effect commands and volume-column commands: what each does on the row and
// on the ticks after it. Codes are the unfolded codes that apply_row_note
// stores (MOD/XM 0x00..0x21, extended E 0x70.., S3M 0x81..0x96, S3M S 0xF0..).
#pragma once
#include "player/effect_steps.h"
#include <cstdint>

// Row action of the channel's effect, after the note trigger.
void apply_effect_row(Channel& channel);
// Tick action of the channel's effect, after the volume column's.
void apply_effect_tick(Channel& channel);
