// Instrument envelopes: the value at an envelope tick, and the channel's
// envelope positions and fade-out, moved on once per output update.
#pragma once
#include "player/replay.h"
#include <cstdint>

// The envelope's value at `tick`, interpolated between its points.
std::int32_t envelope_value(const Envelope& envelope, std::int32_t tick);
// The same in 1/256 steps, for quiet envelope tails to fade smoothly.
std::int32_t envelope_value_fine(const Envelope& envelope, std::int32_t tick);
// Moves the channel's active envelopes on by one tick, holding at a sustain
// point while the key is down and looping; fades out a released note.
void advance_envelopes(Channel& channel);
