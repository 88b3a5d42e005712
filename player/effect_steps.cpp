// The steps that effects share: pitch and tone slides, volume slides, the
// oscillators' values, retriggers, tremor, arpeggio and note cuts.
#include "player/effect_steps.h"
#include "player/effect_codes.h"
#include "player/lfo.h"
#include "player/pitch.h"
#include <algorithm>
#include <cstdlib>

namespace {

// Where the rules keep slides inside the Amiga's note table.
void limit_to_amiga_range(Channel& channel) {
    if (rules_of(channel).amiga_limits_fixed) {
        channel.period = std::clamp(channel.period, 452, 3424);
        return;
    }
    if (!rules_of(channel).amiga_limits_by_fine_tune) return;
    const PeriodRange range =
        amiga_period_range(*channel.replay->module, channel.sample->fine_tune);
    channel.period = std::clamp(channel.period, range.highest_pitch, range.lowest_pitch);
}

std::int32_t retriggered_volume(std::int32_t volume, std::int32_t mode) {
    switch (mode) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
        return volume - (1 << (mode - 1));
    case 6:
        return volume * 2 / 3;
    case 7:
        return volume / 2;
    case 9:
    case 10:
    case 11:
    case 12:
    case 13:
        return volume + (1 << (mode - 9));
    case 14:
        return volume * 3 / 2;
    case 15:
        return volume * 2;
    default:
        return volume;
    }
}

// ProTracker's arpeggio reads its notes from the note table (so a note past
// its end plays period 0, or one of the next fine tune's): the offset to the
// base period, not a semitone scale.
void arpeggio_from_table(Channel& channel, std::int32_t semitones) {
    const std::int32_t period = amiga_table_step(*channel.replay->module, channel.sample->fine_tune,
                                                 channel.period, semitones);
    channel.period_offset = period - channel.period;
}

} // namespace

// Silences the note: its volume goes to 0 (unless the rules keep it for the
// next note), and where the rules say so the note stops, so that nothing but
// a new note brings it back.
void cut_note(Channel& channel) {
    if (!rules_of(channel).note_cut_keeps_volume) channel.volume = 0;
    if (rules_of(channel).note_cut_stops_note) channel.key_down = 0;
    // A released key leaves such a note sounding; the spent fade stops it.
    if (rules_of(channel).fade_starts_at_release_or_envelope_end) channel.fade_level = 0;
}

// E9x where the rules count ticks from the row's start: every multiple of
// the parameter restarts the note from where its notes start, the first
// tick too when the row has no note; E90 nothing, or where the rules say
// so, one restart on the first tick.
void retrigger_on_multiples(Channel& channel, std::int32_t param) {
    if (param == 0) {
        if (rules_of(channel).retrigger_zero_once && on_first_tick(channel)) {
            restart_voice(channel, channel.start_offset);
        }
        return;
    }
    if (channel.tick_in_row % param != 0) return;
    if (on_first_tick(channel) &&
        (channel.note.key != 0 || rules_of(channel).retrigger_never_on_first_tick))
        return;
    // A restart takes up a sample waiting for the playing one's end.
    if (channel.queued_sample) {
        channel.sample = channel.queued_sample;
        channel.queued_sample = nullptr;
    }
    restart_voice(channel, channel.start_offset);
}

void advance_tremolo(Channel& channel) {
    channel.tremolo_position = grow_counter(channel.tremolo_position, channel.tremolo_step);
}

// Signed nibble difference hi - lo, the step of the XM global and panning slides.
std::int32_t nibble_slide(const Channel& channel, std::int32_t q) {
    if (rules_of(channel).volume_slide_up_first) return (q >> 4) > 0 ? q >> 4 : -(q & 15);
    return (q >> 4) - (q & 15);
}

void arpeggio_around_note(Channel& channel) {
    if (rules_of(channel).arpeggio_note_kept_for_slides && channel.target_period > 0)
        channel.period_offset = channel.target_period - channel.period;
}

void arpeggio_tick(Channel& channel) {
    const std::int32_t memory = channel.arpeggio_memory;
    const bool from_table = rules_of(channel).arpeggio_in_note_table;
    arpeggio_around_note(channel);
    if (rules_of(channel).arpeggio_counts_down_from_speed) {
        // FastTracker 2 counts a row's ticks down from its speed: the note,
        // x and y follow each other backwards from the row's end.
        const std::int32_t speed = std::max(channel.replay->ticks_per_row, 1);
        const std::int32_t tick = channel.tick_in_row % speed;
        const std::int32_t step = tick == 0 ? 0 : (speed - tick) % 3;
        channel.semitone_offset = step == 0 ? 0 : step == 1 ? memory >> 4 : memory & 15;
        return;
    }
    switch (channel.tick_in_row) {
    case 1:
        if (from_table) {
            arpeggio_from_table(channel, memory >> 4);
        } else {
            channel.semitone_offset = memory >> 4;
        }
        break;
    case 2:
        if (from_table) {
            arpeggio_from_table(channel, memory & 15);
        } else {
            channel.semitone_offset = memory & 15;
        }
        break;
    default:
        // Every third tick plays the note itself and starts the cycle again.
        channel.tick_in_row = 0;
        channel.semitone_offset = 0;
        break;
    }
}

