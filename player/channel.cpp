// Per-channel processing: a row's note, a tick's frame, the note trigger, and
// the outputs (frequency, amplitude, balance) that the mixer reads.
#include "player/channel.h"
#include "player/channel_filter.h"
#include "player/channel_output.h"

#include "player/background_voices.h"
#include "player/effect_codes.h"
#include "player/effect_steps.h"
#include "player/effects.h"
#include "player/envelope.h"
#include "player/fixed_point.h"
#include "player/instrument_change.h"
#include "player/lfo.h"
#include "player/note_levels.h"
#include "player/pitch.h"
#include "player/volume_column.h"
#include <algorithm>

namespace {

// An instrument slot without a sample (or FM registers), where the rules
// pass over it.
bool ignored_instrument(const Channel& channel, std::int32_t number) {
    const Module& module = *channel.replay->module;
    if (!rules_of(module).empty_instruments_ignored) return false;
    const Instrument& instrument = module.instruments[number];
    const Sample& first = instrument.samples[0];
    return instrument.sample_count == 1 && first.loop_start + first.loop_length == 0 &&
           !first.is_fm;
}

constexpr bool is_note_delay(std::uint8_t effect) {
    return effect == effect::note_delay || effect == effect::s3m_note_delay;
}

// Impulse Tracker's own effects ignore an offset past the sample's end.
void take_offset_within_sample(Channel& channel) {
    const Sample& sample = *channel.sample;
    if (rules_of(*channel.replay->module).offset_past_end_ignored &&
        channel.start_offset >= sample.loop_start + sample.loop_length)
        channel.start_offset = 0;
}

void trigger_key(Channel& channel, std::int32_t key) {
    const Note& note = channel.note;
    channel.last_key = key;
    const PlayRules& rules = rules_of(*channel.replay->module);
    const bool slides = note_slides(channel);
    if (!slides) {
        channel.sample = sample_for_key(*channel.instrument, key);
        channel.queued_sample = nullptr;
    }
    std::int32_t fine_tune = channel.sample->fine_tune;
    if (note.effect == effect::fine_tune || note.effect == effect::s3m_fine_tune)
        fine_tune = ((note.param & 15) * 16) - 128;
    std::int32_t period = note_period(*channel.replay->module, *channel.sample,
                                      sounding_key(*channel.instrument, key), fine_tune);
    if (rules.period_ceiling) period = std::min(period, highest_scream_tracker_period);
    if (slides || !rules.tone_slide_target_from_slide_note) channel.target_period = period;
    if (slides) channel.slide_direction = channel.period < period ? 1 : -1;
    if (slides) return;
    channel.period = period;
    take_offset_within_sample(channel);
    if (plays_other_trackers) start_note_filter(channel);
    if (rules.note_restarts_envelopes) {
        restart_envelopes(channel);
    } else if (rules.key_reopens_stopped_note && channel.key_down == 0) {
        channel.key_down = 1;
        channel.fade_level = 32768;
    }
    restart_voice(channel, channel.start_offset);
    if (rules.note_takes_instrument_panning) pan_struck_note(channel, key);
    channel.new_note_action = channel.instrument->new_note_action;
    if (channel.vibrato_shape < 4) channel.vibrato_position = 0;
    if (channel.tremolo_shape < 4) channel.tremolo_position = 0;
    channel.ticks_since_trigger = 0;
    // State only other trackers' files use.
    if (plays_other_trackers) {
        channel.volume_envelope_paused = 0;
        channel.panning_envelope_paused = 0;
        channel.pitch_envelope_paused = 0;
        channel.cut_or_faded = 0;
        channel.auto_vibrato_ticks = 0;
        channel.auto_vibrato_sweep = 0;
    }
}

// Where the rules say so, a key that names no sample of its instrument.
bool names_no_sample(const Channel& channel) {
    const Note& note = channel.note;
    const Module& module = *channel.replay->module;
    if (!rules_of(module).keys_without_sample_ignored || note.key == 0 || note.key > highest_key)
        return false;
    const bool named = note.instrument != 0 && note.instrument <= module.instrument_count;
    const Sample& sample = *sample_for_key(
        named ? module.instruments[note.instrument] : *channel.instrument, note.key);
    return sample.loop_start + sample.loop_length == 0;
}

// A note delayed past its row never struck; where the rules say so, a next
// row without a note still takes up its pitch, without restarting the sample.
void take_delayed_pitch(Channel& channel) {
    const Note& waiting = channel.note;
    if (!rules_of(*channel.replay->module).note_delay_past_speed_sets_next_pitch) return;
    if (waiting.effect != effect::note_delay || waiting.param <= channel.tick_in_row) return;
    if (waiting.key == 0 || waiting.key > highest_key) return;
    channel.period =
        note_period(*channel.replay->module, *channel.sample,
                    sounding_key(*channel.instrument, waiting.key), channel.sample->fine_tune);
}

// A delayed note's instrument takes effect on the row's first tick; the
// delayed trigger then strikes the key alone.
void take_instrument_early(Channel& channel) {
    Note& note = channel.note;
    if (note.instrument == 0 || note.instrument > channel.replay->module->instrument_count) return;
    trigger_instrument(channel, note.instrument, note.key);
    note.instrument = 0;
}

// FastTracker 2 starts the envelopes and fade of the channel's instrument
// again for a delayed note without one, though volume and panning stay;
// then the volume column and the key (or key-off) act.
void trigger_delayed_note(Channel& channel) {
    const bool playing = channel.instrument != &channel.replay->module->instruments[0];
    if (rules_of(*channel.replay->module).note_delay_restarts_instrument && playing &&
        channel.note.instrument == 0) {
        restart_envelopes(channel);
    }
    trigger_note(channel);
}

// The effects whose parameter of 0 repeats the last one of any of them.
bool shares_memory(std::uint8_t effect) {
    switch (effect) {
    case effect::s3m_no_effect:
    case effect::s3m_volume_slide:
    case effect::s3m_slide_down:
    case effect::s3m_slide_up:
    case effect::s3m_tremor:
    case effect::arpeggio:
    case effect::s3m_vibrato_volume_slide:
    case effect::s3m_tone_slide_volume_slide:
    case effect::s3m_retrigger:
    case effect::s3m_tremolo:
    case effect::s3m_extended:
        return true;
    default:
        return false;
    }
}

// Where the rules say so, a pitch slide after an arpeggio starts from the
// arpeggio's last note: the semitones it added become the period's own.
void keep_arpeggio_note(Channel& channel) {
    if (!rules_of(*channel.replay->module).arpeggio_note_kept_for_slides) return;
    if (channel.note.effect != effect::arpeggio || channel.semitone_offset == 0) return;
    const std::int64_t period = channel.period + channel.period_offset;
    channel.period = static_cast<std::int32_t>(period * 32768 /
                                               fixed_exp2((channel.semitone_offset * 32768) / 12));
}

} // namespace

