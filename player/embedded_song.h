// The show's song, linked into the program at build time: packed from
// player/song.pack, as the program carries it (unpacked by packed_song_load),
// and plain from player/song.mod, the same bytes for tests and benchmarks.
#pragma once
#include <cstddef>
#include <cstdint>

extern const std::uint8_t embedded_song_packed[];
extern const std::size_t embedded_song_packed_length;

extern const std::uint8_t embedded_song[];
extern const std::size_t embedded_song_length;
