#include "player/instrument_change.h"

#include "player/effect_codes.h"
#include "player/effect_steps.h"
#include "player/volume_column.h"

namespace {

// A sample's volume, and its panning where it has one (unless only notes
// set the panning).
void take_sample_levels(Channel& channel, const Sample& sample) {
    channel.volume = sample.volume >= 64 ? 64 : sample.volume & 63;
    if (rules_of(*channel.replay->module).note_takes_instrument_panning) return;
    if (sample.panning > 0) channel.panning = (sample.panning - 1) & 255;
}

// Whether two samples play the same frames (instruments keep copies of the
// samples they share; a sustained sample has a released form).
bool same_frames(const Sample& one, const Sample& other) {
    return one.data == other.data || (one.released && one.released->data == other.data);
}

// The channel takes up `sample`; beside a tone slide, where the rules say so,
// another sample presses the key again and starts the fade again, and the
// same one under a released key plays its released form.
void switch_sample(Channel& channel, const Sample& sample) {
    const PlayRules& rules = rules_of(*channel.replay->module);
    const bool slide = note_slides(channel);
    const bool other = !same_frames(sample, *channel.sample);
    channel.sample = &sample;
    if (!slide) return;
    if (other && rules.slide_to_other_sample_presses_key) {
        channel.key_down = 1;
        channel.fade_level = 32768;
        channel.fading = 0;
    }
    if (channel.key_down == 0 && sample.released && rules.slide_on_released_key_keeps_released_loop)
        channel.sample = sample.released;
}

} // namespace

void restart_envelopes_keeping_release(Channel& channel) {
    channel.volume_envelope_tick = 0;
    channel.panning_envelope_tick = 0;
    channel.pitch_envelope_tick = 0;
    channel.fade_level = 32768;
}

void reset_playing_sample(Channel& channel) {
    take_sample_levels(channel, *channel.sample);
    if (channel.note.key <= highest_key) restart_envelopes(channel);
}

void take_over_note(Channel& channel, std::int32_t instrument_number) {
    const Instrument& instrument = channel.replay->module->instruments[instrument_number];
    const bool same = channel.instrument == &instrument;
    channel.instrument = &instrument;
    const Sample* sample = sample_for_key(instrument, channel.last_key);
    take_sample_levels(channel, *sample);
    if (channel.note.key == 0 && channel.period > 0 && sample->loop_length >= 2 &&
        !(same && rules_of(*channel.replay->module).lone_instrument_keeps_sample))
        channel.sample = sample;
    channel.start_offset = 0;
}

void take_missing_instrument(Channel& channel) {
    const Instrument& none = channel.replay->module->instruments[0];
    channel.instrument = &none;
    channel.sample = &none.samples[0];
    cut_note(channel);
}

void trigger_instrument(Channel& channel, std::int32_t instrument_number, std::int32_t key) {
    const Module& module = *channel.replay->module;
    const Instrument& instrument = module.instruments[instrument_number];
    channel.instrument = &instrument;
    const PlayRules& rules = rules_of(module);
    const bool keyed = key >= 1 && key <= highest_key;
    const std::int32_t no_key =
        rules.instrument_without_key_takes_last_keys_sample ? channel.last_key : 0;
    const Sample* sample = sample_for_key(instrument, keyed ? key : no_key);
    take_sample_levels(channel, *sample);
    // A sounding channel switches to a looped sample at once, even without a
    // key; where the rules say so, not beside a tone slide.
    const bool keeps = rules.tone_slide_keeps_sample && note_slides(channel);
    if (rules.lone_instrument_queues_sample) {
        // The Amiga plays the sample it has to its end before the new one.
        if (channel.period > 0 && sample != channel.sample) channel.queued_sample = sample;
    } else if (channel.period > 0 &&
               ((sample->loop_length >= 2 && !keeps) ||
                (rules.tone_slide_instrument_changes_sample && note_slides(channel)))) {
        switch_sample(channel, *sample);
    }
    channel.start_offset = 0;
    if (rules.tone_slide_keeps_envelopes && note_slides(channel)) return;
    if (!keyed && rules.instrument_without_key_keeps_release) {
        restart_envelopes_keeping_release(channel);
    } else {
        restart_envelopes(channel);
    }
}
