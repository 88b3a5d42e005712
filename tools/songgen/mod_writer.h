// Writes a checked song score as a four-channel "M.K." MOD file.
#pragma once
#include "tools/songgen/song_score.h"
#include <cstdint>
#include <vector>

constexpr int mod_header_size = 1084;
constexpr int mod_pattern_size = score_rows * score_channels * 4;

std::vector<std::uint8_t> write_mod(const SongScore& score);
