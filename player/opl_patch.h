// Driving the FM chip (opl2.h) from a tracker channel as Scream Tracker 3
// does for its AdLib instruments: the instrument's register bytes, the note's
// frequency, key on and off, and the channel volume on the total level.
#pragma once
#include "player/opl2.h"
#include <cstdint>

// An S3M AdLib instrument's 12 register bytes (bytes 16..27 of its header):
// modulator then carrier of 0x20 (characteristic), 0x40 (key-scale and total
// level), 0x60 (attack, decay), 0x80 (sustain, release), 0xE0 (waveform);
// then 0xC0 (feedback, connection) and an unused byte.
constexpr int opl_patch_size = 12;

// Writes the instrument's registers to `channel` (0..8) and keeps its levels
// for opl_set_volume. Also enables the waveform select, and note select for
// the key scaling: Scream Tracker's instruments are heard that way. The
// volume is then the instrument's own: call opl_set_volume after it.
void opl_set_patch(OplChip& chip, int channel, const std::uint8_t* patch);

// Sets the channel's F-number and block for a tone of `tone` / 256 Hz: the
// lowest block whose F-number (rounded) fits 10 bits, since the chip's tone
// is F-number * 49716 / 2^(20 - block); above the chip's highest tone
// (about 6208 Hz), the highest. The key-on bit stays as it is.
void opl_set_frequency(OplChip& chip, int channel, std::int32_t tone);

// The tone, in 1/256 Hz, of an AdLib note whose rate (from its period and
// C2SPD, as for a sample) is `fine_rate` / 256 Hz: a rate of 8363 Hz sounds
// middle C.
std::int32_t opl_tone_of_rate(std::int32_t fine_rate);

// A new note: the key goes off and on again, so that both operators start
// their attack from their present level with their phases at 0.
void opl_key_on(OplChip& chip, int channel);
// Ends the note: both operators go into their release.
void opl_key_off(OplChip& chip, int channel);

// Scales the instrument's total level by a channel volume of 0..64 as
// Scream Tracker does: the carrier's (in additive connection the
// modulator's too) total level t becomes 63 - (63 - t) * v / 64, where v is
// the volume, or the volume + 1 below 33; so each volume step is one TL step
// of 0.75 dB at t = 0, and volume 64 leaves the instrument's own level.
void opl_set_volume(OplChip& chip, int channel, std::int32_t volume);
