// How the tracker that wrote a module plays it. Every switch turns on one
// behaviour of ProTracker, Scream Tracker 3, FastTracker 2 or Impulse Tracker
// where the show's own rules (all switches off) do otherwise; a format loader
// picks the set of the tracker that writes its format. The replay reads them
// on rows and ticks, never per sample frame.
#pragma once
#include <cstdint>

struct PlayRules {
    // Timing and song position.
    // A tempo set on a row governs its ticks from the second on.
    bool tempo_after_first_tick = false;
    // Each channel keeps its own loop count, none waits for another, and jumps and breaks act
    // while loops repeat.
    bool pattern_loop_per_channel = false;
    // A jump or break while a pattern loop repeats waits for the loop's end and then acts, instead
    // of being dropped.
    bool breaks_wait_for_loop_end = false;
    // A channel's loop start stays when a new pattern begins.
    bool loop_start_kept_across_patterns = false;
    // After a loop has jumped back, the next pattern that begins by the end of this one begins at
    // the loop's row.
    bool loop_row_starts_next_pattern = false;
    // A pattern break past the last entry lands on its row of the entry the song goes on with, not
    // on row 0.
    bool break_row_survives_wrap = false;
    // Each repetition of a delayed row reruns its first tick's effects (fine slides, note delays),
    // without new notes.
    bool pattern_delay_reruns_row = false;
    // A note delay beside a row delay strikes its note again on its tick of each repetition of the
    // row.
    bool note_delay_each_row_repetition = false;
    // A jump or break on a delayed row lands one row further on.
    bool delayed_jump_passes_target_row = false;
    // S6x adds x ticks to each repetition of its row, a row's S6x together (Impulse Tracker's
    // command, which S3M files carry too).
    bool tick_delay = false;
    // Of several row delays on a row, the first that is not 0 counts.
    bool first_pattern_delay_wins = false;
    // A channel's loop that has ended starts its next loop at the row after its end.
    bool ended_loop_starts_after_it = false;
    // A loop back to a row past the pattern's end goes on to the next entry's first row.
    bool loop_past_pattern_end_goes_on = false;
    // A loop's jump back wins over the row's breaks and the jumps to its left; a jump to its
    // right wins over it.
    bool loop_jump_beats_break = false;
    // Where the first row delay wins, a first one of 0 wins too: the row is not delayed.
    bool zero_pattern_delay_counts = false;

