// The loaded song: header values, order list, patterns, instruments with their
// samples and envelopes. Read-only from module_load until module_dispose.
//
// Shaped for MOD, XM and S3M; the MOD loader leaves the XM/S3M-only fields at
// zero, which the replay treats as "not in use". Every count is set before the
// array it describes is allocated (zero-filled), so module_dispose can free a
// partly built record.
#pragma once
#include "player/play_rules.h"
#include <cstddef>
#include <cstdint>

// The most points an envelope holds (Impulse Tracker's nodes; XM has 12).
constexpr int envelope_point_limit = 25;

struct Envelope {
    std::uint8_t active;
    std::uint8_t has_sustain;
    std::uint8_t has_loop;
    std::int8_t point_count; // used points, at most envelope_point_limit
    std::int16_t sustain_at;
    std::int16_t loop_from;
    std::int16_t loop_to;
    std::int16_t point_ticks[envelope_point_limit];
    std::int16_t point_values[envelope_point_limit]; // 0..64
    // Where an IT sustain loop goes back to (sustain_at is its end); a
    // sustain of one point starts and ends there.
    std::int16_t sustain_from;
    // IT's carry: a new note of the instrument on a channel still playing it
    // goes on from where the last note's envelope stood. 16 bits so that the
    // record has no padding and compares whole.
    std::uint16_t carries;
};

// An FM instrument's register bytes: modulator and carrier of each of five
// operator registers, the channel's feedback and connection, one unused.
constexpr int fm_patch_size = 12;

// Signed 16-bit mono frames with a forward loop. No length field: a sample
// without a loop has loop_start == its length and loop_length 0. `data` holds
// length + 1 elements; data[loop_start + loop_length] == data[loop_start].
struct Sample {
    char name[32];
    std::int32_t loop_start;
    std::int32_t loop_length;
    std::int16_t volume;        // 0..64
    std::int16_t panning;       // 0 = none, else panning + 1
    std::int16_t relative_note; // semitones
    std::int16_t fine_tune;     // 1/128 semitone
    std::int16_t* data;
    // The rate of middle C where the format gives one (S3M's C2SPD), for the
    // trackers' own period arithmetic; 0 for none.
    std::int32_t middle_c;
    // An S3M AdLib instrument: no frames, but the FM chip's register bytes,
    // heard on the song's FM channels (Module.channel_fm).
    std::uint8_t is_fm;
    std::uint8_t fm_patch[fm_patch_size];
    // The frames belong to another instrument's sample (IT instruments share
    // samples): module_dispose leaves them to that one.
    std::uint8_t borrows_data;
    // IT's sample global volume, 0..64, where the rules use it.
    std::int16_t global_volume;
    // A sample whose loop is a sustain loop: the same frames with the loop
    // that follows a key's release (or none), which the note then plays on;
    // owned with the frames. `ping_pong_frames`: a ping-pong loop's own
    // frames, its unrolled cycle twice as many; 0 for a forward loop.
    Sample* released;
    std::int32_t ping_pong_frames;
    // IT's auto-vibrato: speed (1/256 cycle a tick), depth, the rate at
    // which the depth grows (1/256 of it a tick) and the waveform (0 sine,
    // 1 falling ramp, 2 square, 3 random).
    std::uint8_t vibrato_speed;
    std::uint8_t vibrato_depth;
    std::uint8_t vibrato_rate;
    std::uint8_t vibrato_type;
    // A ping-pong loop that turns at its start without playing the start
    // frame twice (IT's), its unrolled cycle one frame shorter.
    std::uint8_t ping_pong_start_once;
};

// Keys 1..96 hold MOD's, S3M's and XM's notes; IT's ten octaves take 1..120.
constexpr std::uint8_t highest_key = 120;
constexpr std::uint8_t key_note_off = 121, key_note_cut = 122, key_note_fade = 123;

struct Instrument {
    std::int32_t sample_count;
    std::int32_t fadeout;
    char name[32];
    std::int8_t key_samples[highest_key + 1];
    std::int8_t vibrato_type;
    std::uint8_t vibrato_sweep;
    std::uint8_t vibrato_depth;
    std::uint8_t vibrato_rate;
    Envelope volume_envelope;
    Envelope panning_envelope;
    Sample* samples;
    // IT's pitch envelope (values 0..64 for -32..32 half semitones); with
    // `pitch_envelope_filters` it drives the resonant filter instead.
    Envelope pitch_envelope;
    std::uint8_t pitch_envelope_filters;
    // IT's instrument global volume, 0..128, where the rules use it.
    std::int16_t global_volume;
    // IT's default panning (0 none, else panning + 1, 0..255), and the
    // pitch-pan separation (-32..32) around its centre key.
    std::int16_t default_pan;
    std::int8_t pitch_pan_separation;
    std::int16_t pitch_pan_centre;
    // IT's random swing of a note's volume, in percent.
    std::int16_t random_volume;
    // IT's random swing of a note's panning, in IT's 64 steps.
    std::int16_t random_pan;
    // The key each key sounds as (IT's key table); 0 for the key itself.
    std::int8_t key_notes[highest_key + 1];
    // An IT instrument's filter for its new notes: cutoff and resonance
    // 0..127, each plus 128 when set (0: left as the channel has it).
    std::uint8_t initial_cutoff;
    std::uint8_t initial_resonance;
    // What becomes of a note when another replaces it on its channel
    // (0 cut, 1 continue, 2 note off, 3 note fade); which earlier notes of
    // the instrument on the channel a new one ends (0 none, 1 of the same
    // key, 2 of the same sample, 3 all) and how (0 cut, 1 note off, 2 note
    // fade). IT's; 0 elsewhere.
    std::uint8_t new_note_action;
    std::uint8_t duplicate_check;
    std::uint8_t duplicate_action;
};