void advance_vibrato(Channel& channel) {
    channel.vibrato_position = grow_counter(channel.vibrato_position, channel.vibrato_step);
}

void pitch_slide_up(Channel& channel, std::int32_t q) {
    if (q & coarse_slide) {
        if (!on_first_tick(channel)) channel.period -= (q & 255) * 4;
    } else if (q >= 0xF0) {
        if (on_first_tick(channel)) channel.period -= (q & 15) * 4;
    } else if (q >= 0xE0) {
        if (on_first_tick(channel)) channel.period -= q & 15;
    } else if (!on_first_tick(channel)) {
        channel.period -= q * 4;
    }
    if (channel.period < 0) channel.period = 0;
    // Scream Tracker stops a note whose slide reaches period 0.
    if (channel.period == 0 && rules_of(channel).period_limits_of_scream_tracker)
        channel.key_down = 0;
    limit_to_amiga_range(channel);
}

void pitch_slide_down(Channel& channel, std::int32_t q) {
    if (channel.period <= 0) return;
    if (q & coarse_slide) {
        if (!on_first_tick(channel)) channel.period += (q & 255) * 4;
    } else if (q >= 0xF0) {
        if (on_first_tick(channel)) channel.period += (q & 15) * 4;
    } else if (q >= 0xE0) {
        if (on_first_tick(channel)) channel.period += q & 15;
    } else if (!on_first_tick(channel)) {
        channel.period += q * 4;
    }
    const PlayRules& rules = rules_of(channel);
    const std::int32_t lowest = rules.period_ceiling                    ? 32767
                                : rules.period_limits_of_scream_tracker ? unlimited_period
                                                                        : 65535;
    if (channel.period > lowest) channel.period = lowest;
    limit_to_amiga_range(channel);
}

void tone_slide(Channel& channel) {
    if (channel.period <= 0) return;
    const bool cleared = rules_of(channel).tone_slide_target_cleared_when_reached;
    if (cleared && channel.target_period == 0) return;
    const std::int32_t speed = channel.tone_slide_speed * 4;
    // FastTracker 2 keeps the direction it set out in; one that rose to its
    // target turns down, so a slide that finds itself past it jumps there.
    const bool kept = rules_of(channel).tone_slide_keeps_direction && channel.slide_direction != 0;
    const bool down = kept ? channel.slide_direction > 0 : channel.period < channel.target_period;
    if (down) {
        channel.period = std::min(channel.period + speed, channel.target_period);
    } else {
        channel.period = std::max(channel.period - speed, channel.target_period);
        if (kept && channel.period == channel.target_period) channel.slide_direction = 1;
    }
    if (cleared && channel.period == channel.target_period) channel.target_period = 0;
}

void slide_volume(Channel& channel) {
    std::int32_t up = channel.volume_slide_memory >> 4;
    const std::int32_t down = channel.volume_slide_memory & 15;
    if (rules_of(channel).volume_slide_down_first && down > 0 && down < 15 && up < 15) up = 0;
    if (rules_of(channel).volume_slide_up_first) {
        if (!on_first_tick(channel)) channel.volume += up > 0 ? up : -down;
    } else if (up > 0 && down == 15) {
        if (on_first_tick(channel)) channel.volume += up;
    } else if (up == 15 && down > 0) {
        if (on_first_tick(channel)) channel.volume -= down;
    } else if (!on_first_tick(channel) || channel.replay->module->volume_slide_on_first_tick ||
               (rules_of(channel).full_volume_slides_every_tick && up + down == 15)) {
        channel.volume += up - down;
    }
    channel.volume = std::clamp(channel.volume, 0, 64);
}

void set_vibrato_value(Channel& channel, std::int32_t shift) {
    const PlayRules& rules = rules_of(channel);
    std::int32_t value = lfo_value(channel, channel.vibrato_position, channel.vibrato_shape & 3) *
                             channel.vibrato_amount >>
                         (rules.vibrato_every_tick_at_half_depth ? shift + 1 : shift);
    if (rules.vibrato_rises_first) value = -value;
    channel.period_offset = rules.vibrato_columns_add ? channel.period_offset + value : value;
}

void vibrato_row(Channel& channel, std::int32_t shift) {
    if (rules_of(channel).vibrato_every_tick_at_half_depth) {
        vibrato_tick(channel, shift);
    } else if (!rules_of(channel).vibrato_skips_first_tick) {
        set_vibrato_value(channel, shift);
    }
}

