// Periods: the pitch scale that notes, slides and the frequency share.
// Smaller is higher in both scales: linear (64 units a semitone) and Amiga
// (four times the Amiga's own periods).
#pragma once
#include "player/module.h"
#include <cstdint>

// How low a slide may take the pitch where no tracker limit holds it: a
// period far below hearing, and far from overflowing.
constexpr std::int32_t unlimited_period = 1 << 22;

// Scream Tracker's channel period stays at most 32767.
constexpr std::int32_t highest_scream_tracker_period = 32767;

// The period of a key (1..120; IT's lowest octave below) with a fine tune
// in 1/128 semitone.
std::int32_t key_period(const Module& module, std::int32_t key, std::int32_t fine_tune);

// The period of a pattern key played on `sample`: less the module's key
// shift, its relative note and the fine tune added (keys up to 120), or by
// the tracker's own table and the sample's C2SPD where the rules say so.
std::int32_t note_period(const Module& module, const Sample& sample, std::int32_t key,
                         std::int32_t fine_tune);

// The three octaves of the Amiga's note table (keys 37..72) for a fine tune:
// the highest and lowest periods that ProTracker's slides reach.
struct PeriodRange {
    std::int32_t highest_pitch;
    std::int32_t lowest_pitch;
};
PeriodRange amiga_period_range(const Module& module, std::int32_t fine_tune);

// An arpeggio note as ProTracker finds it: the period's place in the note
// table of its fine tune, moved on by `semitones`. Past the table's 36 notes
// it reads on through memory: a 0 that ends each fine tune's table, then the
// table of the next fine tune.
std::int32_t amiga_table_step(const Module& module, std::int32_t fine_tune, std::int32_t period,
                              std::int32_t semitones);
