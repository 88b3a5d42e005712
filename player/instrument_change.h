// What an instrument number on a row does to its channel: the sample it
// takes for a key, what it starts again, and how it takes over a playing
// note. The channel's row processing (channel.h) calls these.
#pragma once
#include "player/effect_codes.h"
#include "player/effect_steps.h"
#include "player/replay.h"
#include "player/volume_column.h"

// Whether the note has stopped sounding for good: its sample played out,
// its fade ended, or its key was released without a volume envelope.
inline bool note_stopped(const Channel& channel) {
    const bool released = channel.key_down == 0 && !channel.instrument->volume_envelope.active &&
                          !rules_of(*channel.replay->module).released_note_keeps_sliding;
    return sample_played_out(channel) || released || channel.fade_level == 0;
}

// Whether the note slides to its key instead of striking it; where the
// rules say so, a silent channel or a stopped note has nothing to slide from
// and strikes it (inline: asked on every row of every channel).
inline bool note_slides(const Channel& channel) {
    const Note& note = channel.note;
    const PlayRules& rules = rules_of(*channel.replay->module);
    if (channel.period == 0 && rules.tone_slide_from_silence_strikes) return false;
    if (rules.tone_slide_after_stopped_note_strikes && note_stopped(channel)) return false;
    if (delay_keeps_volume_column_tone_slide(channel)) return false;
    return note.volume >= 0xF0 || note.effect == effect::tone_slide ||
           note.effect == effect::tone_slide_volume_slide ||
           note.effect == effect::s3m_tone_slide ||
           note.effect == effect::s3m_tone_slide_volume_slide;
}

// The instrument's sample for a key. The map entry is trusted only when it
// names one of the instrument's samples; anything else plays sample 0.
inline const Sample* sample_for_key(const Instrument& instrument, std::int32_t key) {
    std::int32_t index = instrument.key_samples[key];
    if (index < 0 || index >= instrument.sample_count) index = 0;
    return &instrument.samples[index];
}
// The key an instrument sounds for a key; most sound the key itself.
inline std::int32_t sounding_key(const Instrument& instrument, std::int32_t key) {
    return plays_other_trackers && instrument.key_notes[key] != 0 ? instrument.key_notes[key] : key;
}
// A struck note's start: envelopes, fade and tremor from the top, the key
// pressed.
inline void restart_envelopes(Channel& channel) {
    channel.volume_envelope_tick = 0;
    channel.panning_envelope_tick = 0;
    channel.pitch_envelope_tick = 0;
    channel.fade_level = 32768;
    channel.key_down = 1;
    channel.fading = 0;
    channel.tremor_state = 0;
}
// An instrument number's restart without a note: the envelopes and the fade
// level start again, a released key and a begun fade stay so.
void restart_envelopes_keeping_release(Channel& channel);
// The volume and panning of the sample playing, as FastTracker 2 recalls
// them for an instrument number beside no note, a key-off or a tone slide;
// but for beside a key-off, the instrument starts again.
void reset_playing_sample(Channel& channel);
// Impulse Tracker's instrument number without a note (or beside a key-off)
// on a playing note: the note goes on with the instrument, and with the
// volume of its sample for the last key, which beside no key-off also takes
// over a looped sample (in instrument mode only another instrument's); the
// envelopes go on.
void take_over_note(Channel& channel, std::int32_t instrument_number);
// An instrument number the song lacks: the note stops, and the notes after
// play the silent instrument 0 until an instrument is named.
void take_missing_instrument(Channel& channel);
// A row's instrument number beside `key` (0 or above highest_key for none): the
// instrument and the sample for the key, its levels, and the envelopes and
// fade started again as the rules say.
void trigger_instrument(Channel& channel, std::int32_t instrument_number, std::int32_t key);
