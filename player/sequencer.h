// The replay sequencer: steps a module through its order list row by row and
// tick by tick. It never stops; past the end of the order list it continues
// at the start (or the song's restart entry), counting every entry entered in
// order_counter.
#pragma once
#include "player/replay.h"

// Creates a replay at entry 0 with its first row played; null on failure
// (nothing is left allocated), and for an output rate the mixer cannot serve.
Replay* new_replay(const Module* module, std::int32_t output_rate, bool interpolate);
// Resets timing, global volume and channels, then plays row 0 of `entry`
// (of entry 0 when `entry` is negative or not below the song length).
void start_sequence_at(Replay* replay, std::int32_t entry);
// Advances the song by one tick: tick effects, or the next row.
void advance_tick(Replay* replay);
// Frees the replay (never its module); accepts a partly built record.
void replay_dispose(Replay* replay);