    // Pitch.
    // Amiga periods come from ProTracker's table of sixteen fine tunes, not from the exponential
    // scale.
    bool protracker_period_table = false;
    // A sample's periods come from Scream Tracker's octave table, scaled by its C2SPD, not from
    // its relative note and fine tune.
    bool scream_tracker_period_table = false;
    // Slides keep the period inside the three octaves of the Amiga note table, for the channel's
    // fine tune.
    bool amiga_limits_by_fine_tune = false;
    // Slides keep the period in 452..3424 (the Amiga-limits flag of an S3M header).
    bool amiga_limits_fixed = false;
    // Periods sound at least at 64, and a slide that reaches 0 stops the note.
    bool period_limits_of_scream_tracker = false;
    // The channel period stays at most 32767 (in Scream Tracker's own files; others slide on
    // down).
    bool period_ceiling = false;
    // An arpeggio plays around the note itself, whatever slides did, and leaves their period to
    // the rows after; a pitch slide right after it starts from its last note.
    bool arpeggio_note_kept_for_slides = false;
    // An instrument number naming a slot without a sample changes nothing.
    bool empty_instruments_ignored = false;
    // An instrument number without a note (or beside a tone slide) on a sounding channel sets
    // volume and fine tune at once, but its sample takes over only when the playing one reaches
    // its end or its loop's end, from its loop start; a restart takes it up at once.
    bool lone_instrument_queues_sample = false;
    // A tone slide on a channel that plays nothing strikes its note.
    bool tone_slide_from_silence_strikes = false;
    // An instrument beside a tone slide sets the volume but leaves the sample playing.
    bool tone_slide_keeps_sample = false;
    // Only a note beside a tone slide sets its target.
    bool tone_slide_target_from_slide_note = false;
    // A reached target is gone: the slide stops.
    bool tone_slide_target_cleared_when_reached = false;
    // The volume column's tone slide speed is x * 16.
    bool tone_slide_column_by_16 = false;
    // A tone slide keeps the direction its note set; one that rose to its target turns down, so
    // that a later slide past the target jumps to it.
    bool tone_slide_keeps_direction = false;
    // 1xx and 2xx slide on every tick but the first, whatever their parameter: none reads as fine
    // or extra fine.
    bool coarse_slide_parameters = false;
    // Arpeggio notes come from the Amiga note table of the fine tune, reading on past its end.
    bool arpeggio_in_note_table = false;
    // An arpeggio's ticks count down from the row's speed: tick t plays the note, x or y for
    // (speed - t) % 3 = 0, 1 or 2.
    bool arpeggio_counts_down_from_speed = false;
    // An arpeggio note of a linear-pitch song goes no higher than the note above B-7, even from a
    // note above it.
    bool arpeggio_stops_at_table_end = false;
    // Vibrato and tremolo neither apply nor advance on a row's first tick; later ticks apply the
    // phase, then advance it.
    bool vibrato_skips_first_tick = false;
    // Vibrato advances its phase and then applies it on every tick, the row's first too, at half
    // the depth (Impulse Tracker's own effects, not its old ones).
    bool vibrato_every_tick_at_half_depth = false;
    // Exx and Fxx (and the volume column's pitch slides) share one memory.
    bool pitch_slides_share_memory = false;
    // Gxx shares its memory with Exx and Fxx (the IT header's link flag).
    bool tone_slide_shares_pitch_memory = false;
    // The volume column's 0xD and 0xE codes slide the pitch down and up by 4x on every tick but
    // the first, in the pitch slides' memory (Impulse Tracker's column has no panning slides).
    bool volume_column_pitch_slides = false;
    // The volume column's tone slide speed is x's entry of 1, 4, 8, 16, 32, 64, 96, 128, 255.
    bool tone_slide_column_table = false;
    // Gxx's speed and Hxy's and Uxy's speed and depth are taken before the volume column's, which
    // may then replace them.
    bool effect_memory_before_volume_column = false;
    // A tone slide on a note that has stopped (its sample played out, its fade or its key-off
    // without an envelope silenced it) strikes its note instead.
    bool tone_slide_after_stopped_note_strikes = false;
    // An instrument beside a tone slide starts no envelopes or fade again: a released note stays
    // released (the IT header's link flag turns it off).
    bool tone_slide_keeps_envelopes = false;
    // The volume column's vibrato adds to the effect column's instead of replacing it.
    bool vibrato_columns_add = false;
    // Vibrato raises the pitch in the first half of its cycle.
    bool vibrato_rises_first = false;
    // Tremolo applies its phase and advances on every tick, the row's first too (Impulse Tracker's
    // own effects).
    bool tremolo_every_tick = false;

    // Panning.
    // Channels are panned by the square root of their share (FastTracker 2's law), not linearly.
    bool square_root_panning = false;
    // The volume column's panning is x * 16, so that its full right is 240.
    bool panning_column_by_16 = false;
    // The volume column's pan slide left by 0 pans hard left on every tick but the first.
    bool pan_slide_left_by_zero_to_left = false;
    // The falling tremolo is the vibrato's ramp: its size follows the half of the vibrato's cycle,
    // its sign (up first) the tremolo's own half.
    bool tremolo_ramp_follows_vibrato = false;
    // Lxx moves the panning envelope only where the volume envelope has a sustain point.
    bool envelope_position_pans_only_with_sustain = false;

