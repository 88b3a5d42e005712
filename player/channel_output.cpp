// A channel's outputs for the mixer, at the end of every row and tick:
// auto-vibrato, the frequency from the period (with the arpeggio's and
// vibrato's offsets and the trackers' limits), the amplitude and balance.
#include "player/channel_output.h"

#include "player/channel_filter.h"
#include "player/effect_steps.h"
#include "player/envelope.h"
#include "player/fixed_point.h"
#include "player/lfo.h"
#include "player/pitch.h"
#include <algorithm>

namespace {

// The linear period of the note above B-7, the end of FastTracker 2's table.
constexpr std::int32_t highest_linear_note_period = 7680 - 96 * 64;
// The key whose linear period is 4608, played at the reference rate (as
// the other formats number keys; IT's C-5).
constexpr std::int32_t middle_c_key = 49;

// The pitch clamps keep the loaders' songs below highest_frequency (at most
// 8363 * 1712 / 28 = 511340 Hz, 522 * 2^21 >> 11 = 519 kHz linear); a
// hand-built reference rate could go beyond, and is held there.
std::int32_t to_frequency(std::int64_t hertz) {
    return hertz < highest_frequency ? static_cast<std::int32_t>(hertz) : highest_frequency;
}
std::int32_t to_fine_frequency(std::int64_t units) {
    constexpr std::int32_t highest = highest_frequency * 256 + 255;
    return units < highest ? static_cast<std::int32_t>(units) : highest;
}

// Raises the pitch by `steps` 1/64 semitones, on linear periods or Amiga ones.
void raise_pitch(Channel& channel, std::int32_t steps) {
    if (channel.replay->module->linear_pitch) {
        channel.period_offset -= steps;
        return;
    }
    const std::int64_t period = channel.period + channel.period_offset;
    const auto raised = static_cast<std::int32_t>(period * 32768 / fixed_exp2(steps * 128 / 3));
    channel.period_offset += raised - static_cast<std::int32_t>(period);
}

// Impulse Tracker's waveforms in lfo_value's shapes: sine, falling ramp,
// square, random.
constexpr std::int32_t sample_vibrato_shapes[4] = {4, 7, 5, 8};

void apply_sample_auto_vibrato(Channel& channel) {
    const Sample& sample = *channel.sample;
    if (sample.vibrato_speed == 0 || sample.vibrato_depth == 0) return;
    channel.auto_vibrato_sweep =
        std::min(channel.auto_vibrato_sweep + sample.vibrato_rate, sample.vibrato_depth * 256);
    const auto phase = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(channel.auto_vibrato_ticks) * sample.vibrato_speed >> 2);
    const std::int32_t wave =
        lfo_value(channel, phase, sample_vibrato_shapes[sample.vibrato_type & 3]);
    raise_pitch(channel, wave * (channel.auto_vibrato_sweep >> 8) >> 8);
    channel.auto_vibrato_ticks = grow_counter(channel.auto_vibrato_ticks, 1);
}

} // namespace

void update_outputs(Channel& channel) {
    if (plays_other_trackers) apply_auto_vibrato(channel);
    apply_pitch_envelope(channel);
    update_frequency(channel);
    update_amplitude(channel);
    if (plays_other_trackers) update_filter(channel);
    if (plays_other_trackers) advance_envelopes(channel);
}

void apply_auto_vibrato(Channel& channel) {
    if (rules_of(*channel.replay->module).sample_auto_vibrato) {
        apply_sample_auto_vibrato(channel);
        return;
    }
    const Instrument& instrument = *channel.instrument;
    std::int32_t depth = instrument.vibrato_depth & 127;
    if (depth == 0) return;
    const std::int32_t sweep = instrument.vibrato_sweep & 127;
    const std::int32_t rate = instrument.vibrato_rate & 127;
    const std::int32_t ticks = channel.auto_vibrato_ticks;
    if (ticks < sweep) depth = depth * ticks / sweep;
    // Only the phase's low six bits count, and those bits of the product are
    // the same whether or not it wraps.
    const auto phase = static_cast<std::int32_t>(
        static_cast<std::uint32_t>(ticks) * static_cast<std::uint32_t>(rate) >> 2);
    channel.period_offset += lfo_value(channel, phase, instrument.vibrato_type + 4) * depth >> 8;
    channel.auto_vibrato_ticks = grow_counter(ticks, 1);
}

void apply_pitch_envelope(Channel& channel) {
    const Instrument& instrument = *channel.instrument;
    const Envelope& envelope = instrument.pitch_envelope;
    if (!plays_other_trackers || !envelope.active || instrument.pitch_envelope_filters ||
        channel.pitch_envelope_paused)
        return;
    // Half semitones in 1/256 steps; 0 is the envelope's 32.
    const std::int32_t rise = envelope_value_fine(envelope, channel.pitch_envelope_tick) - 32 * 256;
    raise_pitch(channel, rise / 8);
}