std::int32_t& pitch_slide_memory(Channel& channel, bool down) {
    const bool own = down && !rules_of(channel).pitch_slides_share_memory;
    return own ? channel.slide_down_memory : channel.slide_up_memory;
}

void remember_pitch_slide(Channel& channel, bool down, std::int32_t q) {
    if (q == 0) return;
    pitch_slide_memory(channel, down) = q;
    if (rules_of(channel).tone_slide_shares_pitch_memory) channel.tone_slide_speed = q;
}

void remember_tone_slide(Channel& channel, std::int32_t q) {
    if (q == 0) return;
    channel.tone_slide_speed = q;
    if (!rules_of(channel).tone_slide_shares_pitch_memory) return;
    pitch_slide_memory(channel, true) = q;
    pitch_slide_memory(channel, false) = q;
}

void vibrato_tick(Channel& channel, std::int32_t shift) {
    if (rules_of(channel).vibrato_skips_first_tick) {
        set_vibrato_value(channel, shift);
        advance_vibrato(channel);
    } else {
        advance_vibrato(channel);
        set_vibrato_value(channel, shift);
    }
}

void set_tremolo_value(Channel& channel) {
    const std::int32_t phase = channel.tremolo_position;
    std::int32_t value = lfo_value(channel, phase, channel.tremolo_shape & 3);
    // FastTracker 2's falling tremolo is its vibrato's ramp: the size from
    // the vibrato's phase (whose half flips it), the sign from its own half.
    if ((channel.tremolo_shape & 3) == 1 && rules_of(channel).tremolo_ramp_follows_vibrato) {
        const std::int32_t ramp = (phase & 31) | (channel.vibrato_position & 32);
        value = std::abs(lfo_value(channel, ramp, 1));
        if ((phase & 32) != 0) value = -value;
    }
    channel.volume_offset = value * channel.tremolo_amount >> 6;
}

void count_retrigger(Channel& channel) {
    if (++channel.retrigger_count < channel.retrigger_interval) return;
    channel.retrigger_count = 0;
    restart_voice(channel, 0);
    channel.volume =
        std::clamp(retriggered_volume(channel.volume, channel.retrigger_volume_mode), 0, 64);
}

void count_tremor(Channel& channel) {
    // Bit 7 says the note sounds; the rest counts the phase's ticks down,
    // each phase one tick longer than its nibble.
    std::int32_t sounds = channel.tremor_state & 0x80;
    std::int32_t left = (channel.tremor_state & 0x7F) - 1;
    if (left < 0) {
        sounds ^= 0x80;
        left = sounds != 0 ? channel.tremor_audible_ticks : channel.tremor_silent_ticks;
    }
    channel.tremor_state = sounds | left;
    channel.volume_offset = sounds != 0 ? 0 : -64;
}

// FastTracker 2's tremolo and tremor change the volume it plays, not the
// channel's own: what they last played stays until something sets a volume.
std::int32_t lasting_volume_offset(const Channel& channel) {
    if (!rules_of(*channel.replay->module).tremolo_and_tremor_volume_lasts) return 0;
    const Note& note = channel.note;
    const bool volume_column = note.volume >= 0x10 && note.volume < 0xA0;
    const bool volume_effect =
        note.effect == effect::volume_slide || note.effect == effect::set_volume ||
        note.effect == effect::fine_volume_up || note.effect == effect::fine_volume_down ||
        note.effect == effect::tone_slide_volume_slide ||
        note.effect == effect::vibrato_volume_slide;
    if (note.instrument != 0 || volume_column || volume_effect) return 0;
    return channel.volume_offset;
}

void retrigger_note(Channel& channel) {
    // The sample starts again, unless the rules leave a played-out one; an FM
    // note sounds on, as Scream Tracker's Qxy leaves its AdLib notes.
    if (!(rules_of(channel).retrigger_skips_played_out_note && sample_played_out(channel))) {
        channel.position = 0;
        channel.fraction = 0;
    }
    channel.volume =
        std::clamp(retriggered_volume(channel.volume, channel.retrigger_volume_mode), 0, 64);
}

void multi_retrigger(Channel& channel) {
    if (channel.ticks_since_trigger < channel.retrigger_interval) return;
    channel.ticks_since_trigger = 0;
    retrigger_note(channel);
}

void tremor_step(Channel& channel) {
    if (channel.ticks_since_trigger < channel.tremor_audible_ticks) return;
    channel.volume_offset = -64;
    if (channel.ticks_since_trigger >= channel.tremor_audible_ticks + channel.tremor_silent_ticks) {
        channel.ticks_since_trigger = 0;
        channel.volume_offset = 0;
    }
}
