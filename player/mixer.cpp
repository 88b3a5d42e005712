// The channel mixer: renders a tick at twice the output rate, filters it down,
// crossfades it into the previous tick's look-ahead and advances the replay.
//
// Speed matters here (every tick of every channel passes through it). Each
// channel's sample values are read into a block in runs that cannot reach its
// loop end, so no frame is tested on its own (a value that several frames
// read in a row is stored over them at once); then up to four channels are
// scaled and summed eight frames at a time, with SSE2 where the compiler
// targets it (mix_kernels.h), and added to the buffer once. The arithmetic is
// exactly the per-frame loop's: every scaled value is the same
// (value * gain) >> 15, and the sums cannot overflow.
#include "player/mixer.h"
#include "player/mix_kernels.h"
#include "player/tick_mix.h"
#include <cstring>
#include <limits>

namespace {

using mix_kernels::Gains;
using tick_mix::block_frames;
using tick_mix::crossfade_frames;
namespace kernels = mix_kernels::native;

constexpr auto lookahead_frames = static_cast<std::int32_t>(mix_lookahead_frames);
static_assert(lookahead_frames == crossfade_frames + 1);

// Advance per rendered frame, in 1/32768 of a sample frame. frequency * 4096
// fits 32 bits only because the channel never goes above highest_frequency
// (its pitch clamps), and the step is largest at the lowest output rate.
constexpr std::int64_t most_frequency_units = std::int64_t{highest_frequency} * 4096;
static_assert(most_frequency_units <= std::numeric_limits<std::int32_t>::max());
constexpr std::int64_t largest_step = most_frequency_units / (lowest_output_rate >> 2);
std::int32_t frame_step(const Channel& channel, std::int32_t output_rate) {
    return (channel.frequency * 4096) / (output_rate >> 2);
}
// A run of reads moves an unsigned 32-bit fraction on by run * step from up
// to 32767: no run is longer than a block, and a block at the largest step
// still fits, so the fraction never wraps and every run ends where counted.
static_assert(block_frames * largest_step + 32767 <= std::numeric_limits<std::uint32_t>::max());

// A channel while its tick is rendered: where it reads and how loud.
struct Voice {
    const Sample* sample;
    std::int32_t position;
    std::int32_t fraction;
    std::int32_t step;
    Gains gains;
    // Frames left before the loop end is reached, or unknown_frames_to_end:
    // counted down across blocks so that it is divided out once per pass.
    std::int64_t frames_to_end;
};

constexpr std::int64_t unknown_frames_to_end = -1;

// The sample value at a position given as whole frames in `frames` plus a
// 15-bit fraction in `at`'s low bits.
template <bool interpolate>
inline std::int16_t value_at(const std::int16_t* frames, std::uint32_t at) {
    const std::int16_t* frame = frames + (at >> 15);
    if constexpr (interpolate) {
        const auto weight = static_cast<std::int32_t>(at & 32767);
        return static_cast<std::int16_t>(frame[0] + (((frame[1] - frame[0]) * weight) >> 15));
    } else {
        return frame[0];
    }
}

// Reads `count` frames' sample values, starting `fraction` into frame 0 of
// `frames` and moving on by `step`; returns the final fraction (not masked).
// Four frames a round, each position counted from the round's start, so that
// the reads do not wait on one another.
template <bool interpolate>
std::uint32_t read_run(const std::int16_t* frames, std::uint32_t fraction, std::int32_t step,
                       std::int32_t count, std::int16_t* values) {
    const auto step1 = static_cast<std::uint32_t>(step);
    const std::uint32_t step2 = step1 * 2;
    const std::uint32_t step3 = step1 * 3;
    std::int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        values[i] = value_at<interpolate>(frames, fraction);
        values[i + 1] = value_at<interpolate>(frames, fraction + step1);
        values[i + 2] = value_at<interpolate>(frames, fraction + step2);
        values[i + 3] = value_at<interpolate>(frames, fraction + step3);
        fraction += step1 * 4;
    }
    for (; i < count; ++i) {
        values[i] = value_at<interpolate>(frames, fraction);
        fraction += step1;
    }
    return fraction;
}

// Steps for which fill_repeats beats reading frame by frame: every sample
// value lasts at least eight frames, and at most 65, so nine stores cover one.
constexpr std::int32_t fill_lowest_step = 512;
constexpr std::int32_t fill_highest_step = 4095;
// Values that fill_repeats may write past the end of its frames.
constexpr std::int32_t fill_overrun = 72;

