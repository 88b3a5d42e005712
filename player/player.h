// The module player: how to use it. This is the header the rest of the
// program includes; everything else in player/ is internal to it, except
// player/effect_codes.h for the format loaders.
//
// Use, in this order:
//  1. module_load(data, length, message): the song's bytes become a Module
//     (MOD only; XM and S3M are recognised and refused with a message). The
//     bytes may go away afterwards: the Module owns copies of all it needs.
//     The program's own song comes packed (player/embedded_song.h):
//     packed_song_load unpacks it into a buffer of the caller's and loads it.
//  2. new_replay(module, output_rate, interpolate): a Replay of that module,
//     at entry 0 with its first row played. start_sequence_at moves it to
//     another order-list entry. The Replay refers to the Module, which must
//     outlive it.
//  3. mix_tick(replay, int_mix_buffer), again and again: renders the current
//     tick as interleaved 32-bit stereo frames at the output rate into a
//     buffer of int_mix_buffer_values values and advances the song by one
//     tick. The song never ends: past the last entry it starts over, and
//     replay->order_counter counts every entry entered.
//     resample_tick (player/resampler.h) keeps the same contract for tools
//     that render at other rates or interpolations: it renders at the output
//     rate itself by replay->resampler (nearest, linear, cubic, sinc; show,
//     the default, is mix_tick). Its weight tables are built once, at the
//     first tick that needs them (guarded as any function-local static), and
//     are only read after. A module with FM channels (S3M AdLib) sounds
//     them through resample_tick alone: new_replay then also allocates the
//     FM chip and its buffers, and replay_dispose frees them. The show calls
//     mix_tick alone.
//  4. copy_saturated: mixer values to 16-bit samples.
//  5. replay_dispose, then module_dispose.
//
// Failures: module_load and new_replay return null and leave nothing
// allocated. All memory comes zero-filled from the allocation seam
// (base/alloc.h), so a test can make any allocation fail.
//
// Threading: none inside. A Module is read-only once loaded and may be shared;
// a Replay belongs to one thread at a time (the program's main thread).
//
// Results depend only on the module and the calls made: 32-bit integer
// arithmetic throughout, the same bits on every machine.
#pragma once
#include "player/mixer.h"
#include "player/mod_loader.h"
#include "player/module.h"
#include "player/packed_song.h"
#include "player/resampler.h"
#include "player/sequencer.h"
