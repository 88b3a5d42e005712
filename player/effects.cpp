// What every effect code does on the row and on the ticks after it. The
// sequencer's own codes (jumps, breaks, speed, tempo, pattern loop and delay)
// are acted on by the sequencer and do nothing here; the note delay, which
// triggers the note, by the channel.
#include "player/effects.h"

#include "player/effect_codes.h"
#include "player/envelope.h"
#include "player/lfo.h"
#include "player/pitch.h"
#include <algorithm>

namespace {

// A parameter of 0 repeats the last one: non-zero values are remembered.
std::int32_t remember(std::int32_t& memory, std::int32_t param) {
    if (param != 0) memory = param;
    return memory;
}

// Two-nibble parameters keep each half separately: the high nibble counts only
// when the parameter is at least 16, the low one only when it is not 0.
void remember_nibbles(std::int32_t param, std::int32_t& high, std::int32_t& low) {
    if (param >= 16) high = param >> 4;
    if ((param & 15) != 0) low = param & 15;
}

bool on_first_tick(const Channel& channel) {
    return channel.tick_in_row == 0;
}

const PlayRules& rules_of(const Channel& channel) {
    return channel.replay->module->rules;
}

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

// A 1xx or 2xx parameter as pitch_slide_up and _down read it: coarse
// parameters go to them as their coarse counterpart, which slides on ticks
// by the same amount.
std::int32_t slide_parameter(const Channel& channel, std::int32_t& memory, std::int32_t param) {
    const std::int32_t q = remember(memory, param);
    return rules_of(channel).coarse_slide_parameters ? q | coarse_slide : q;
}

// Silences the note: its volume goes to 0, and where the rules say so the
// note stops, so that nothing but a new note brings it back.
void cut_note(Channel& channel) {
    channel.volume = 0;
    if (rules_of(channel).note_cut_stops_note) channel.key_down = 0;
}

// A fine effect's parameter: remembered where the rules give it a memory.
std::int32_t fine_parameter(const Channel& channel, std::int32_t& memory, std::int32_t param) {
    if (rules_of(channel).fine_effects_without_memory) return param;
    return remember(memory, param);
}

// E9x where the rules count ticks from the row's start: every multiple of
// the parameter restarts the note from where its notes start, the first
// tick too when the row has no note; E90 nothing, or where the rules say
// so, one restart on the first tick.
void retrigger_on_multiples(Channel& channel, std::int32_t param) {
    if (param == 0) {
        if (rules_of(channel).retrigger_zero_once && on_first_tick(channel)) {
            channel.position = channel.start_offset;
            channel.fraction = 0;
        }
        return;
    }
    if (channel.tick_in_row % param != 0) return;
    if (on_first_tick(channel) && channel.note.key != 0) return;
    // A restart takes up a sample waiting for the playing one's end.
    if (channel.queued_sample) {
        channel.sample = channel.queued_sample;
        channel.queued_sample = nullptr;
    }
    channel.position = channel.start_offset;
    channel.fraction = 0;
}

void advance_tremolo(Channel& channel) {
    channel.tremolo_position = grow_counter(channel.tremolo_position, channel.tremolo_step);
}

// Signed nibble difference hi - lo, the step of the XM global and panning slides.
std::int32_t nibble_slide(const Channel& channel, std::int32_t q) {
    if (rules_of(channel).volume_slide_up_first) return (q >> 4) > 0 ? q >> 4 : -(q & 15);
    return (q >> 4) - (q & 15);
}

// ProTracker's arpeggio reads its notes from the note table (so a note past
// its end plays period 0, or one of the next fine tune's): the offset to the
// base period, not a semitone scale.
void arpeggio_from_table(Channel& channel, std::int32_t semitones) {
    const std::int32_t period = amiga_table_step(*channel.replay->module, channel.sample->fine_tune,
                                                 channel.period, semitones);
    channel.period_offset = period - channel.period;
}

void arpeggio_tick(Channel& channel) {
    const std::int32_t memory = channel.arpeggio_memory;
    const bool from_table = rules_of(channel).arpeggio_in_note_table;
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

} // namespace

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
    if (channel.period < channel.target_period) {
        channel.period = std::min(channel.period + speed, channel.target_period);
    } else {
        channel.period = std::max(channel.period - speed, channel.target_period);
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
    channel.period_offset =
        lfo_value(channel, channel.vibrato_position, channel.vibrato_shape & 3) *
            channel.vibrato_amount >>
        shift;
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
    channel.volume_offset =
        lfo_value(channel, channel.tremolo_position, channel.tremolo_shape & 3) *
            channel.tremolo_amount >>
        6;
}

void multi_retrigger(Channel& channel) {
    if (channel.ticks_since_trigger < channel.retrigger_interval) return;
    channel.position = 0;
    channel.fraction = 0;
    channel.ticks_since_trigger = 0;
    channel.volume =
        std::clamp(retriggered_volume(channel.volume, channel.retrigger_volume_mode), 0, 64);
}

void tremor_step(Channel& channel) {
    if (channel.ticks_since_trigger < channel.tremor_audible_ticks) return;
    channel.volume_offset = -64;
    if (channel.ticks_since_trigger >= channel.tremor_audible_ticks + channel.tremor_silent_ticks) {
        channel.ticks_since_trigger = 0;
        channel.volume_offset = 0;
    }
}

void apply_effect_row(Channel& channel) {
    const std::int32_t p = channel.note.param;
    switch (channel.note.effect) {
    case effect::slide_up:
    case effect::s3m_slide_up:
        pitch_slide_up(channel, slide_parameter(channel, channel.slide_up_memory, p));
        break;
    case effect::slide_down:
    case effect::s3m_slide_down:
        pitch_slide_down(channel, slide_parameter(channel, channel.slide_down_memory, p));
        break;
    case effect::tone_slide:
    case effect::s3m_tone_slide:
        if (p != 0) channel.tone_slide_speed = p;
        break;
    case effect::vibrato:
    case effect::s3m_vibrato:
        remember_nibbles(p, channel.vibrato_step, channel.vibrato_amount);
        if (!rules_of(channel).vibrato_skips_first_tick) set_vibrato_value(channel, 5);
        break;
    case effect::tone_slide_volume_slide:
    case effect::volume_slide:
    case effect::s3m_volume_slide:
        remember(channel.volume_slide_memory, p);
        slide_volume(channel);
        break;
    case effect::s3m_tone_slide_volume_slide:
        remember(channel.volume_slide_memory, p);
        if (!rules_of(channel).combined_slides_skip_first_tick) slide_volume(channel);
        break;
    case effect::vibrato_volume_slide:
    case effect::s3m_vibrato_volume_slide:
        remember(channel.volume_slide_memory, p);
        if (!rules_of(channel).vibrato_skips_first_tick) set_vibrato_value(channel, 5);
        if (channel.note.effect == effect::vibrato_volume_slide ||
            !rules_of(channel).combined_slides_skip_first_tick) {
            slide_volume(channel);
        }
        break;
    case effect::tremolo:
    case effect::s3m_tremolo:
        remember_nibbles(p, channel.tremolo_step, channel.tremolo_amount);
        if (!rules_of(channel).vibrato_skips_first_tick) set_tremolo_value(channel);
        break;
    case effect::set_panning:
        channel.panning = p;
        break;
    case effect::set_volume:
        channel.volume = std::min(p, 64);
        break;
    case effect::set_global_volume:
    case effect::s3m_set_global_volume:
        channel.replay->global_volume = std::min(p, 64);
        break;
    case effect::global_volume_slide:
        remember(channel.global_slide_memory, p);
        break;
    case effect::key_off:
        // FastTracker 2's Kxx waits for tick xx; beside an instrument or a
        // volume, K00 fades instead of cutting.
        if (!rules_of(channel).key_off_effect_on_its_tick) {
            channel.key_down = 0;
        } else if (p == 0) {
            release_key(channel, true, channel.note.instrument != 0 || channel.note.volume != 0);
        }
        break;
    case effect::set_envelope_position:
        channel.volume_envelope_tick = p;
        channel.panning_envelope_tick = p;
        break;
    case effect::panning_slide:
        remember(channel.panning_slide_memory, p);
        break;
    case effect::multi_retrigger:
    case effect::s3m_retrigger:
        remember_nibbles(p, channel.retrigger_volume_mode, channel.retrigger_interval);
        multi_retrigger(channel);
        break;
    case effect::tremor:
    case effect::s3m_tremor:
        remember_nibbles(p, channel.tremor_audible_ticks, channel.tremor_silent_ticks);
        tremor_step(channel);
        break;
    case effect::extra_fine_slide: {
        const std::int32_t q = remember(channel.extra_fine_slide_memory, p);
        if ((q >> 4) == 1) pitch_slide_up(channel, 0xE0 + (q & 15));
        if ((q >> 4) == 2) pitch_slide_down(channel, 0xE0 + (q & 15));
        break;
    }
    case effect::fine_slide_up:
        pitch_slide_up(channel,
                       0xF0 + (fine_parameter(channel, channel.fine_slide_up_memory, p) & 15));
        break;
    case effect::fine_slide_down:
        pitch_slide_down(channel,
                         0xF0 + (fine_parameter(channel, channel.fine_slide_down_memory, p) & 15));
        break;
    case effect::vibrato_shape:
    case effect::s3m_vibrato_shape:
        if (p <= 7) channel.vibrato_shape = p;
        break;
    case effect::tremolo_shape:
    case effect::s3m_tremolo_shape:
        if (p <= 7) channel.tremolo_shape = p;
        break;
    case effect::fine_volume_up:
        channel.volume = std::min(
            channel.volume + fine_parameter(channel, channel.fine_volume_up_memory, p), 64);
        break;
    case effect::fine_volume_down:
        channel.volume = std::max(
            channel.volume - fine_parameter(channel, channel.fine_volume_down_memory, p), 0);
        break;
    case effect::retrigger:
        if (rules_of(channel).retrigger_on_tick_multiples) retrigger_on_multiples(channel, p);
        break;
    case effect::note_cut:
    case effect::s3m_note_cut:
        if (p == 0) cut_note(channel);
        break;
    case effect::arpeggio:
        remember(channel.arpeggio_memory, p);
        // Scream Tracker plays the arpeggio around the note itself, whatever
        // slides did to the period since.
        if (rules_of(channel).arpeggio_note_kept_for_slides && channel.target_period > 0)
            channel.period = channel.target_period;
        break;
    case effect::s3m_fine_vibrato:
        remember_nibbles(p, channel.vibrato_step, channel.vibrato_amount);
        set_vibrato_value(channel, 7);
        break;
    case effect::s3m_set_panning:
        channel.panning = p * 17;
        break;
    default:
        break;
    }
}

void apply_effect_tick(Channel& channel) {
    const std::int32_t p = channel.note.param;
    switch (channel.note.effect) {
    case effect::slide_up:
    case effect::s3m_slide_up:
        pitch_slide_up(channel, slide_parameter(channel, channel.slide_up_memory, 0));
        break;
    case effect::slide_down:
    case effect::s3m_slide_down:
        pitch_slide_down(channel, slide_parameter(channel, channel.slide_down_memory, 0));
        break;
    case effect::tone_slide:
    case effect::s3m_tone_slide:
        tone_slide(channel);
        break;
    case effect::vibrato:
    case effect::s3m_vibrato:
        vibrato_tick(channel, 5);
        break;
    case effect::tone_slide_volume_slide:
    case effect::s3m_tone_slide_volume_slide:
        tone_slide(channel);
        slide_volume(channel);
        break;
    case effect::vibrato_volume_slide:
    case effect::s3m_vibrato_volume_slide:
        vibrato_tick(channel, 5);
        slide_volume(channel);
        break;
    case effect::tremolo:
    case effect::s3m_tremolo:
        if (rules_of(channel).vibrato_skips_first_tick) {
            set_tremolo_value(channel);
            advance_tremolo(channel);
        } else {
            advance_tremolo(channel);
            set_tremolo_value(channel);
        }
        break;
    case effect::volume_slide:
    case effect::s3m_volume_slide:
        slide_volume(channel);
        break;
    case effect::global_volume_slide: {
        std::int32_t& global_volume = channel.replay->global_volume;
        global_volume =
            std::clamp(global_volume + nibble_slide(channel, channel.global_slide_memory), 0, 64);
        break;
    }
    case effect::panning_slide:
        channel.panning = std::clamp(
            channel.panning + nibble_slide(channel, channel.panning_slide_memory), 0, 255);
        break;
    case effect::multi_retrigger:
    case effect::s3m_retrigger:
        multi_retrigger(channel);
        break;
    case effect::tremor:
    case effect::s3m_tremor:
        tremor_step(channel);
        break;
    case effect::retrigger:
        if (rules_of(channel).retrigger_on_tick_multiples) {
            retrigger_on_multiples(channel, p);
        } else if (channel.tick_in_row >= p) {
            channel.tick_in_row = 0;
            channel.position = 0;
            channel.fraction = 0;
        }
        break;
    case effect::note_cut:
    case effect::s3m_note_cut:
        if (channel.tick_in_row == p) cut_note(channel);
        break;
    case effect::key_off:
        if (rules_of(channel).key_off_effect_on_its_tick && channel.tick_in_row == p)
            release_key(channel, true, false);
        break;
    case effect::arpeggio:
        arpeggio_tick(channel);
        break;
    case effect::s3m_fine_vibrato:
        vibrato_tick(channel, 7);
        break;
    default:
        break;
    }
}
