#include "player/envelope.h"
#include "player/effect_steps.h"

namespace {

// Envelope ticks beyond any point's tick (points are 16-bit) all read the same
// value, so the position may stop growing there instead of overflowing.
constexpr std::int32_t envelope_tick_limit = 1 << 30;

void advance_envelope_tick(const Envelope& envelope, std::int32_t key_down, std::int32_t& tick) {
    std::int32_t next = tick < envelope_tick_limit ? tick + 1 : tick;
    if (envelope.has_loop && next >= envelope.loop_to) next = envelope.loop_from;
    if (key_down && envelope.has_sustain && next > envelope.sustain_at) next = envelope.sustain_at;
    tick = next;
}

// The envelope at `tick` in 1/scale steps, truncated toward zero as the
// interpolation of whole values is.
std::int32_t interpolate(const Envelope& envelope, std::int32_t tick, std::int32_t scale) {
    // Only well-formed point lists are interpolated: no points reads as 0, a
    // count above the limit as the limit, and two points that do not rise in tick hold the
    // earlier point's value instead of dividing by zero.
    const std::int32_t count =
        envelope.point_count > envelope_point_limit ? envelope_point_limit : envelope.point_count;
    if (count < 1) return 0;
    const std::int16_t* ticks = envelope.point_ticks;
    const std::int16_t* values = envelope.point_values;
    if (tick >= ticks[count - 1]) return values[count - 1] * scale;
    std::int32_t i = 0;
    for (std::int32_t j = count - 1; j >= 1; --j) {
        if (ticks[j] <= tick) {
            i = j;
            break;
        }
    }
    const std::int64_t span = ticks[i + 1] - ticks[i];
    if (span <= 0) return values[i] * scale;
    const std::int64_t rise = values[i + 1] - values[i];
    return static_cast<std::int32_t>(values[i] * scale +
                                     (std::int64_t{tick} - ticks[i]) * rise * scale / span);
}

void fade_out(Channel& channel) {
    const std::int32_t faded = channel.fade_level - channel.instrument->fadeout;
    if (channel.fade_level > 0 && faded <= 0) channel.cut_or_faded = 1;
    channel.fade_level = faded > 0 ? faded : 0;
}

// Impulse Tracker's loops include their last point's tick; the sustain loop
// repeats while the key is down, and the plain loop only otherwise.
void advance_looping_tick(const Envelope& envelope, std::int32_t key_down, std::int32_t& tick) {
    std::int32_t next = tick < envelope_tick_limit ? tick + 1 : tick;
    if (key_down && envelope.has_sustain) {
        if (next > envelope.sustain_at) next = envelope.sustain_from;
    } else if (envelope.has_loop && next > envelope.loop_to) {
        next = envelope.loop_from;
    }
    tick = next;
}

// A volume envelope that no loop holds any more starts the fade at its end.
bool reached_end(const Envelope& envelope, std::int32_t key_down, std::int32_t tick) {
    if (envelope.has_loop || (key_down && envelope.has_sustain)) return false;
    return envelope.point_count > 0 && tick >= envelope.point_ticks[envelope.point_count - 1];
}

void advance_impulse_tracker_envelopes(Channel& channel) {
    const Instrument& instrument = *channel.instrument;
    const PlayRules& rules = rules_of(*channel.replay->module);
    const Envelope& volume = instrument.volume_envelope;
    // A paused envelope (S77, S79, S7B) neither moves nor ends.
    const bool volume_on = volume.active && !channel.volume_envelope_paused;
    if (volume_on && rules.fade_starts_at_release_or_envelope_end &&
        reached_end(volume, channel.key_down, channel.volume_envelope_tick)) {
        channel.fading = 1;
        // Ending at 0 ends the note, as a cut does.
        if (volume.point_values[volume.point_count - 1] == 0) channel.fade_level = 0;
    }
    if (channel.fading) fade_out(channel);
    if (volume_on) advance_looping_tick(volume, channel.key_down, channel.volume_envelope_tick);
    if (instrument.panning_envelope.active && !channel.panning_envelope_paused) {
        advance_looping_tick(instrument.panning_envelope, channel.key_down,
                             channel.panning_envelope_tick);
    }
    if (instrument.pitch_envelope.active && !channel.pitch_envelope_paused) {
        advance_looping_tick(instrument.pitch_envelope, channel.key_down,
                             channel.pitch_envelope_tick);
    }
}

// A sample with a sustain loop goes on in its released form from the frame
// it has come to; past the released loop's end, as far into the loop.
void release_sample(Channel& channel) {
    const Sample& held = *channel.sample;
    if (!plays_other_trackers || !held.released) return;
    std::int32_t position = channel.position;
    const std::int32_t frames = held.ping_pong_frames;
    if (frames > 0 && position >= held.loop_start) {
        const std::int32_t cycle = 2 * frames - held.ping_pong_start_once;
        const std::int32_t in_cycle = (position - held.loop_start) % cycle;
        position = held.loop_start + (in_cycle < frames ? in_cycle : 2 * frames - 1 - in_cycle);
    }
    const Sample& released = *held.released;
    const std::int32_t end = released.loop_start + released.loop_length;
    if (released.loop_length > 0 && position >= end)
        position = released.loop_start + (position - released.loop_start) % released.loop_length;
    channel.sample = &released;
    channel.position = position;
}

} // namespace

