// Turns stored sample data of any of the tracker formats into a Sample's
// frames, for every loader alike:
//
//   SampleSource source{bytes, length};   // the whole module data
//   source.offset = ...;                  // first byte of the frames
//   source.frames = ...;                  // frames announced by the header
//   source.bytes_per_value = 2;           // 1: 8-bit, 2: 16-bit little-endian
//   source.is_unsigned / source.delta / source.channels as stored
//   source.loop_start / loop_length / ping_pong in frames
//   if (!prepare_sample(sample, source)) -> the allocation failed
//   next offset = source.offset + stored_bytes(source)
//
// The result keeps the data model's promises: signed 16-bit mono frames, a
// forward loop of 0 or at least 4 frames inside the data, and one extra
// element that repeats the loop's first frame (0 without a loop). Ping-pong
// loops are written out forwards, short loops are repeated up to 4 frames,
// and frames past the loop end are left out, since nothing plays them.
//
// Reads stay inside the data given: frames the data does not hold are cut
// off (a loop past the cut is shortened or dropped), so the allocation is
// never larger than the data justifies. Stereo data is stored one channel
// after the other; the first channel is kept.
#pragma once
#include "player/module.h"
#include <cstddef>
#include <cstdint>

struct SampleSource {
    const std::uint8_t* bytes;
    std::size_t length;
    std::size_t offset = 0;
    std::uint32_t frames = 0; // per channel
    std::int32_t bytes_per_value = 1;
    bool is_unsigned = false;
    bool delta = false; // each value is the difference from the previous one
    std::int32_t channels = 1;
    std::uint32_t loop_start = 0;
    std::uint32_t loop_length = 0; // 0: no loop
    bool ping_pong = false;
    bool ping_pong_start_once = false; // the turn at the loop start plays it once
};

// Bytes the announced frames occupy in the data, all channels together.
std::uint64_t stored_bytes(const SampleSource& source);

// Fills `sample`'s loop fields and data (its other fields are the caller's);
// false only when the allocation fails, leaving `data` absent.
bool prepare_sample(Sample& sample, const SampleSource& source);

// The rate at which a sample whose middle-C rate is this plays key 49 with
// no relative note or fine tune.
constexpr std::int32_t middle_c_reference_rate = 8363;

// A sample's rate of middle C (S3M's C2SPD, IT's C5 speed; 0 reads as the
// reference rate) into `middle_c` and into semitones and 1/128 semitones
// relative to the reference rate.
void set_middle_c_rate(Sample& sample, std::uint32_t rate);
