// What every effect code does on the row and on the ticks after it. The
// sequencer's own codes (jumps, breaks, speed, tempo, pattern loop and delay)
// are acted on by the sequencer and do nothing here; the note delay, which
// triggers the note, by the channel.
#include "player/effects.h"

#include "player/background_voices.h"
#include "player/channel_filter.h"
#include "player/effect_codes.h"
#include "player/envelope.h"
#include "player/it_counters.h"
#include "player/it_effects.h"
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

// Ixy's or Qxy's nibbles, each kept apart or, where the rules say so, both
// from any parameter but 0.
void remember_tremor_or_retrigger(const Channel& channel, std::int32_t param, std::int32_t& high,
                                  std::int32_t& low) {
    if (!rules_of(channel).tremor_and_retrigger_keep_whole_parameter) {
        remember_nibbles(param, high, low);
    } else if (param != 0) {
        high = param >> 4;
        low = param & 15;
    }
}

// A vibrato's speed and depth, unless the volume column's note trigger took
// them where the rules say so.
void remember_vibrato(Channel& channel, std::int32_t param) {
    if (!rules_of(channel).effect_memory_before_volume_column)
        remember_nibbles(param, channel.vibrato_step, channel.vibrato_amount);
}

// A 1xx or 2xx parameter as pitch_slide_up and _down read it, from its
// memory: coarse parameters go to them as their coarse counterpart, which
// slides on ticks by the same amount.
std::int32_t slide_parameter(Channel& channel, bool down, std::int32_t param) {
    remember_pitch_slide(channel, down, param);
    const std::int32_t q = pitch_slide_memory(channel, down);
    return rules_of(channel).coarse_slide_parameters ? q | coarse_slide : q;
}

// A fine effect's parameter: remembered where the rules give it a memory.
std::int32_t fine_parameter(const Channel& channel, std::int32_t& memory, std::int32_t param) {
    if (rules_of(channel).fine_effects_without_memory) return param;
    return remember(memory, param);
}

} // namespace