void apply_row_note(Channel& channel, Note note) {
    if (note.key == 0) take_delayed_pitch(channel);
    std::uint8_t effect = note.effect;
    std::uint8_t param = note.param;
    if (rules_of(*channel.replay->module).shared_effect_memory) {
        // Every parameter is remembered; only some effects recall it.
        if (param == 0 && shares_memory(effect))
            param = static_cast<std::uint8_t>(channel.shared_memory);
        if (param != 0) channel.shared_memory = param;
    }
    if (effect == effect::s3m_slide_up || effect == effect::s3m_slide_down)
        keep_arpeggio_note(channel);
    if (effect == effect::s3m_extended) {
        effect = effect::s3m_extended_base | (param >> 4);
        param &= 15;
    } else if (effect == effect::extended) {
        effect = effect::extended_base | (param >> 4);
        param &= 15;
    } else if (effect == 0 && param != 0) {
        effect = effect::arpeggio;
    }
    // FastTracker 2 strikes the last note again for a delay without one.
    const PlayRules& rules = rules_of(*channel.replay->module);
    if (rules.note_delay_repeats_last_note && effect == effect::note_delay && param != 0 &&
        note.key == 0) {
        note.key = static_cast<std::uint8_t>(channel.last_key);
    }
    channel.note = Note{note.key, note.instrument, note.volume, effect, param};
    if (names_no_sample(channel)) {
        const bool offset = effect == effect::sample_offset || effect == effect::s3m_sample_offset;
        channel.note = Note{0, 0, note.volume, offset ? effect::none : effect,
                            offset ? std::uint8_t{0} : param};
    }
    channel.ticks_since_trigger = grow_counter(channel.ticks_since_trigger, 1);
    channel.tick_in_row = 0;
    channel.semitone_offset = 0;
    channel.volume_offset = lasting_volume_offset(channel);
    channel.period_offset = 0;
    if (!(is_note_delay(effect) && param != 0)) {
        trigger_note(channel);
    } else if (rules_of(*channel.replay->module).instrument_before_note_delay) {
        take_instrument_early(channel);
    }
    apply_effect_row(channel);
    update_outputs(channel);
}

void repeat_row(Channel& channel) {
    channel.ticks_since_trigger = grow_counter(channel.ticks_since_trigger, 1);
    channel.tick_in_row = 0;
    channel.semitone_offset = 0;
    channel.volume_offset = lasting_volume_offset(channel);
    channel.period_offset = 0;
    apply_effect_row(channel);
    update_outputs(channel);
}