    // Volume.
    // Axy (and FastTracker 2's Hxy and Pxy) with x > 0 slide up by x alone, else down by y; no
    // nibble makes them fine.
    bool volume_slide_up_first = false;
    // Volume-column bytes 0x51..0x5F do nothing; only 0x50 sets 64.
    bool volume_column_above_64_ignored = false;
    // Dxy with both nibbles set and neither 15 slides down.
    bool volume_slide_down_first = false;
    // D0F and DF0 slide by 15 on the first tick too.
    bool full_volume_slides_every_tick = false;
    // The volume slides of Kxy and Lxy never act on the row's first tick, fine or fast.
    bool combined_slides_skip_first_tick = false;
    // A key without an instrument plays again after a cut.
    bool key_reopens_stopped_note = false;
    // SCx stops the note: no volume or retrigger brings it back.
    bool note_cut_stops_note = false;
    // A key-off takes the volume of an instrument without a volume envelope (a volume command may
    // give it back) and fades the note out, also without an envelope, unless it waited for a note
    // delay; the volume column acts after it.
    bool key_off_zeroes_volume = false;
    // Kxx releases the key on tick xx; K00 ignores the note and instrument beside it, and beside
    // an instrument or a volume fades the note without taking its volume.
    bool key_off_effect_on_its_tick = false;
    // An instrument number beside no note, a key-off or a tone slide recalls the volume and
    // panning of the sample playing and, but for beside a key-off, starts its instrument's
    // envelopes and fade again; instrument and sample stay.
    bool lone_instrument_resets_playing_sample = false;
    // The volume column's volume slides, fine or not, repeat the column's last one for x = 0.
    bool volume_column_slide_memory = false;
    // Global volume runs 0..128, not 0..64.
    bool global_volume_of_128 = false;

    // Effect parameters.
    // Every effect's parameter (an empty effect's too) goes to one memory, which D, E, F, I, J, K,
    // L, Q, R and S recall for a parameter of 0.
    bool shared_effect_memory = false;
    // E1x, E2x, EAx and EBx with x = 0 do nothing.
    bool fine_effects_without_memory = false;
    // E9x restarts on ticks that are multiples of x, the first too when it has no note; E90 does
    // nothing.
    bool retrigger_on_tick_multiples = false;
    // Rxy counts every tick (the first too unless a volume is beside it; a note or instrument
    // starts it again) and restarts on its interval's last; Txy counts its phases down from x + 1
    // and y + 1 ticks, from the row's second tick on, T00 repeating both nibbles; an instrument
    // starts it again.
    bool counted_retrigger_and_tremor = false;
    // The volume 7xy or Txy last played (a tremor's silence too) stays on the row's first tick and
    // the rows after, until an instrument number or a volume command (volume column, Axy, Cxx,
    // EAx, EBx, 5xy, 6xy) sets a volume.
    bool tremolo_and_tremor_volume_lasts = false;
    // E9x never restarts on the row's first tick, even without a note there.
    bool retrigger_never_on_first_tick = false;
    // E90 restarts the note once, on the row's first tick.
    bool retrigger_zero_once = false;
    // Qxy leaves a note whose sample (without a loop) has played out silent.
    bool retrigger_skips_played_out_note = false;
    // A delayed note's instrument sets volume and sample on the row's first tick; the delay
    // strikes the key alone.
    bool instrument_before_note_delay = false;
    // 9xx moves the channel's sample start on, once without a note and before and after the start
    // with one; an instrument number sets it back to 0.
    bool offset_moves_sample_start = false;
    // EDx (x > 0) on a row without a note strikes the channel's last note again on tick x.
    bool note_delay_repeats_last_note = false;
    // A delayed note (or key-off) without an instrument starts the envelopes and fade of the
    // channel's instrument again; volume and panning stay.
    bool note_delay_restarts_instrument = false;
    // Beside a note delay the volume column's slides run on each tick but the first while the note
    // waits, and on the delayed tick only without an instrument; its fine slides never run.
    bool note_delay_breaks_volume_column_slides = false;
    // A volume-column tone slide beside a note delay keeps its old speed and target; the delayed
    // note strikes as a note.
    bool note_delay_keeps_tone_slide = false;
    // A delay that never strikes in its row gives the next row without a note its pitch.
    bool note_delay_past_speed_sets_next_pitch = false;
    // Ixy counts its phases on every tick it plays, the row's first too, x and y ticks long (0 as
    // 1); rows without it and new notes leave the count and the phase where they stand.
    bool tremor_counts_own_ticks = false;
    // Each of those tremor phases lasts a tick longer (Impulse Tracker's old effects).
    bool tremor_phases_one_longer = false;
    // Qxy counts its interval down on every tick it plays but a struck note's, which starts the
    // count, and restarts at 0 or below (an interval of 0 on every tick); rows without it leave
    // the count where it stands.
    bool retrigger_counts_own_ticks = false;
    // Ixy and Qxy other than 0 set both nibbles, a 0 among them too; only 00 recalls the last.
    bool tremor_and_retrigger_keep_whole_parameter = false;
    // Panbrello's random waveform draws a value once every x ticks (its speed), holding it in
    // between, across rows too.
    bool random_panbrello_holds = false;