std::int32_t envelope_value(const Envelope& envelope, std::int32_t tick) {
    return interpolate(envelope, tick, 1);
}

std::int32_t envelope_value_fine(const Envelope& envelope, std::int32_t tick) {
    return interpolate(envelope, tick, 256);
}

void advance_envelopes(Channel& channel) {
    const Instrument& instrument = *channel.instrument;
    const PlayRules& rules = rules_of(*channel.replay->module);
    if (rules.envelope_loops_play_last_tick) {
        advance_impulse_tracker_envelopes(channel);
        return;
    }
    if (!channel.key_down && (instrument.volume_envelope.active || channel.fading)) {
        fade_out(channel);
    }
    if (instrument.volume_envelope.active) {
        advance_envelope_tick(instrument.volume_envelope, channel.key_down,
                              channel.volume_envelope_tick);
    }
    if (instrument.panning_envelope.active) {
        advance_envelope_tick(instrument.panning_envelope, channel.key_down,
                              channel.panning_envelope_tick);
    }
    if (instrument.pitch_envelope.active) {
        advance_envelope_tick(instrument.pitch_envelope, channel.key_down,
                              channel.pitch_envelope_tick);
    }
}

void release_key(Channel& channel, bool fade, bool keep_volume) {
    channel.key_down = 0;
    release_sample(channel);
    const PlayRules& rules = rules_of(*channel.replay->module);
    if (rules.fade_starts_at_release_or_envelope_end) {
        const Envelope& envelope = channel.instrument->volume_envelope;
        if (!envelope.active || envelope.has_loop) channel.fading = 1;
        return;
    }
    if (!rules.key_off_zeroes_volume) return;
    if (!channel.instrument->volume_envelope.active && !keep_volume) channel.volume = 0;
    channel.fading = fade ? 1 : 0;
}

EnvelopePlace envelope_place(const Channel& channel, const Instrument& next) {
    // A cut or ended note carries nothing on, nor, where the rules say so, a released one.
    const bool sounds = channel.period > 0 && channel.fade_level > 0 && !sample_played_out(channel);
    const bool released = channel.key_down == 0 &&
                          rules_of(*channel.replay->module).released_note_carries_no_envelope;
    const bool carries = plays_other_trackers && sounds && !released && channel.instrument == &next;
    return EnvelopePlace{carries ? &next : nullptr, channel.volume_envelope_tick,
                         channel.panning_envelope_tick, channel.pitch_envelope_tick};
}

void carry_envelopes(Channel& channel, const EnvelopePlace& place) {
    const Instrument* instrument = place.instrument;
    if (!plays_other_trackers || instrument != channel.instrument || !instrument) return;
    if (instrument->volume_envelope.carries) channel.volume_envelope_tick = place.volume_tick;
    if (instrument->panning_envelope.carries) channel.panning_envelope_tick = place.panning_tick;
    if (instrument->pitch_envelope.carries) channel.pitch_envelope_tick = place.pitch_tick;
}
