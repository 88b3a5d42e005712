// The replay's records: song position, timing, global volume, pattern-loop
// state and one Channel per module channel, and the limits that the
// sequencer, the channels and the mixer keep between them. The sequencer
// (sequencer.h) moves a Replay on; the mixer (mixer.h) renders it.
//
// All arithmetic is 32-bit integer arithmetic: arithmetic right shifts,
// divisions truncating toward zero. Counters that only grow wrap in a defined
// way (unsigned arithmetic) instead of overflowing.
#pragma once
#include "player/filter_kernel.h"
#include "player/module.h"
#include "player/opl_chip.h"
#include <cstdint>

// The lowest tempo the tempo commands set and the mixer serves; a slower tick
// would not fit the mixer's buffer.
constexpr std::int32_t minimum_tempo = 32;
// The highest playback rate of a channel, in Hz: the mixer's step,
// frequency * 4096, must fit 32 bits. The pitch clamps keep the loaders'
// songs below it (at most about 520 kHz); update_frequency holds anything
// else to it.
constexpr std::int32_t highest_frequency = 524287;

// The output rates the mixer serves. Below 8000 Hz a high note's advance per
// rendered frame grows past what a block's 32-bit fraction can hold; above
// 192000 Hz no sound card plays.
constexpr std::int32_t lowest_output_rate = 8000;
constexpr std::int32_t highest_output_rate = 192000;

struct Replay;

// The resonant filter's cutoff when it is open.
constexpr std::int32_t full_cutoff = 127;

struct Channel {
    Replay* replay;
    const Instrument* instrument; // instrument 0 after a reset
    const Sample* sample;         // never null once reset
    Note note;                    // the current row's note, effect code unfolded
    std::int32_t index;
    std::int32_t key_down;
    std::int32_t noise_state;
    std::int32_t loop_row;
    std::int32_t start_offset;
    std::int32_t position;  // whole sample frames; advanced by the mixer
    std::int32_t fraction;  // 15-bit fraction of the position
    std::int32_t frequency; // output: Hz
    std::int32_t amplitude; // output: 16384 at full volume with mix_gain 64
    std::int32_t balance;   // output: 0 left .. full_right(rules) right
    std::int32_t volume;
    std::int32_t panning;
    std::int32_t fade_level;
    std::int32_t volume_envelope_tick;
    std::int32_t panning_envelope_tick;
    std::int32_t period;
    std::int32_t target_period;
    std::int32_t ticks_since_trigger;
    std::int32_t tick_in_row;
    std::int32_t auto_vibrato_ticks;
    std::int32_t slide_up_memory;
    std::int32_t slide_down_memory;
    std::int32_t tone_slide_speed;
    std::int32_t offset_memory;
    std::int32_t fine_slide_up_memory;
    std::int32_t fine_slide_down_memory;
    std::int32_t extra_fine_slide_memory;
    std::int32_t arpeggio_memory;
    std::int32_t volume_slide_memory;
    std::int32_t global_slide_memory;
    std::int32_t panning_slide_memory;
    std::int32_t fine_volume_up_memory;
    std::int32_t fine_volume_down_memory;
    std::int32_t retrigger_volume_mode;
    std::int32_t retrigger_interval;
    std::int32_t tremor_audible_ticks;
    std::int32_t tremor_silent_ticks;
    std::int32_t vibrato_shape;
    std::int32_t vibrato_position;
    std::int32_t vibrato_step;
    std::int32_t vibrato_amount;
    std::int32_t tremolo_shape;
    std::int32_t tremolo_position;
    std::int32_t tremolo_step;
    std::int32_t tremolo_amount;
    std::int32_t volume_offset;
    std::int32_t period_offset;
    std::int32_t semitone_offset;
    // What the output-rate resampler (resampler.h) reads and keeps beyond the
    // show's fields: the playback rate in 1/256 Hz, and the 17 bits of the
    // play position below `fraction`.
    std::int32_t fine_frequency;
    std::int32_t fraction_low;
    // Repeats still to play of this channel's own pattern loop (0: none),
    // where loops are per channel.
    std::int32_t loop_count;
    // The parameter memory that the effects share where the rules say so.
    std::int32_t shared_memory;
    // A released note fades out although its instrument has no volume
    // envelope, where the rules say so; a note fade fades it with the key
    // down too.
    std::int32_t fading;
    // The key last struck or slid to, for a note delay without a note.
    std::int32_t last_key;
    // The sample that takes over when the playing one reaches its end (of
    // its loop), where the rules say so; null for none.
    const Sample* queued_sample;
    // FastTracker 2's counters of Rxy and Txy, where the rules count them.
    std::int32_t retrigger_count;
    std::int32_t tremor_state;
    // The way a tone slide set out: 1 down (periods grow), -1 up, 0 none.
    std::int32_t slide_direction;
    // The note (re)started since the FM chip last took the channel's state:
    // an FM channel keys its chip channel on again.
    std::int32_t struck;
    // The position of the instrument's pitch (or filter) envelope.
    std::int32_t pitch_envelope_tick;
    // The channel's own panning while a note plays its instrument's or
    // sample's (pan_borrowed, until a command pans), where the rules give
    // notes their own.
    std::int32_t home_panning;
    std::int32_t pan_borrowed;
    // The struck note's random change of its instrument's volume, in
    // percent.
    std::int32_t volume_swing;
    // The depth the sample's auto-vibrato has grown to, in 1/256.
    std::int32_t auto_vibrato_sweep;
    // Impulse Tracker's channel volume (0..64) and the memories of its
    // effects that have one of their own: Nxy, Pxy, Wxy, Txy, the volume
    // column's volume slides, SAx's high offset (in 64 KB).
    std::int32_t channel_volume;
    std::int32_t channel_volume_memory;
    std::int32_t it_panning_slide_memory;
    std::int32_t it_global_slide_memory;
    std::int32_t tempo_slide_memory;
    std::int32_t volume_column_memory;
    std::int32_t high_offset;
    // Panbrello's phase, its speed and depth, and its offset to the balance.
    std::int32_t panbrello_position;
    std::int32_t panbrello_step;
    std::int32_t panbrello_amount;
    std::int32_t panbrello_shape;
    std::int32_t balance_offset;
    // Impulse Tracker's resonant filter: cutoff (full_cutoff when open) and
    // resonance 0..127, the parametered macro Zxx runs (SFx), whether the
    // resampler filters the voice, its coefficients and for which cutoff,
    // resonance and rate they were computed (0: none), and the history it
    // carries from tick to tick. A new channel's cutoff is full_cutoff.
    std::int32_t filter_cutoff;
    std::int32_t filter_resonance;
    std::int32_t macro_slot;
    std::int32_t filter_on;
    std::int64_t filter_computed_for;
    FilterCoefficients filter;
    FilterHistory filter_history;
    // What a new note does to this one (Instrument.new_note_action), which
    // S73..S76 change for this note alone.
    std::int32_t new_note_action;
    // A background voice: the replay's count of notes moved to the
    // background when this one was, so that the oldest goes first.
    std::uint32_t background_since;
    // S77, S79 and S7B hold the volume, panning and pitch envelopes where
    // they stand, unheard; S78, S7A and S7C let them go on from there.
    std::int32_t volume_envelope_paused;
    std::int32_t panning_envelope_paused;
    std::int32_t pitch_envelope_paused;
    // Impulse Tracker's tremor: bit 7 while the note sounds, the phase's
    // ticks left below it.
    std::int32_t it_tremor_state;
    // IT's surround: the voice sounds centred with its right side's phase
    // inverted; and the channel's own surround while a note borrows a panning.
    std::int32_t surround;
    std::int32_t home_surround;
    // The note was stopped by a ^^^ cut or by its spent fade, not by its
    // envelope's end or SCx; a new note clears it.
    std::int32_t cut_or_faded;
    // The amplitude the output-rate resampler's last tick ended at, where the
    // rules ramp volume changes over a tick (0 otherwise).
    std::int32_t mixed_amplitude;
};