void apply_tick_effects(Channel& channel) {
    channel.period_offset = 0;
    channel.tick_in_row += 1;
    channel.ticks_since_trigger = grow_counter(channel.ticks_since_trigger, 1);
    const Note& note = channel.note;
    if (note.effect == effect::note_delay && channel.tick_in_row <= note.param) {
        // While the note waits, no effect tick actions run, and volume-column
        // ones only where the rules say so.
        const bool slides =
            rules_of(*channel.replay->module).note_delay_breaks_volume_column_slides;
        const bool struck = channel.tick_in_row == note.param;
        const bool with_instrument = note.instrument != 0;
        if (struck) trigger_delayed_note(channel);
        if (slides && !(struck && with_instrument)) apply_volume_column_tick(channel);
    } else {
        apply_volume_column_tick(channel);
        apply_effect_tick(channel);
        // S3M's delay lets the volume column act while the note waits.
        if (note.effect == effect::s3m_note_delay && channel.tick_in_row == note.param)
            trigger_note(channel);
        // Where the rules say so, each repetition of a delayed row strikes
        // the delayed note again, on its own tick.
        const std::int32_t speed = channel.replay->ticks_per_row;
        if (note.effect == effect::note_delay && note.param != 0 && speed > 0 &&
            channel.tick_in_row % speed == note.param &&
            rules_of(*channel.replay->module).note_delay_each_row_repetition) {
            trigger_delayed_note(channel);
        }
    }
    update_outputs(channel);
}

void trigger_note(Channel& channel) {
    const Note& note = channel.note;
    const PlayRules& rules = rules_of(*channel.replay->module);
    // FastTracker 2 releases the key first: an instrument beside it gives the
    // volume back, and so does the volume column.
    const bool released_first = note.key > highest_key && rules.key_off_zeroes_volume;
    if (released_first) release_key(channel, channel.tick_in_row == 0, false);
    // FastTracker 2's K00 ignores the note and instrument beside it.
    const bool wiped =
        rules.key_off_effect_on_its_tick && note.effect == effect::key_off && note.param == 0;
    if (rules.missing_instrument_stops_note &&
        note.instrument > channel.replay->module->instrument_count)
        take_missing_instrument(channel);
    const bool playing = channel.instrument != &channel.replay->module->instruments[0];
    // Impulse Tracker strikes an ended note again for an instrument number alone.
    if (rules.lone_instrument_takes_over_note && note.key == 0 && note.instrument != 0 && playing &&
        channel.fade_level == 0 && channel.last_key > 0 && !note_slides(channel) &&
        !(rules.cut_or_faded_note_stays_stopped && channel.cut_or_faded))
        channel.note.key = static_cast<std::uint8_t>(channel.last_key);
    const bool held = channel.key_down != 0 && channel.period > 0;
    const bool takes_instrument = note.instrument != 0 &&
                                  note.instrument <= channel.replay->module->instrument_count &&
                                  !ignored_instrument(channel, note.instrument) && !wiped;
    const Instrument& next = takes_instrument ? channel.replay->module->instruments[note.instrument]
                                              : *channel.instrument;
    const EnvelopePlace place = envelope_place(channel, next);
    if (rules.new_note_actions && note.key >= 1 && note.key <= highest_key && !note_slides(channel))
        hand_over_note(channel, next, *sample_for_key(next, note.key));
    if (takes_instrument) {
        // Before any instrument, a lone one is taken up as with a note.
        if (rules.lone_instrument_resets_playing_sample && playing &&
            (note.key == 0 || note.key > highest_key || note_slides(channel))) {
            reset_playing_sample(channel);
        } else if (rules.lone_instrument_takes_over_note && playing &&
                   (note.key == 0 || note.key > highest_key) && !note_slides(channel)) {
            take_over_note(channel, note.instrument);
            if (rules.lone_instrument_restarts_envelopes)
                restart_envelopes_keeping_release(channel);
        } else {
            trigger_instrument(channel, note.instrument, note.key);
        }
    }
    const bool offset =
        note.effect == effect::sample_offset || note.effect == effect::s3m_sample_offset;
    if (offset) {
        if (note.param != 0) channel.offset_memory = note.param;
        if (rules.offset_moves_sample_start) {
            channel.start_offset += channel.offset_memory * 256;
        } else {
            channel.start_offset = channel.high_offset * 65536 + channel.offset_memory * 256;
        }
    }
    // FastTracker 2's volume column slides nothing finely for a delayed note.
    const bool fine_slide = note.volume >= 0x80 && note.volume < 0xA0;
    const bool delayed = channel.tick_in_row > 0;
    if (!(fine_slide && delayed && rules.note_delay_breaks_volume_column_slides))
        apply_volume_column_row(channel);
    if (offset && note.key == 0 && note.instrument != 0 && held &&
        rules.offset_restarts_beside_lone_instrument) {
        take_offset_within_sample(channel);
        restart_voice(channel, channel.start_offset);
    }
    if (note.key == 0 || wiped) return;
    if (note.key > highest_key) {
        if (rules.note_cut_and_fade_keys && note.key == key_note_cut) {
            cut_note(channel);
            channel.cut_or_faded = 1;
        } else if (rules.note_cut_and_fade_keys && note.key == key_note_fade) {
            channel.fading = 1;
        } else if (!released_first) {
            release_key(channel, channel.tick_in_row == 0, false);
        }
        return;
    }
    trigger_key(channel, note.key);
    carry_envelopes(channel, place);
    // ProTracker adds the offset to the sample start a second time once the
    // note has started from it, so later notes start further on.
    if (offset && rules.offset_moves_sample_start)
        channel.start_offset += channel.offset_memory * 256;
}
