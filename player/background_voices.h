// Background voices: where the rules say so, a note that a new one replaces
// on its channel plays on by itself, by its instrument's new-note action,
// in one of a fixed number of voices after the module's channels; only its
// envelopes, fade-out and auto-vibrato move it on. Duplicate checks and
// S70..S72 end such notes.
#pragma once
#include "player/replay.h"
#include <cstdint>

// Impulse Tracker mixes at most 64 voices on most devices, so a song never
// needs more notes in the background than that to sound as there; the
// voices cost only their records until they sound.
constexpr std::int32_t background_voice_count = 64;

// The channels and background voices a replay of the module holds.
std::int32_t voice_count_of(const Module& module);
// Leaves every background voice free.
void free_background_voices(Replay& replay);
// A new note of `instrument` and `sample` is about to strike on the channel
// (before its instrument is taken up): the note playing moves to a
// background voice unless its new-note action cuts it, and the instrument's
// duplicate check ends the channel's earlier notes it finds.
void hand_over_note(Channel& channel, const Instrument& instrument, const Sample& sample);
// S7x: S70..S72 cut, release or fade the channel's background notes;
// S73..S76 set the playing note's new-note action; S77..S7C pause and
// resume its envelopes.
void apply_instrument_control(Channel& channel, std::int32_t x);
// Moves every sounding background voice on by a tick; the last step of
// each tick.
void advance_background_voices(Replay& replay);
