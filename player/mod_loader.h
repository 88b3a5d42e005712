// Pieces of the MOD loader that are worth checking on their own, and the MOD
// layouts that the format-picking entry reads beyond the show's own.
#pragma once
#include "player/module.h"
#include <cstddef>
#include <cstdint>

// The key (25..96) of an Amiga period in 28..1712; 0 for any other period.
std::uint8_t period_to_key(std::int32_t period);

// How a MOD file is laid out: channels per pattern row, 31 sample headers
// (with a signature at 1080) or 15 (the oldest files, without one), and
// FLT8's eight-channel patterns stored as two four-channel halves.
struct ModLayout {
    std::int32_t channel_count;
    std::int32_t instrument_count;
    bool paired_patterns;
};

// Loads MOD data of the given layout; null only when an allocation fails.
// Reads stay inside the data: missing bytes read as 0.
Module* mod_load(const std::uint8_t* data, std::size_t length, const ModLayout& layout);
// The length the headers announce: patterns and every sample's data.
std::uint64_t mod_announced_bytes(const std::uint8_t* data, std::size_t length,
                                  const ModLayout& layout);
