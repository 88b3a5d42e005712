// How the tracker that wrote a module plays it. Every switch turns on one
// behaviour of ProTracker, Scream Tracker 3 or FastTracker 2 where the show's
// own rules (all switches off) do otherwise; a format loader picks the set
// of the tracker that writes its format. The replay reads them on rows and
// ticks, never per sample frame.
#pragma once

struct PlayRules {
    // Timing and song position.
    bool tempo_after_first_tick;   // a tempo set on a row governs its ticks from the second on
    bool pattern_loop_per_channel; // each channel keeps its own loop count, none waits for another
    bool jumps_while_looping;      // position jumps and pattern breaks act while a loop repeats
    bool pattern_delay_reruns_row; // each repetition of a delayed row reruns its first tick's
                                   // effects (fine slides, note delays), without new notes
    bool delayed_jump_passes_target_row; // a jump or break on a delayed row lands one row on

    // Pitch.
    bool amiga_limits_by_fine_tune; // slides keep the period inside the three octaves of the
                                    // Amiga note table, for the channel's fine tune
    bool tone_slide_target_from_slide_note;      // only a note beside a tone slide sets its target
    bool tone_slide_target_cleared_when_reached; // a reached target is gone: the slide stops
    bool coarse_slide_parameters;  // 1xx and 2xx slide on every tick but the first, whatever
                                   // their parameter: none reads as fine or extra fine
    bool arpeggio_in_note_table;   // arpeggio notes come from the Amiga note table of the fine
                                   // tune, reading on past its end
    bool vibrato_skips_first_tick; // vibrato and tremolo neither apply nor advance on a row's
                                   // first tick; later ticks apply the phase, then advance it

    // Volume.
    bool volume_slide_up_first; // Axy with x > 0 slides up by x alone, else down by y

    // Effect parameters.
    bool fine_effects_without_memory;  // E1x, E2x, EAx, EBx with x = 0 do nothing
    bool retrigger_on_tick_multiples;  // E9x restarts on ticks that are multiples of x, also the
                                       // first when it has no note; E90 does nothing
    bool instrument_before_note_delay; // a delayed note's instrument sets volume and sample on
                                       // the row's first tick; the delay strikes the key alone
    bool offset_moves_sample_start;    // 9xx moves the channel's sample start on, once without a
                                       // note and before and after the start with one; an
                                       // instrument number sets it back to 0
    bool note_delay_past_speed_sets_next_pitch; // a delay that never strikes in its row gives
                                                // the next row without a note its pitch
};

// The show's rules, and those of the trackers whose files the loaders read.
constexpr PlayRules show_rules{};

constexpr PlayRules protracker_rules{
    .tempo_after_first_tick = true,
    .pattern_loop_per_channel = true,
    .jumps_while_looping = true,
    .pattern_delay_reruns_row = true,
    .delayed_jump_passes_target_row = true,
    .amiga_limits_by_fine_tune = true,
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
