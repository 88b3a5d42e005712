// The FM channels of a song (S3M's AdLib channels): each plays its notes on
// a channel of one FM chip (opl2.h), as Scream Tracker 3 does, and the chip's
// output joins the tick's mix beside the samples.
//
// The replay keeps a channel's note state as for samples (key, volume,
// pitch); once a tick, before its frames are rendered, fm_voices_add_tick
// hands that state to the chip: a struck note sets the instrument's
// registers and keys on, a released key keys off, and the pitch and volume
// follow the channel every tick. resample_tick calls it; the show's mixer
// (mix_tick) plays samples only. The chip is continuous, so its output is
// added after the tick's crossfade, to the tick's own frames only.
#pragma once
#include "player/replay.h"
#include <cstdint>

// Frames the chip renders into its per-channel buffers at a time.
constexpr std::int32_t fm_block_frames = 1024;

// The chip takes the channels' state and adds `frames` frames of its output
// to `buffer` (interleaved stereo). new_replay allocates the chip (zero-filled)
// and its buffers for a song with FM channels, start_sequence_at zeroes it;
// a zeroed chip is reset here at its first tick, so that the show, whose
// song has no FM channels, needs none of the chip's code.
void fm_voices_add_tick(Replay& replay, std::int32_t* buffer, std::int32_t frames);
