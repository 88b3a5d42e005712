#include "player/channel_filter.h"
#include "player/envelope.h"
#include "player/midi_macros.h"
#include "player/resonant_filter.h"
#include <algorithm>

namespace {

constexpr std::uint8_t filter_set = 128;
constexpr std::int32_t no_envelope = 256;

} // namespace

void start_note_filter(Channel& channel) {
    const Instrument& instrument = *channel.instrument;
    if ((instrument.initial_cutoff & filter_set) != 0)
        channel.filter_cutoff = instrument.initial_cutoff & 127;
    if ((instrument.initial_resonance & filter_set) != 0)
        channel.filter_resonance = instrument.initial_resonance & 127;
    channel.filter_history = FilterHistory{};
}

void run_midi_macro(Channel& channel, std::int32_t param) {
    const Module& module = *channel.replay->module;
    if (!module.midi_macros) return;
    const std::int32_t index =
        param < 128 ? (channel.macro_slot & 15) : parametered_macros + param - 128;
    // v and u alike: the note's volume through the channel's, the song's, the
    // sample's and the instrument's global volumes (64 * 64 * 128 * 64 * 128
    // is 128 << 25), as openmpt123 renders both.
    const std::int64_t mixed = std::int64_t{channel.volume} * channel.channel_volume *
                               channel.replay->global_volume * channel.sample->global_volume *
                               channel.instrument->global_volume;
    const auto volume = static_cast<std::int32_t>(std::min<std::int64_t>(mixed >> 25, 127));
    const MacroValues values{param, volume, volume};
    const MacroFilter set =
        macro_filter(module.midi_macros + index * midi_macro_length, midi_macro_length, values);
    if (set.cutoff >= 0) channel.filter_cutoff = set.cutoff;
    if (set.resonance >= 0) channel.filter_resonance = set.resonance;
}

void update_filter(Channel& channel) {
    const Instrument& instrument = *channel.instrument;
    const bool enveloped = instrument.pitch_envelope_filters && instrument.pitch_envelope.active;
    // The envelope's 0..64 in 1/256 steps, as -256..256 around its middle.
    const std::int32_t envelope =
        enveloped ? (envelope_value_fine(instrument.pitch_envelope, channel.pitch_envelope_tick) -
                     32 * 256) /
                        32
                  : no_envelope;
    // At rest (the cutoff, scaled by the envelope, full and no resonance)
    // the filter keeps the coefficients it had; a note struck on this tick
    // (ticks_since_trigger is 0 only then) turns it off, also where a carried
    // envelope already stands at its top.
    if (channel.filter_cutoff * (envelope + 256) >= full_cutoff * 2 * no_envelope &&
        channel.filter_resonance == 0) {
        if (channel.ticks_since_trigger == 0) channel.filter_on = 0;
        return;
    }
    channel.filter_on = 1;
    const std::int32_t rate = channel.replay->output_rate;
    const std::int64_t key = std::int64_t{rate} << 32 | (envelope + 256) << 14 |
                             channel.filter_cutoff << 7 | channel.filter_resonance;
    if (key == channel.filter_computed_for) return;
    channel.filter_computed_for = key;
    channel.filter =
        filter_coefficients(channel.filter_cutoff, channel.filter_resonance, envelope, rate);
}
