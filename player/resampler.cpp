// The output-rate resampler. A voice reads a stream: the sample's frames, 0
// before frame 0 and after the end of a sample without a loop, the loop over
// and over after its end. Positions count along that stream (a looped voice
// is taken back by whole loops once all its taps are past the loop end), so
// a voice that has wrapped reads the loop's last frames before the loop's
// start. Each block of output frames is read in runs: where every tap of a
// run lies in the sample's data, straight from it; elsewhere (the sample's
// start and end, a loop's seam, a loop shorter than the taps) from a window
// of the stream copied aside. No frame is tested on its own, and both kinds
// of run give the same values.
#include "player/resampler.h"
#include "player/filter_kernel.h"
#include "player/fm_voices.h"
#include "player/mixer.h"
#include "player/resample_kernels.h"
#include "player/resample_tables.h"
#include "player/tick_mix.h"
#include <algorithm>
#include <cstring>

namespace {

using tick_mix::Gains;

enum class Kernel { nearest, linear, weighted };

// Frames of the stream copied aside at a time: at a step of 8 a window
// still serves 56 output frames of the widest table.
constexpr std::int32_t window_frames = 512;
static_assert(window_frames > 4 * most_taps);

struct Voice {
    const Sample* sample;
    const Sample* queued; // takes over at the sample's end, where the rules say so
    std::uint64_t at;     // 32.32 frames along the stream
    std::uint64_t step;   // 32.32 frames per output frame
    Gains gains;
    const WeightTable* table; // for Kernel::weighted
    std::int32_t before;      // the taps before the position
    std::int32_t after;       // and after it
    // The channel's resonant filter (null: none), its history, and where the
    // history stands at the tick's end, before the look-ahead, for the next
    // tick to go on from: the channel's own, `until_kept` values on.
    const FilterCoefficients* filter;
    FilterHistory history;
    FilterHistory* kept;
    std::int32_t until_kept;
    // The amplitude ramp over the tick, where the rules ask for one: the
    // gains are the peak's, and the values read are scaled from `ramp_from`
    // to `ramp_to` (in 1/65536 of the peak) over `ramp_frames`, of which
    // `ramp_done` are behind; none when ramp_frames is 0.
    std::int32_t ramp_from;
    std::int32_t ramp_to;
    std::int32_t ramp_frames;
    std::int32_t ramp_done;
};

// Frames per output frame in 32.32 fixed point: fine_frequency is at most
// about 2^27, so the step stays below 2^51.
std::uint64_t step_of(const Channel& channel, std::int32_t output_rate) {
    const std::int32_t fine = channel.fine_frequency > 0 ? channel.fine_frequency : 0;
    return (static_cast<std::uint64_t>(fine) << 24) / static_cast<std::uint64_t>(output_rate);
}

std::uint64_t position_of(const Channel& channel) {
    const auto fraction = (static_cast<std::uint32_t>(channel.fraction & 32767) << 17) |
                          static_cast<std::uint32_t>(channel.fraction_low & 0x1FFFF);
    return (static_cast<std::uint64_t>(channel.position) << 32) | fraction;
}

bool is_looped(const Sample& sample) {
    return sample.loop_length >= 2;
}

template <Kernel kernel>
Voice voice_of(const Channel& channel, Resampler resampler, std::int32_t output_rate) {
    const Sample& sample = *channel.sample;
    Voice voice{&sample,
                channel.queued_sample,
                position_of(channel),
                step_of(channel, output_rate),
                tick_mix::channel_gains(channel),
                nullptr,
                0,
                0,
                nullptr,
                {},
                nullptr,
                0,
                0,
                0,
                0,
                0};
    if constexpr (kernel == Kernel::linear) voice.after = 1;
    if constexpr (kernel == Kernel::weighted) {
        // The weighted read's half scale, made whole again.
        voice.gains.left *= 2;
        voice.gains.right *= 2;
        voice.table = resampler == Resampler::cubic ? &cubic_table() : &sinc_table(voice.step);
        voice.before = resample_kernels::taps_before(voice.table->taps);
        voice.after = voice.table->taps - 1 - voice.before;
    }
    // A voice in its loop has wrapped unless the channel code has just put
    // it there (always with a zero fraction): its taps before the loop
    // start then read the loop's end, one loop further along the stream.
    const std::int64_t whole = channel.position;
    const std::int64_t short_by = sample.loop_start - (whole - voice.before);
    if (is_looped(sample) && channel.fraction != 0 && whole >= sample.loop_start && short_by > 0) {
        const std::int64_t loops = (short_by + sample.loop_length - 1) / sample.loop_length;
        voice.at += static_cast<std::uint64_t>(loops * sample.loop_length) << 32;
    }
    return voice;
}

// Copies `count` frames of the sample's stream from frame `first` on. After
// a loop's end, once a whole number of loops has been copied, the copy
// doubles itself.
void copy_stream(const Sample& sample, std::int64_t first, std::int32_t count, std::int16_t* out) {
    const std::int64_t end = sample.loop_start + sample.loop_length;
    const std::int64_t loop_from = sample.loop_start - first > 0 ? sample.loop_start - first : 0;
    std::int32_t i = 0;
    while (i < count) {
        const std::int64_t frame = first + i;
        const std::int32_t left = count - i;
        const auto up_to = [left](std::int64_t frames) {
            return frames < left ? static_cast<std::int32_t>(frames) : left;
        };
        std::int32_t n = left;
        if (frame < 0) {
            n = up_to(-frame);
            std::memset(out + i, 0, sizeof(std::int16_t) * n);
        } else if (frame < end) {
            n = up_to(end - frame);
            std::memcpy(out + i, sample.data + frame, sizeof(std::int16_t) * n);
        } else if (!is_looped(sample)) {
            std::memset(out + i, 0, sizeof(std::int16_t) * n);
        } else if (i - loop_from >= sample.loop_length) {
            const std::int64_t span = (i - loop_from) / sample.loop_length * sample.loop_length;
            n = up_to(span);
            std::memcpy(out + i, out + i - span, sizeof(std::int16_t) * n);
        } else {
            const std::int64_t in_loop =
                sample.loop_start + (frame - sample.loop_start) % sample.loop_length;
            n = up_to(end - in_loop);
            std::memcpy(out + i, sample.data + in_loop, sizeof(std::int16_t) * n);
        }
        i += n;
    }
}

// How many of the next `most` output frames start before the frame `limit`
// (the first one does).
std::int32_t frames_before(const Voice& voice, std::int64_t limit, std::int32_t most) {
    if (voice.step == 0) return most;
    const std::uint64_t room = (static_cast<std::uint64_t>(limit) << 32) - voice.at;
    const std::uint64_t frames = (room + voice.step - 1) / voice.step;
    return frames < static_cast<std::uint64_t>(most) ? static_cast<std::int32_t>(frames) : most;
}

// The weighted read with the table's taps fixed at compile time.
template <std::int32_t... counts>
void read_weighted(const Voice& voice, const std::int16_t* frames, std::uint64_t at,
                   std::int32_t count, std::int16_t* values,
                   std::integer_sequence<std::int32_t, counts...>) {
    const WeightTable& table = *voice.table;
    static_cast<void>(
        ((table.taps == counts && (resample_kernels::native_weighted<counts>(
                                       frames, at, voice.step, count, table.weights, values),
                                   true)) ||
         ...));
}

template <Kernel kernel>
void read_run(const Voice& voice, const std::int16_t* frames, std::int32_t count,
              std::int16_t* values) {
    const std::uint64_t at = voice.at & 0xFFFFFFFFu;
    if constexpr (kernel == Kernel::nearest) {
        resample_kernels::nearest(frames, at, voice.step, count, values);
    } else if constexpr (kernel == Kernel::linear) {
        resample_kernels::linear(frames, at, voice.step, count, values);
    } else {
        read_weighted(voice, frames, at, count, values, TableTaps{});
    }
}

// The queued sample takes over `past` frames after the playing one's end:
// from its loop start, as the Amiga's next sample would.
void take_queued(Voice& voice, std::int64_t past) {
    voice.sample = voice.queued;
    voice.queued = nullptr;
    const std::int64_t start = voice.sample->loop_start;
    voice.at = (static_cast<std::uint64_t>(start + past) << 32) | (voice.at & 0xFFFFFFFF);
}

// Reads the voice's next `count` values; false when it had already ended.
template <Kernel kernel> bool read_voice(Voice& voice, std::int32_t count, std::int16_t* values) {
    const Sample& sample = *voice.sample;
    const bool looped = is_looped(sample);
    const std::int64_t end = sample.loop_start + sample.loop_length;
    // data[end] is the loop's first frame; without a loop, not always 0.
    const std::int64_t last_in_data = looped ? end : end - 1;
    std::int16_t window[window_frames];
    std::int32_t done = 0;
    while (done < count) {
        auto whole = static_cast<std::int64_t>(voice.at >> 32);
        if (voice.queued && whole - (looped ? voice.before : 0) >= end) {
            take_queued(voice, whole - end);
            return read_voice<kernel>(voice, count - done, values + done) || done > 0;
        }
        if (looped && whole - voice.before >= end) {
            const std::int64_t loops =
                (whole - voice.before - sample.loop_start) / sample.loop_length;
            voice.at -= static_cast<std::uint64_t>(loops * sample.loop_length) << 32;
            whole -= loops * sample.loop_length;
        } else if (!looped && whole >= end) {
            std::memset(values + done, 0, sizeof(std::int16_t) * (count - done));
            return done > 0;
        }
        const std::int64_t first = whole - voice.before;
        std::int32_t run = 0;
        if (first >= 0 && whole + voice.after <= last_in_data) {
            run = frames_before(voice, last_in_data - voice.after + 1, count - done);
            read_run<kernel>(voice, sample.data + whole, run, values + done);
        } else {
            copy_stream(sample, first, window_frames, window);
            const std::int64_t limit = first + window_frames - voice.after;
            run = frames_before(voice, looped || limit < end ? limit : end, count - done);
            read_run<kernel>(voice, window + voice.before, run, values + done);
        }
        voice.at += voice.step * static_cast<std::uint64_t>(run);
        done += run;
    }
    return true;
}

// Filters the values read, keeping the history where the tick ends.
void filter_voice(Voice& voice, std::int32_t count, std::int16_t* values) {
    if (voice.until_kept < 0 || voice.until_kept > count) {
        filter_kernel::filter_values(*voice.filter, voice.history, values, count);
        voice.until_kept -= count;
        return;
    }
    const std::int32_t first = voice.until_kept;
    filter_kernel::filter_values(*voice.filter, voice.history, values, first);
    *voice.kept = voice.history;
    filter_kernel::filter_values(*voice.filter, voice.history, values + first, count - first);
    voice.until_kept = -1;
}

// Scales the values read along the voice's amplitude ramp: frame n of the
// ramp at from + rise * n / frames (rounded towards zero), stepped on with
// a remainder so that only each call divides, not each frame.
void ramp_voice(Voice& voice, std::int32_t count, std::int16_t* values) {
    const std::int64_t frames = voice.ramp_frames;
    const std::int64_t rise = voice.ramp_to - voice.ramp_from;
    const std::int64_t size = rise < 0 ? -rise : rise;
    const std::int64_t step = size / frames, step_remainder = size % frames;
    std::int64_t done = std::min<std::int64_t>(voice.ramp_done, frames);
    std::int64_t risen = size * done / frames, remainder = size * done % frames;
    for (std::int32_t i = 0; i < count; ++i) {
        if (done < frames) {
            ++done;
            risen += step;
            remainder += step_remainder;
            if (remainder >= frames) ++risen, remainder -= frames;
        }
        const std::int64_t scale = voice.ramp_from + (rise < 0 ? -risen : risen);
        values[i] = static_cast<std::int16_t>(values[i] * scale >> 16);
    }
    voice.ramp_done += count;
}

template <Kernel kernel>
bool read_filtered_voice(Voice& voice, std::int32_t count, std::int16_t* values) {
    const bool sounds = read_voice<kernel>(voice, count, values);
    if (voice.filter) filter_voice(voice, count, values);
    if (voice.ramp_frames > 0) ramp_voice(voice, count, values);
    return sounds;
}

// Where the rules say so, a channel's amplitude ramps over the tick from
// where the last one ended, but on a row's first tick and for a note struck
// on this one; the gains become the peak's.
template <Kernel kernel>
void start_ramp(Voice& voice, const Channel& channel, std::int32_t frames) {
    const std::int32_t from = channel.mixed_amplitude, to = channel.amplitude;
    if (!rules_of(*channel.replay->module).amplitude_ramps_over_tick || from == to ||
        channel.ticks_since_trigger == 0 || channel.tick_in_row == 0 || frames <= 0)
        return;
    const std::int32_t peak = std::max(from, to);
    voice.gains = tick_mix::gains_at(channel, peak);
    if constexpr (kernel == Kernel::weighted) {
        voice.gains.left *= 2;
        voice.gains.right *= 2;
    }
    voice.ramp_from = static_cast<std::int32_t>((std::int64_t{from} << 16) / peak);
    voice.ramp_to = static_cast<std::int32_t>((std::int64_t{to} << 16) / peak);
    voice.ramp_frames = frames;
}

template <Kernel kernel>
void mix(const Replay& replay, std::int32_t frame_count, std::int32_t* out) {
    const auto make_voice = [&replay, frame_count](const Channel& channel) {
        Voice voice = voice_of<kernel>(channel, replay.resampler, replay.output_rate);
        if (channel.filter_on) {
            Channel& own = replay.channels[channel.index];
            voice.filter = &own.filter;
            voice.history = own.filter_history;
            voice.kept = &own.filter_history;
            voice.until_kept = frame_count - tick_mix::crossfade_frames;
        }
        start_ramp<kernel>(voice, channel, frame_count - tick_mix::crossfade_frames);
        return voice;
    };
    tick_mix::mix_channels<0>(replay, frame_count, out, make_voice, read_filtered_voice<kernel>);
}

// Moves the channel on by the tick's output frames, wrapping into its loop or
// parking at the end of a sample without one.
void advance_position(Channel& channel, std::int32_t output_rate, std::int32_t frames) {
    std::uint64_t at =
        position_of(channel) + step_of(channel, output_rate) * static_cast<std::uint64_t>(frames);
    const std::int64_t end = channel.sample->loop_start + channel.sample->loop_length;
    if (channel.queued_sample && static_cast<std::int64_t>(at >> 32) >= end) {
        const std::int64_t past = static_cast<std::int64_t>(at >> 32) - end;
        channel.sample = channel.queued_sample;
        channel.queued_sample = nullptr;
        at = (static_cast<std::uint64_t>(channel.sample->loop_start + past) << 32) |
             (at & 0xFFFFFFFF);
    }
    channel.position =
        tick_mix::settled_position(*channel.sample, static_cast<std::int64_t>(at >> 32));
    channel.fraction = static_cast<std::int32_t>((at >> 17) & 32767);
    channel.fraction_low = static_cast<std::int32_t>(at & 0x1FFFF);
}

} // namespace

std::int32_t resample_tick(Replay* replay, std::int32_t* buffer) {
    if (replay->resampler == Resampler::show) return mix_tick(replay, buffer);
    const std::int32_t frames = tick_mix::frames_per_tick(*replay);
    const std::int32_t rendered = frames + tick_mix::crossfade_frames;
    switch (replay->resampler) {
    case Resampler::nearest:
        mix<Kernel::nearest>(*replay, rendered, buffer);
        break;
    case Resampler::linear:
        mix<Kernel::linear>(*replay, rendered, buffer);
        break;
    default:
        mix<Kernel::weighted>(*replay, rendered, buffer);
        break;
    }
    const bool ramps = rules_of(*replay->module).amplitude_ramps_over_tick;
    for (std::int32_t c = 0; c < replay->voice_count; ++c) {
        Channel& channel = replay->channels[c];
        advance_position(channel, replay->output_rate, frames);
        if (ramps) channel.mixed_amplitude = channel.amplitude;
    }
    tick_mix::join_ticks(replay, buffer, frames);
    fm_voices_add_tick(*replay, buffer, frames);
    advance_tick(replay);
    return frames;
}
