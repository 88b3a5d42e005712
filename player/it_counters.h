// Impulse Tracker's tremor (Ixy) and retrigger (Qxy), which count their own
// ticks: a row without the effect leaves its count where it stands.
#pragma once
#include "player/effect_steps.h"

// Ixy's tick, the row's first too: the phase counts down, and at its end the
// other phase starts, x or y ticks long (at least 1; one more with the rules
// of old effects).
void count_it_tremor(Channel& channel);
// Qxy's tick, the row's first too: a struck note sets the count to the
// interval, any other tick counts it down and at 0 or below restarts the
// note with the volume change and the count from the interval again.
void count_it_retrigger(Channel& channel);
