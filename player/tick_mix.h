// What the two tick renderers share (mix_tick in mixer.cpp, resample_tick in
// resampler.cpp): the tick's length, a channel's gains, where a voice stands
// after a tick, the mixing of voices in groups of four, and the crossfade
// that joins a tick to the previous one's look-ahead. Inline, so that each
// renderer compiles them into its own loops.
#pragma once
#include "player/mix_buffer.h"
#include "player/mix_kernels.h"
#include "player/replay.h"
#include "player/sequencer.h"
#include <algorithm>
#include <array>
#include <cstring>

namespace tick_mix {

using mix_kernels::Gains;
using mix_kernels::max_voices;

constexpr std::int32_t crossfade_frames = crossfade_values / 2;
// Frames whose sample values are read into one block before they are added:
// about a tick at 125 BPM, so a tick's voices are set up once; the blocks of
// four voices take 17 KiB of stack.
constexpr std::int32_t block_frames = 2048;

// The buffer holds the doubled-rate rendering of the longest tick and its
// look-ahead (mix_buffer_values); the tempo floor keeps every tick inside.
inline std::int32_t frames_per_tick(const Replay& replay) {
    constexpr auto lookahead_frames = static_cast<std::int32_t>(mix_lookahead_frames);
    const std::int32_t tempo = replay.tempo_bpm < minimum_tempo ? minimum_tempo : replay.tempo_bpm;
    const std::int32_t frames = (replay.output_rate * 5) / (tempo * 2);
    const auto most =
        static_cast<std::int32_t>(mix_buffer_values(replay.output_rate) / 4) - lookahead_frames;
    return frames < most ? frames : most;
}

// round(65536 * sqrt(n / 256)) for n = 0..256: FastTracker 2's panning table.
constexpr std::array<std::int32_t, 257> square_root_pan = [] {
    std::array<std::int32_t, 257> table{};
    for (std::int64_t n = 0; n <= 256; ++n) {
        // The largest r with r * r <= 4 * n * 2^24, halved and rounded.
        const std::int64_t x = 4 * n << 24;
        std::int64_t r = 0;
        for (std::int64_t bit = std::int64_t{1} << 20; bit > 0; bit >>= 1) {
            if ((r + bit) * (r + bit) <= x) r += bit;
        }
        table[static_cast<std::size_t>(n)] = static_cast<std::int32_t>((r + 1) / 2);
    }
    return table;
}();
static_assert(square_root_pan[256] == 65536 && square_root_pan[64] == 32768);

// An amplitude split by the channel's balance: linearly, or where the
// rules say so by FastTracker 2's square-root law (sqrt((256 - balance)
// / 256) to the left, sqrt(balance / 256) to the right, in 1/65536). A
// surround voice is centred, its right side's phase inverted by the sign of
// its gain, so that the kernels need no test of their own.
inline Gains gains_at(const Channel& channel, std::int32_t amplitude) {
    if (plays_other_trackers && channel.surround) return Gains{amplitude >> 1, -(amplitude >> 1)};
    if (rules_of(*channel.replay->module).square_root_panning) {
        const std::int32_t balance = std::clamp(channel.balance, 0, 255);
        const auto side = [amplitude](std::int32_t n) {
            return static_cast<std::int32_t>(
                std::int64_t{amplitude} * square_root_pan[static_cast<std::size_t>(n)] >> 16);
        };
        return Gains{side(256 - balance), side(balance)};
    }
    return Gains{((full_right(rules_of(*channel.replay->module)) - channel.balance) * amplitude) >>
                     8,
                 (channel.balance * amplitude) >> 8};
}
inline Gains channel_gains(const Channel& channel) {
    return gains_at(channel, channel.amplitude);
}

// Where a voice that has moved on to `position` stands: wrapped into its
// loop, or parked at the end of a sample without one.
inline std::int32_t settled_position(const Sample& sample, std::int64_t position) {
    if (position <= sample.loop_start) return static_cast<std::int32_t>(position);
    return sample.loop_length >= 2
               ? static_cast<std::int32_t>(sample.loop_start +
                                           (position - sample.loop_start) % sample.loop_length)
               : sample.loop_start;
}

// The voices that the wide kernel can add: full volume is 16384 split by the
// balance, so MOD gains fit, and so do surround voices' negative ones.
inline bool has_narrow_gains(Gains gains) {
    const auto narrow = [](std::int32_t gain) { return gain >= -16383 && gain <= 16383; };
    return narrow(gains.left) && narrow(gains.right);
}

// Mixes up to max_voices voices (records with `gains`) into `frame_count`
// frames, a block of frames at a time: read(voice, count, values) reads the
// voice's next `count` values (and up to `overrun` more, overwritten later)
// and returns false when the voice had already ended. With `overwrite` the
// frames' old values do not count (the first voices of a tick), so the
// buffer needs no clearing beforehand.
template <std::int32_t overrun, typename Voice, typename Read>
void mix_voices(Voice* voices, std::int32_t voice_count, std::int32_t frame_count, bool overwrite,
                std::int32_t* out, Read read) {
    std::int16_t blocks[max_voices][block_frames + overrun];
    for (std::int32_t start = 0; start < frame_count; start += block_frames) {
        const std::int32_t count =
            frame_count - start < block_frames ? frame_count - start : block_frames;
        std::int32_t* frames = out + 2 * start;
        bool sounding[max_voices] = {};
        const std::int16_t* wide_values[max_voices] = {};
        Gains wide_gains[max_voices] = {};
        std::int32_t wide_count = 0;
        for (std::int32_t v = 0; v < voice_count; ++v) {
            sounding[v] = read(voices[v], count, blocks[v]);
            if (sounding[v] && has_narrow_gains(voices[v].gains)) {
                wide_values[wide_count] = blocks[v];
                wide_gains[wide_count++] = voices[v].gains;
            }
        }
        mix_kernels::native::add_voices(wide_values, wide_gains, wide_count, count, frames,
                                        overwrite);
        for (std::int32_t v = 0; v < voice_count; ++v) {
            if (!sounding[v] || has_narrow_gains(voices[v].gains)) continue;
            mix_kernels::portable::add_scaled(blocks[v], count, voices[v].gains, frames);
        }
    }
}

// Mixes every channel and background voice that is audible into `frame_count` frames, up to
// max_voices at a time, each as the voice that make_voice(channel) sets up;
// the first group writes the frames (silence when no channel is audible),
// the others add.
template <std::int32_t overrun, typename MakeVoice, typename Read>
void mix_channels(const Replay& replay, std::int32_t frame_count, std::int32_t* out,
                  MakeVoice make_voice, Read read) {
    decltype(make_voice(replay.channels[0])) voices[max_voices];
    std::int32_t voice_count = 0;
    bool first = true;
    const auto flush = [&] {
        mix_voices<overrun>(voices, voice_count, frame_count, first, out, read);
        voice_count = 0;
        first = false;
    };
    for (std::int32_t c = 0; c < replay.voice_count; ++c) {
        const Channel& channel = replay.channels[c];
        // A channel ramping down to silence still sounds on its way.
        if (channel.amplitude <= 0 && channel.mixed_amplitude <= 0) continue;
        voices[voice_count++] = make_voice(channel);
        if (voice_count == max_voices) flush();
    }
    if (voice_count > 0 || first) flush();
}

// The fade lasts 512 / 48000 s where its 64 frames hold that (up to
// 131072 Hz); above, it takes all 64 frames.
inline void crossfade(std::int32_t* buffer, const std::int32_t* previous,
                      std::int32_t output_rate) {
    constexpr std::int32_t shortest_step = 256 / crossfade_frames;
    const std::int32_t weight_step =
        524288 / output_rate > shortest_step ? 524288 / output_rate : shortest_step;
    for (std::int32_t j = 0; j < crossfade_frames && j * weight_step < 256; ++j) {
        const std::int32_t weight = j * weight_step;
        for (int side = 0; side < 2; ++side) {
            std::int32_t& value = buffer[2 * j + side];
            value = (value * weight + previous[2 * j + side] * (256 - weight)) >> 8;
        }
    }
}

// Joins a tick of `frames` output frames, whose look-ahead follows them in
// the buffer, to the previous one: fades the previous tick's look-ahead into
// its start and keeps the new one.
inline void join_ticks(Replay* replay, std::int32_t* buffer, std::int32_t frames) {
    crossfade(buffer, replay->crossfade_buffer, replay->output_rate);
    std::memcpy(replay->crossfade_buffer, buffer + 2 * frames,
                sizeof(std::int32_t) * crossfade_values);
}

// Ends a tick: joins it to the previous one and advances the replay.
// Returns `frames`.
inline std::int32_t finish_tick(Replay* replay, std::int32_t* buffer, std::int32_t frames) {
    join_ticks(replay, buffer, frames);
    advance_tick(replay);
    return frames;
}

} // namespace tick_mix
