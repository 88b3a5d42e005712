// Impulse Tracker's effects that the other formats have not: channel volume
// (Mxx, Nxy), panning and global volume slides (Pxy, Wxy), tempo slides
// (T0x, T1x), panbrello (Yxy, S5x) and the high sample offset (SAx).
#pragma once
#include "player/effect_steps.h"

// Row action of these effects; other codes do nothing.
void apply_it_effect_row(Channel& channel);
// Tick action of these effects; other codes do nothing.
void apply_it_effect_tick(Channel& channel);
