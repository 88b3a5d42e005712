// Packs bytes into the stream packed_song_load unpacks (player/packed_song.h).
#pragma once
#include <cstdint>
#include <vector>

std::vector<std::uint8_t> pack_song(const std::vector<std::uint8_t>& bytes);