// read_run<false> for steps from fill_lowest_step to fill_highest_step, where
// consecutive frames read the same value or the next one: each value is
// stored, eight at a time, over at least all the frames that read it, and the
// next value overwrites what went too far (so up to fill_overrun values past
// `count` are written too). How many frames read each value is counted
// without division or branches (Bresenham): with 32768 = whole * step + rest,
// a value lasts `whole` frames, or one more while the overshoot of its first
// frame past its position is below `rest`.
std::uint32_t fill_repeats(const std::int16_t* frames, std::uint32_t fraction, std::int32_t step,
                           std::int32_t count, std::int16_t* values) {
    const auto unit_step = static_cast<std::uint32_t>(step);
    const std::uint32_t whole = 32768 / unit_step;
    const std::uint32_t rest = 32768 % unit_step;
    const std::uint32_t stores = (whole + 8) / 8;
    // The first value lasts until the position first reaches the next frame.
    std::uint32_t length = (32768 - fraction + unit_step - 1) / unit_step;
    std::uint32_t overshoot = fraction + length * unit_step - 32768;
    for (std::uint32_t done = 0; done < static_cast<std::uint32_t>(count); ++frames) {
        std::uint32_t i = 0;
        do { // stores is at least 1
            kernels::store_eight(values + done + 8 * i, *frames);
        } while (++i < stores);
        done += length;
        const std::uint32_t longer = overshoot < rest ? 1 : 0;
        length = whole + longer;
        overshoot = overshoot - rest + (unit_step & (0 - longer));
    }
    return fraction + static_cast<std::uint32_t>(count) * unit_step;
}

// Reads the voice's next `count` sample values, in runs that cannot reach the
// loop end, so no run tests frame by frame. After the end of a sample without
// a loop the values are 0. Returns false when the voice had already ended.
template <bool interpolate>
bool read_voice(Voice& voice, std::int32_t count, std::int16_t* values) {
    const Sample& sample = *voice.sample;
    const std::int32_t loop_end = sample.loop_start + sample.loop_length;
    std::int32_t done = 0;
    while (done < count) {
        if (voice.position >= loop_end) {
            if (sample.loop_length < 2) {
                std::memset(values + done, 0, sizeof(std::int16_t) * (count - done));
                return done > 0;
            }
            voice.position =
                sample.loop_start + (voice.position - sample.loop_start) % sample.loop_length;
            voice.frames_to_end = unknown_frames_to_end;
        }
        std::int32_t run = count - done;
        if (voice.step > 0) {
            if (voice.frames_to_end == unknown_frames_to_end) {
                const std::int64_t room =
                    (std::int64_t{loop_end - voice.position} << 15) - voice.fraction;
                voice.frames_to_end = (room + voice.step - 1) / voice.step;
            }
            if (voice.frames_to_end < run) run = static_cast<std::int32_t>(voice.frames_to_end);
            voice.frames_to_end -= run;
        }
        const std::int16_t* frames = sample.data + voice.position;
        const auto fraction = static_cast<std::uint32_t>(voice.fraction);
        const bool fill =
            !interpolate && voice.step >= fill_lowest_step && voice.step <= fill_highest_step;
        const std::uint32_t moved =
            fill ? fill_repeats(frames, fraction, voice.step, run, values + done)
                 : read_run<interpolate>(frames, fraction, voice.step, run, values + done);
        voice.position += static_cast<std::int32_t>(moved >> 15);
        voice.fraction = static_cast<std::int32_t>(moved & 32767);
        done += run;
    }
    return true;
}

// Moves the channel on by the tick's output frames, wrapping into its loop or
// parking at the end of a sample without one.
void advance_position(Channel& channel, std::int32_t step, std::int32_t rendered_frames) {
    const Sample& sample = *channel.sample;
    const std::int32_t moved = step * rendered_frames + channel.fraction;
    channel.position = tick_mix::settled_position(sample, channel.position + (moved >> 15));
    channel.fraction = moved & 32767;
}

} // namespace

std::int32_t mix_tick(Replay* replay, std::int32_t* int_mix_buffer) {
    const std::int32_t frames = tick_mix::frames_per_tick(*replay);
    const std::int32_t rendered = (frames + lookahead_frames) * 2;
    const auto make_voice = [replay](const Channel& channel) {
        return Voice{channel.sample,
                     channel.position,
                     channel.fraction,
                     frame_step(channel, replay->output_rate),
                     tick_mix::channel_gains(channel),
                     unknown_frames_to_end};
    };
    // The show's own song plays without interpolation.
    if (plays_other_trackers && replay->interpolate) {
        tick_mix::mix_channels<fill_overrun>(*replay, rendered, int_mix_buffer, make_voice,
                                             read_voice<true>);
    } else {
        tick_mix::mix_channels<fill_overrun>(*replay, rendered, int_mix_buffer, make_voice,
                                             read_voice<false>);
    }
    for (std::int32_t c = 0; c < replay->voice_count; ++c) {
        Channel& channel = replay->channels[c];
        advance_position(channel, frame_step(channel, replay->output_rate), 2 * frames);
    }
    kernels::downsample(int_mix_buffer, frames + crossfade_frames);
    return tick_mix::finish_tick(replay, int_mix_buffer, frames);
}

void copy_saturated(const std::int32_t* from, std::int16_t* to, std::size_t count) {
    kernels::copy_saturated(from, to, count);
}