    // Instruments.
    // An envelope loop plays its last point's tick before it goes back; while the key is down the
    // sustain loop (sustain_from to sustain_at) repeats instead of the plain loop.
    bool envelope_loops_play_last_tick = false;
    // A note fades only once its fade has started: a key-off starts it for an instrument without
    // a volume envelope or with a looping one, the volume envelope's end starts it, and a released
    // note without a volume envelope plays on meanwhile.
    bool fade_starts_at_release_or_envelope_end = false;
    // Key 98 cuts the note and key 99 starts its fade with the key still down, where otherwise
    // every key above 96 releases it.
    bool note_cut_and_fade_keys = false;
    // Every struck note starts the instrument's envelopes and fade again, with or without an
    // instrument number beside it.
    bool note_restarts_envelopes = false;
    // The sample's global volume (of 64) and the instrument's (of 128) scale the note.
    bool sample_and_instrument_global_volumes = false;
    // Only a struck note sets the panning: its sample's, else its instrument's, else the
    // channel's own (which outlives theirs), moved by the pitch-pan separation.
    bool note_takes_instrument_panning = false;
    // An instrument number without a note (or beside a key-off) on a playing note takes it over
    // with its sample's volume for the last key, beside no key-off its looped sample too, while
    // the envelopes go on; a note that has ended (cut, faded, its envelope ended at 0) is struck
    // again.
    bool lone_instrument_takes_over_note = false;
    // The auto-vibrato is the sample's (speed, depth growing at its rate, waveform), on linear
    // pitch whatever the song's slides, and none at speed 0.
    bool sample_auto_vibrato = false;
    // An instrument number the song lacks stops the note, and the notes after it without an
    // instrument stay silent.
    bool missing_instrument_stops_note = false;
    // A sample offset past the sample's end is ignored (Impulse Tracker's own effects); otherwise
    // the note plays from the end.
    bool offset_past_end_ignored = false;
    // A sample offset beside an instrument number without a note restarts the note from the
    // offset, unless its key was released.
    bool offset_restarts_beside_lone_instrument = false;
    // A key that names no sample of its instrument is no note, and the instrument number and sample
    // offset beside it do nothing (the instrument mode of an IT header).
    bool keys_without_sample_ignored = false;
    // An instrument number beside a tone slide switches to its sample for the slide's key, which
    // plays on from the playing one's position (IT's instrument mode without the link flag).
    bool tone_slide_instrument_changes_sample = false;
    // The playing instrument's number alone takes its sample's volume for the last key but leaves
    // the playing sample sounding (the instrument mode of an IT header).
    bool lone_instrument_keeps_sample = false;
    // An instrument number without a key (or beside a key-off) takes the volume of its sample for
    // the channel's last key, not of the sample no key names.
    bool instrument_without_key_takes_last_keys_sample = false;
    // An instrument number that starts the envelopes and fade again without a note leaves a
    // released key released and a begun fade going.
    bool instrument_without_key_keeps_release = false;
    // An instrument number alone (or beside a key-off) on a playing note starts its envelopes and
    // fade again, so (Impulse Tracker's old effects).
    bool lone_instrument_restarts_envelopes = false;
    // A note whose key was released carries no envelope on to the next note.
    bool released_note_carries_no_envelope = false;
    // A note cut (SCx, ^^^) stops the note but leaves the channel's volume to the next one.
    bool note_cut_keeps_volume = false;
    // An instrument number alone strikes again a note that its envelope's end or SCx stopped, but
    // not one a ^^^ cut or its spent fade stopped.
    bool cut_or_faded_note_stays_stopped = false;
    // A tone slide on a released note without a volume envelope slides it, fading on, instead of
    // striking it (instrument mode).
    bool released_note_keeps_sliding = false;
    // A tone slide whose instrument switches to another sample presses the key again and starts
    // the fade again.
    bool slide_to_other_sample_presses_key = false;
    // A tone slide whose instrument keeps the playing sample while the key is released plays that
    // sample's released form (its plain loop, not its sustain loop).
    bool slide_on_released_key_keeps_released_loop = false;
    // The output-rate renderer ramps a channel's amplitude linearly over each tick from where the
    // tick before ended, but on a row's first tick and for a note struck on the tick.
    bool amplitude_ramps_over_tick = false;
    // Filter.
    // Zxx runs the channel's MIDI macro (SFx picks which of the parametered ones Z00..Z7F run);
    // its filter messages set the cutoff and resonance of the channel's resonant filter.
    bool midi_macros = false;