void update_frequency(Channel& channel) {
    const Module& module = *channel.replay->module;
    std::int32_t period = channel.period + channel.period_offset;
    if (plays_other_trackers && module.linear_pitch) {
        period -= channel.semitone_offset * 64;
        // FastTracker 2's arpeggio goes no higher than its note table's end.
        if (channel.semitone_offset > 0 && rules_of(module).arpeggio_stops_at_table_end)
            period = std::max(period, highest_linear_note_period);
        // Out-of-range pitch in either direction plays the lowest pitch,
        // C-0's (IT's an octave lower).
        const std::int32_t lowest = 7680 + 64 * module.key_shift;
        if (period < 28 || period > lowest) period = lowest;
        const Sample& sample = *channel.sample;
        if (rules_of(module).exact_sample_rates && sample.middle_c > 0) {
            // The steps from the sample's own middle C, where it plays at its rate.
            const std::int32_t middle =
                note_period(module, sample, middle_c_key + module.key_shift, sample.fine_tune);
            const std::int32_t power = fixed_exp2(
                static_cast<std::int32_t>((std::int64_t{middle - period} * 32768) / 768));
            channel.frequency = to_frequency(std::int64_t{sample.middle_c} * power >> 15);
            channel.fine_frequency = to_fine_frequency(std::int64_t{sample.middle_c} * power >> 7);
            return;
        }
        // Period 28 is 5.96 octaves above period 4608: fixed_exp2 stays below
        // 2^21, so with the loaders' reference rates (8363 >> 4 = 522) the
        // product stays below 2^31; 64 bits keep any other rate exact.
        const auto exponent =
            static_cast<std::int32_t>((std::int64_t{4608 - period} * 32768) / 768);
        const std::int32_t power = fixed_exp2(exponent);
        channel.frequency = to_frequency(std::int64_t{module.reference_rate >> 4} * power >> 11);
        // The same with the whole reference rate, in 1/256 Hz.
        channel.fine_frequency =
            to_fine_frequency(std::int64_t{module.reference_rate} * power >> 7);
        return;
    }
    const bool scream_tracker = rules_of(module).period_limits_of_scream_tracker;
    const std::int32_t lowest = rules_of(module).period_ceiling ? highest_scream_tracker_period
                                : scream_tracker                ? unlimited_period
                                                                : 29021;
    if (period > lowest) period = lowest;
    period = static_cast<std::int32_t>(std::int64_t{period} * 32768 /
                                       fixed_exp2((channel.semitone_offset * 32768) / 12));
    if (scream_tracker) {
        period = std::max(period, 64);
    } else if (period < 28) {
        period = 29021;
    }
    channel.frequency = to_frequency(std::int64_t{module.reference_rate} * 1712 / period);
    channel.fine_frequency =
        to_fine_frequency(std::int64_t{module.reference_rate} * 1712 * 256 / period);
}

void update_amplitude(Channel& channel) {
    const Instrument& instrument = *channel.instrument;
    const Replay& replay = *channel.replay;
    // Without a volume envelope a key-off silences the note, or where the
    // rules say so has taken its volume.
    // The envelope in 1/256 steps, so that a quiet tail fades smoothly; whole
    // envelope values give exactly what they would alone.
    const PlayRules& rules = rules_of(*replay.module);
    std::int32_t envelope = channel.key_down || rules.key_off_zeroes_volume ||
                                    rules.fade_starts_at_release_or_envelope_end
                                ? 64 * 256
                                : 0;
    if (plays_other_trackers && instrument.volume_envelope.active &&
        !channel.volume_envelope_paused) {
        envelope = envelope_value_fine(instrument.volume_envelope, channel.volume_envelope_tick);
    }
    std::int32_t volume = std::clamp(channel.volume + channel.volume_offset, 0, 64);
    volume = (volume * replay.module->mix_gain * channel.fade_level * 4) >> 15;
    if (plays_other_trackers && replay.module->channel_volume)
        volume = volume * channel.channel_volume >> 6;
    std::int64_t level = std::int64_t{envelope} * replay.global_volume * volume;
    if (rules.sample_and_instrument_global_volumes)
        level = level * channel.sample->global_volume * instrument.global_volume *
                    (100 + channel.volume_swing) / 100 >>
                13;
    const std::int32_t global_shift = rules.global_volume_of_128 ? 21 : 20;
    channel.amplitude = static_cast<std::int32_t>(level >> global_shift);
    // An FM channel plays no samples: the chip (fm_voices.h) sounds its notes.
    if (plays_other_trackers && replay.module->channel_fm &&
        replay.module->channel_fm[channel.index] != 0)
        channel.amplitude = 0;

    std::int32_t pan_swing = 0;
    if (plays_other_trackers && instrument.panning_envelope.active &&
        !channel.panning_envelope_paused) {
        pan_swing = envelope_value(instrument.panning_envelope, channel.panning_envelope_tick) - 32;
    }
    // Panbrello swings the panning it starts from.
    const std::int32_t right = full_right(rules_of(*replay.module));
    const std::int32_t panning = std::clamp(channel.panning + channel.balance_offset, 0, right);
    const std::int32_t room = panning < 128 ? panning : right - panning;
    const std::int32_t balance = panning + (pan_swing * room >> 5);
    channel.balance = balance;
    if (plays_other_trackers && replay.module->pan_narrowing != 0)
        channel.balance = 128 + (balance - 128) * (128 - replay.module->pan_narrowing) / 128;
}