// One pattern cell: key (0 none, 1..highest_key notes, key_note_off and
// above release the note), instrument (0 none), volume-column byte, effect
// code, parameter. Where the rules tell them apart, key_note_cut cuts the
// note and key_note_fade fades it.
struct Note {
    std::uint8_t key;
    std::uint8_t instrument;
    std::uint8_t volume;
    std::uint8_t effect;
    std::uint8_t param;
};
constexpr int note_size = 5;

struct Pattern {
    std::int32_t channel_count;
    std::int32_t row_count;
    std::uint8_t* notes; // row_count * channel_count * note_size bytes
};

// IT's MIDI macros as the file holds them.
constexpr int parametered_macros = 16;
constexpr int fixed_macros = 128;
constexpr int midi_macro_count = parametered_macros + fixed_macros;
constexpr int midi_macro_length = 32;

// Order-list entries a module holds: XM and S3M carry up to 256.
constexpr int order_list_size = 256;

struct Module {
    char title[32];
    std::int32_t channel_count;
    std::int32_t instrument_count; // `instruments` holds instrument_count + 1 entries
    std::int32_t pattern_count;
    std::int32_t song_length; // 1..order_list_size once loaded
    std::int32_t initial_global_volume;
    std::int32_t initial_speed;
    std::int32_t initial_tempo;
    std::int32_t reference_rate;
    std::int32_t mix_gain;
    std::int32_t linear_pitch;
    std::int32_t volume_slide_on_first_tick;
    std::uint8_t* channel_panning; // channel_count entries
    std::uint8_t* order_list;      // order_list_size entries
    Pattern* patterns;
    Instrument* instruments; // entry 0: one silent sample of length 0
    // The entry that follows the last one (XM's restart position); 0 for
    // MOD and S3M, whose songs start over from the beginning.
    std::int32_t restart_position;
    // How the tracker that wrote the song plays it; the show's own rules
    // (all off) for the show's song.
    PlayRules rules;
    // Per channel, 0 for a sample channel or n for the FM chip's channel
    // n - 1 (S3M's AdLib channels); null when the song has none.
    std::uint8_t* channel_fm;
    // How much nearer the centre every balance sits, of 128 (IT's panning
    // separation, 128 - its value); 0 keeps the balances.
    std::int32_t pan_narrowing;
    // Per channel, the volume (0..64) a channel starts with, which scales
    // all it plays (IT's channel volumes); null: every channel at full.
    std::uint8_t* channel_volume;
    // IT's MIDI macros, midi_macro_count of midi_macro_length characters
    // each (a NUL ends a shorter one): SF0..SFF's parametered ones, then the
    // fixed ones of Z80..ZFF; null for songs without.
    char* midi_macros;
    // Per channel, 1 where IT's header makes it a surround channel; null
    // for the other formats.
    std::uint8_t* channel_surround;
    // IT's keys count from its C-0, an octave below the other formats'
    // C-0: key k sounds as key k - key_shift would elsewhere (12 for IT).
    std::int32_t key_shift;
};

// The rules the replay reads. A build that plays only the show's own song
// (the Windows executable) makes them the show's constants, so that every
// branch for the other trackers folds away: 6 KB less code.
inline const PlayRules& rules_of(const Module& module) {
#if defined(GRIDSHOW_SHOW_RULES_ONLY)
    static_cast<void>(module);
    return show_rules;
#else
    return module.rules;
#endif
}

// Whether the build plays other trackers' files at all. Where it plays only
// the show's song, what only their files carry (linear pitch, envelopes,
// auto-vibrato, IT's own effects, filters, background voices) folds away with
// the rules.
#if defined(GRIDSHOW_SHOW_RULES_ONLY)
constexpr bool plays_other_trackers = false;
#else
constexpr bool plays_other_trackers = true;
#endif

// The room every loader has for the reason of a refusal.
constexpr std::size_t load_message_size = 64;

// Frees a sample's frames and its released form; accepts a partly built one.
void sample_dispose(Sample& sample);
// Frees the module and everything it owns; accepts a partly built record.
void module_dispose(Module* module);