    // Voices.
    // A new note leaves the one before to a background voice by its instrument's new-note action
    // (continue, note off, note fade), ends the earlier notes its duplicate check finds, and
    // S70..S76 act on the channel's background voices and set the note's new-note action.
    bool new_note_actions = false;
    // S77..S7C pause and resume the volume, panning and pitch envelopes.
    bool envelope_pause_commands = false;

    // Pitch.
    // A sample plays at its own middle-C rate to the hertz, not at the nearest 1/128 semitone of
    // the module's reference rate: a long recording stays in phase with the tracker's.
    bool exact_sample_rates = false;

    // Panning.
    // Panning runs to 256, IT's 64 steps times four, and each side gets its share of 256: full
    // right silences the left, where X's FF (255) leaves a 256th there.
    bool panning_of_256 = false;
};

// The replay's full right.
constexpr std::int32_t full_right(const PlayRules& rules) {
    return rules.panning_of_256 ? 256 : 255;
}

// The show's rules, and those of the trackers whose files the loaders read.
inline constexpr PlayRules show_rules{};

inline constexpr PlayRules protracker_rules{
    .tempo_after_first_tick = true,
    .pattern_loop_per_channel = true,
    .break_row_survives_wrap = true,
    .pattern_delay_reruns_row = true,
    .delayed_jump_passes_target_row = true,
    .protracker_period_table = true,
    .amiga_limits_by_fine_tune = true,
    .lone_instrument_queues_sample = true,
    .tone_slide_target_from_slide_note = true,
    .tone_slide_target_cleared_when_reached = true,
    .coarse_slide_parameters = true,
    .arpeggio_in_note_table = true,
    .vibrato_skips_first_tick = true,
    .volume_slide_up_first = true,
    .fine_effects_without_memory = true,
    .retrigger_on_tick_multiples = true,
    .instrument_before_note_delay = true,
    .offset_moves_sample_start = true,
    .note_delay_past_speed_sets_next_pitch = true,
};

// Scream Tracker 3.2x; the loader adds what a file's header asks for
// (Amiga limits) and what only Scream Tracker's own files get.
inline constexpr PlayRules scream_tracker_rules{
    .breaks_wait_for_loop_end = true,
    .break_row_survives_wrap = true,
    .pattern_delay_reruns_row = true,
    .tick_delay = true,
    .first_pattern_delay_wins = true,
    .scream_tracker_period_table = true,
    .period_limits_of_scream_tracker = true,
    .arpeggio_note_kept_for_slides = true,
    .empty_instruments_ignored = true,
    .tone_slide_from_silence_strikes = true,
    .tone_slide_keeps_sample = true,
    .volume_slide_down_first = true,
    .full_volume_slides_every_tick = true,
    .key_reopens_stopped_note = true,
    .note_cut_stops_note = true,
    .shared_effect_memory = true,
};

