#include "player/envelope.h"

namespace {

constexpr std::int32_t max_envelope_points = 16;
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
    // count above 16 as 16, and two points that do not rise in tick hold the
    // earlier point's value instead of dividing by zero.
    const std::int32_t count =
        envelope.point_count > max_envelope_points ? max_envelope_points : envelope.point_count;
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

} // namespace

std::int32_t envelope_value(const Envelope& envelope, std::int32_t tick) {
    return interpolate(envelope, tick, 1);
}

std::int32_t envelope_value_fine(const Envelope& envelope, std::int32_t tick) {
    return interpolate(envelope, tick, 256);
}

void advance_envelopes(Channel& channel) {
    const Instrument& instrument = *channel.instrument;
    if (!channel.key_down && (instrument.volume_envelope.active || channel.fading)) {
        const std::int32_t faded = channel.fade_level - instrument.fadeout;
        channel.fade_level = faded > 0 ? faded : 0;
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
    if (!rules_of(*channel.replay->module).key_off_zeroes_volume) return;
    if (!channel.instrument->volume_envelope.active && !keep_volume) channel.volume = 0;
    channel.fading = fade ? 1 : 0;
}
