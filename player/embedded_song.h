// The show's song, linked into the program at build time from player/song.mod.
#pragma once
#include <cstddef>
#include <cstdint>

extern const std::uint8_t embedded_song[];
extern const std::size_t embedded_song_length;