void apply_effect_row(Channel& channel) {
    const std::int32_t p = channel.note.param;
    switch (channel.note.effect) {
    case effect::slide_up:
    case effect::s3m_slide_up:
        pitch_slide_up(channel, slide_parameter(channel, false, p));
        break;
    case effect::slide_down:
    case effect::s3m_slide_down:
        pitch_slide_down(channel, slide_parameter(channel, true, p));
        break;
    case effect::tone_slide:
    case effect::s3m_tone_slide:
        // Where the rules say so, the volume column's note trigger took it.
        if (!rules_of(channel).effect_memory_before_volume_column) remember_tone_slide(channel, p);
        break;
    case effect::vibrato:
    case effect::s3m_vibrato:
        remember_vibrato(channel, p);
        vibrato_row(channel, 5);
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
        vibrato_row(channel, 5);
        if (channel.note.effect == effect::vibrato_volume_slide ||
            !rules_of(channel).combined_slides_skip_first_tick) {
            slide_volume(channel);
        }
        break;
    case effect::tremolo:
    case effect::s3m_tremolo:
        remember_nibbles(p, channel.tremolo_step, channel.tremolo_amount);
        if (rules_of(channel).tremolo_every_tick) {
            set_tremolo_value(channel);
            advance_tremolo(channel);
        } else if (!rules_of(channel).vibrato_skips_first_tick) {
            set_tremolo_value(channel);
        }
        break;
    case effect::set_panning:
        take_panning(channel, p);
        break;
    case effect::set_volume:
        channel.volume = std::min(p, 64);
        break;
    case effect::it_macro_select:
        if (rules_of(channel).midi_macros) channel.macro_slot = p;
        break;
    case effect::it_midi_macro:
        if (rules_of(channel).midi_macros) run_midi_macro(channel, p);
        break;
    case effect::set_global_volume:
    case effect::s3m_set_global_volume:
        channel.replay->global_volume = std::min(p, highest_global_volume(channel));
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
        // FastTracker 2 moves the panning envelope only where the volume
        // envelope has a sustain point.
        if (!rules_of(channel).envelope_position_pans_only_with_sustain ||
            channel.instrument->volume_envelope.has_sustain) {
            channel.panning_envelope_tick = p;
        }
        break;
    case effect::panning_slide:
        remember(channel.panning_slide_memory, p);
        break;
    case effect::multi_retrigger:
    case effect::s3m_retrigger:
        remember_tremor_or_retrigger(channel, p, channel.retrigger_volume_mode,
                                     channel.retrigger_interval);
        if (rules_of(channel).retrigger_counts_own_ticks) {
            count_it_retrigger(channel);
        } else if (!rules_of(channel).counted_retrigger_and_tremor) {
            multi_retrigger(channel);
        } else if (channel.note.volume == 0) {
            // A volume beside it leaves the first tick out of the count; a
            // note or instrument starts the count again.
            if (channel.note.key != 0 || channel.note.instrument != 0) channel.retrigger_count = 0;
            count_retrigger(channel);
        }
        break;
    case effect::tremor:
    case effect::s3m_tremor:
        if (rules_of(channel).tremor_counts_own_ticks) {
            remember_tremor_or_retrigger(channel, p, channel.tremor_audible_ticks,
                                         channel.tremor_silent_ticks);
            count_it_tremor(channel);
        } else if (!rules_of(channel).counted_retrigger_and_tremor) {
            remember_tremor_or_retrigger(channel, p, channel.tremor_audible_ticks,
                                         channel.tremor_silent_ticks);
            tremor_step(channel);
        } else {
            if (p != 0) {
                channel.tremor_audible_ticks = p >> 4;
                channel.tremor_silent_ticks = p & 15;
            }
            // The row's first tick counts nothing: a phase under way goes on.
            if (channel.tremor_state != 0 && (channel.tremor_state & 0x80) == 0)
                channel.volume_offset = -64;
        }
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
        arpeggio_around_note(channel);
        break;
    case effect::s3m_fine_vibrato:
        remember_vibrato(channel, p);
        vibrato_row(channel, 7);
        break;
    case effect::s3m_set_panning:
        take_panning(channel, p * 17);
        break;
    case effect::s3m_instrument_control:
        apply_instrument_control(channel, p);
        break;
    default:
        if (plays_other_trackers) apply_it_effect_row(channel);
        break;
    }
}

void apply_effect_tick(Channel& channel) {
    const std::int32_t p = channel.note.param;
    switch (channel.note.effect) {
    case effect::slide_up:
    case effect::s3m_slide_up:
        pitch_slide_up(channel, slide_parameter(channel, false, 0));
        break;
    case effect::slide_down:
    case effect::s3m_slide_down:
        pitch_slide_down(channel, slide_parameter(channel, true, 0));
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
        if (rules_of(channel).vibrato_skips_first_tick || rules_of(channel).tremolo_every_tick) {
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
            std::clamp(global_volume + nibble_slide(channel, channel.global_slide_memory), 0,
                       highest_global_volume(channel));
        break;
    }
    case effect::panning_slide:
        channel.panning = std::clamp(
            channel.panning + nibble_slide(channel, channel.panning_slide_memory), 0, 255);
        break;
    case effect::multi_retrigger:
    case effect::s3m_retrigger:
        if (rules_of(channel).retrigger_counts_own_ticks) {
            count_it_retrigger(channel);
        } else if (rules_of(channel).counted_retrigger_and_tremor) {
            count_retrigger(channel);
        } else {
            multi_retrigger(channel);
        }
        break;
    case effect::tremor:
    case effect::s3m_tremor:
        if (rules_of(channel).tremor_counts_own_ticks) {
            count_it_tremor(channel);
        } else if (rules_of(channel).counted_retrigger_and_tremor) {
            count_tremor(channel);
        } else {
            tremor_step(channel);
        }
        break;
    case effect::retrigger:
        if (rules_of(channel).retrigger_on_tick_multiples) {
            retrigger_on_multiples(channel, p);
        } else if (channel.tick_in_row >= p) {
            channel.tick_in_row = 0;
            restart_voice(channel, 0);
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
        if (plays_other_trackers) apply_it_effect_tick(channel);
        break;
    }
}