// How a tick's sample frames become output frames. `show`: the show's mixer
// (mix_tick: twice the output rate, a nearest or, with `interpolate`, linear
// read, a fixed filter, 15-bit positions). The others: resample_tick, at the
// output rate with 32-bit positions, reading by the named interpolation.
enum class Resampler : std::int32_t { show, nearest, linear, cubic, sinc };

constexpr int crossfade_values = 128; // 64 stereo frames

struct Replay {
    std::int32_t output_rate;
    std::int32_t interpolate;
    std::int32_t global_volume;
    std::int32_t order_index;
    std::int32_t pending_order; // -1 = none
    std::int32_t current_row;
    std::int32_t pending_row; // -1 = the current pattern is finished
    std::int32_t ticks_left;
    std::uint32_t order_counter; // entries entered since creation; never reset, wraps to 0
    std::int32_t ticks_per_row;
    std::int32_t tempo_bpm;
    std::int32_t loop_repeats_left; // -1 = no loop active
    std::int32_t loop_channel;      // -1 = none
    std::int32_t* crossfade_buffer; // crossfade_values entries
    Channel* channels;              // voice_count entries
    const Module* module;           // referred to, never owned
    Resampler resampler;            // show after new_replay
    // A tempo that takes over after the row's first tick (0: none), and the
    // repetitions of a delayed row still to play, where the rules say so.
    std::int32_t pending_tempo;
    std::int32_t row_repeats_left;
    bool row_delayed;              // a row delay of the current row has been taken
    std::int32_t row_extra_ticks;  // ticks that tick delays add to the current row
    std::int32_t next_pattern_row; // where the next pattern starts when this one ends
    // A jump or break that waits for the pattern loop's end, where the rules
    // say so: the entry (-1 none) and row it goes to.
    std::int32_t waiting_order;
    std::int32_t waiting_row;
    // The FM chip of a song with FM channels (fm_voices.h); null without.
    OplChip* fm_chip;
    std::int16_t* fm_buffers; // opl_channel_count * fm_block_frames values
    // The generator of instruments' random swings.
    std::uint32_t random_state;
    // A channel's loop jumped back on the current row, where the rules let
    // that win over breaks.
    bool loop_jumped;
    // The module's channels, then the background voices that notes move to
    // where the rules say so (background_voices.h); the mixer mixes them all.
    std::int32_t voice_count;
    std::uint32_t notes_moved; // notes moved to the background since creation; wraps
};
