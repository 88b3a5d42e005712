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
// point (or repeating a sustain loop) while the key is down and looping;
// fades out a released note, or where the rules say so a fading one.
void advance_envelopes(Channel& channel);

// A key-off: the envelopes leave their sustain. Where the rules say so, an
// instrument without a volume envelope also loses its volume (unless
// `keep_volume`; a volume command may give it back), and with `fade` the
// note fades out, envelope or not; where the rules say so, an instrument
// without a volume envelope, or with a looping one, starts its fade.
void release_key(Channel& channel, bool fade, bool keep_volume);

// Where a channel's envelopes stand before a note strikes, for those with
// IT's carry flag to go on from: `instrument` is null unless the note that
// sounds there is of the struck note's instrument `next`.
struct EnvelopePlace {
    const Instrument* instrument;
    std::int32_t volume_tick;
    std::int32_t panning_tick;
    std::int32_t pitch_tick;
};
EnvelopePlace envelope_place(const Channel& channel, const Instrument& next);
// Puts the struck note's carrying envelopes back where `place` saw them.
void carry_envelopes(Channel& channel, const EnvelopePlace& place);