// FastTracker 2.08/2.09.
inline constexpr PlayRules fasttracker_rules{
    .pattern_loop_per_channel = true,
    .loop_start_kept_across_patterns = true,
    .loop_row_starts_next_pattern = true,
    .break_row_survives_wrap = true,
    .note_delay_each_row_repetition = true,
    .tone_slide_target_from_slide_note = true,
    .tone_slide_column_by_16 = true,
    .tone_slide_keeps_direction = true,
    .coarse_slide_parameters = true,
    .arpeggio_counts_down_from_speed = true,
    .arpeggio_stops_at_table_end = true,
    .vibrato_skips_first_tick = true,
    .square_root_panning = true,
    .panning_column_by_16 = true,
    .pan_slide_left_by_zero_to_left = true,
    .tremolo_ramp_follows_vibrato = true,
    .envelope_position_pans_only_with_sustain = true,
    .volume_slide_up_first = true,
    .volume_column_above_64_ignored = true,
    .key_off_zeroes_volume = true,
    .key_off_effect_on_its_tick = true,
    .lone_instrument_resets_playing_sample = true,
    .retrigger_on_tick_multiples = true,
    .counted_retrigger_and_tremor = true,
    .tremolo_and_tremor_volume_lasts = true,
    .retrigger_never_on_first_tick = true,
    .retrigger_zero_once = true,
    .note_delay_repeats_last_note = true,
    .note_delay_restarts_instrument = true,
    .note_delay_breaks_volume_column_slides = true,
    .note_delay_keeps_tone_slide = true,
};

// Impulse Tracker 2.14: Scream Tracker's ways, which it keeps for the
// effects the two share, but a memory of its own for each effect; the
// loader adds Scream Tracker's period table for songs with Amiga slides,
// and from the header's flags its own effects (unless old ones are asked
// for) and the tone slide's memory linked with the pitch slides' (or else
// envelopes kept beside it).
inline constexpr PlayRules impulse_tracker_rules = [] {
    PlayRules rules = scream_tracker_rules;
    rules.shared_effect_memory = false;
    rules.pattern_loop_per_channel = true;
    rules.breaks_wait_for_loop_end = false;
    rules.loop_start_kept_across_patterns = true;
    rules.ended_loop_starts_after_it = true;
    rules.loop_past_pattern_end_goes_on = true;
    rules.loop_jump_beats_break = true;
    rules.zero_pattern_delay_counts = true;
    rules.offset_restarts_beside_lone_instrument = true;
    rules.retrigger_skips_played_out_note = true;
    rules.scream_tracker_period_table = false;
    rules.envelope_loops_play_last_tick = true;
    rules.fade_starts_at_release_or_envelope_end = true;
    rules.note_cut_and_fade_keys = true;
    rules.note_restarts_envelopes = true;
    rules.sample_and_instrument_global_volumes = true;
    rules.note_takes_instrument_panning = true;
    rules.lone_instrument_takes_over_note = true;
    rules.sample_auto_vibrato = true;
    rules.missing_instrument_stops_note = true;
    rules.pitch_slides_share_memory = true;
    rules.volume_column_pitch_slides = true;
    rules.tone_slide_column_table = true;
    rules.effect_memory_before_volume_column = true;
    rules.tone_slide_after_stopped_note_strikes = true;
    rules.vibrato_columns_add = true;
    rules.vibrato_rises_first = true;
    rules.volume_column_slide_memory = true;
    rules.global_volume_of_128 = true;
    rules.midi_macros = true;
    rules.new_note_actions = true;
    rules.envelope_pause_commands = true;
    rules.tremor_counts_own_ticks = true;
    rules.retrigger_counts_own_ticks = true;
    rules.tremor_and_retrigger_keep_whole_parameter = true;
    rules.random_panbrello_holds = true;
    rules.exact_sample_rates = true;
    rules.panning_of_256 = true;
    rules.instrument_without_key_takes_last_keys_sample = true;
    rules.instrument_without_key_keeps_release = true;
    rules.released_note_carries_no_envelope = true;
    rules.note_cut_keeps_volume = true;
    rules.cut_or_faded_note_stays_stopped = true;
    rules.amplitude_ramps_over_tick = true;
    return rules;
}();
