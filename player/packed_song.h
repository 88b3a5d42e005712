// The show's song as the program carries it: packed at build time (songgen)
// by a small LZ77 coder whose choices go through an adaptive binary range
// coder, and unpacked here into the caller's buffer before module_load reads
// it. The stream is
//   length  (4 bytes, little-endian): the song's bytes
//   check   (4 bytes, little-endian): FNV-1a of those bytes
//   code    (the range coder's bytes, the first, always 0, left out)
// The check makes a damaged stream fail as a whole instead of loading a song
// that is merely wrong.
#pragma once
#include "player/module.h"
#include <cstddef>
#include <cstdint>

// Room for the show's song when unpacked (the song itself holds to 12 KiB).
constexpr std::size_t packed_song_capacity = 12 * 1024;

// What the unpacker and the packer share: the model's layout.
namespace song_packing {
constexpr int probability_bits = 11; // a probability of 0 is 0, 1 << 11 is 1
constexpr int adaptation_shift = 4;  // each bit moves it by 1/16 of the way
constexpr std::uint32_t range_floor = 1u << 24;
constexpr int length_bits = 8;             // a match is 2..257 bytes
constexpr int distance_bit_count_bits = 4; // a distance has 0..15 significant bits
constexpr std::size_t minimum_match = 2;
constexpr std::size_t header_size = 8;

struct Model {
    std::uint16_t is_match[2]; // [the last step was a match]
    std::uint16_t is_repeat;   // after a literal: the last distance again
    std::uint16_t literal[256];
    std::uint16_t length[1 << length_bits];
    std::uint16_t distance_bit_count[1 << distance_bit_count_bits];
    std::uint16_t distance_bits[16][16]; // [significant bits][bit]
};

void reset(Model& model);
std::uint32_t checksum(const std::uint8_t* bytes, std::size_t length);
} // namespace song_packing

// Unpacks `packed` into `buffer` and loads it as module_load does. A stream
// that is cut, damaged or longer than `capacity` gives null with the reason
// in load_message, like any file module_load refuses.
Module* packed_song_load(const std::uint8_t* packed, std::size_t packed_length,
                         std::uint8_t* buffer, std::size_t capacity,
                         char load_message[load_message_size]);
